// app.h: the application shell: options, GLUT callbacks and their globals.
#pragma once

void ParseArguments(int argc, char** argv);
void PrintUsage();

void OnDisplay();

// Counts a frame; every hundredth prints the report.
void CountFrame();
void PrintFrameReport(int elapsed);

extern int gWindowId;
extern int gStartTime;
extern int gUpdateCount;
extern int gFrameCount;
extern int gNowTime;
