// draw.cpp: the camera, preclipping, distance shading and model instances.
#include "world/maze.h"
#include "render/render.h"
