// render.h: the flags and counters the renderer shares with the shell.
#pragma once

extern bool gUseAlpha;       // blend, with the distance shade as alpha
extern bool gRotateObjects;  // spin orbs and teleports
extern int gObjectsDrawn;    // instances drawn in the last frame
extern float gSpinAngle;     // degrees in [0, 360), 2 more every frame

// Nothing further than this from the eye is drawn: the perspective's far
// plane, where the distance shade reaches black.
constexpr double kFarPlane = 110;
