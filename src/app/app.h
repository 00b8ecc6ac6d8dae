// app.h: the application shell: options, GLUT callbacks and their globals.
#pragma once

#include <cstdint>

void ParseArguments(int argc, char** argv);
void PrintUsage();

// Opens the 500 by 500 window, registers the callbacks and sets the fixed
// graphics state, blending with -a.
void OpenWindow();

void OnDisplay();
void OnKeyDown(unsigned char key, int x, int y);
void OnKeyUp(unsigned char key, int x, int y);
void OnTimer(int value);

// The simulation ticks on this timer.
const unsigned int kTickMilliseconds = 50;

// Counts a frame; every hundredth prints the report.
void CountFrame();
void PrintFrameReport(int64_t elapsed);

extern int gWindowId;
// Seconds of the clock, 64 bits wide: 32 would wrap in 2038.
extern int64_t gStartTime;
// 64 bits: at thousands of frames a second, 32 would overflow within weeks.
extern int64_t gUpdateCount;
extern int64_t gFrameCount;
extern int64_t gNowTime;
