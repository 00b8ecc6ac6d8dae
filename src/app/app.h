// app.h: the application shell: options, GLUT callbacks and their globals.
#pragma once

void ParseArguments(int argc, char** argv);
void PrintUsage();

void OnDisplay();

extern int gWindowId;
extern int gStartTime;
extern int gUpdateCount;
