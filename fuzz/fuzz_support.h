// fuzz_support.h: runs a reader on one fuzz input, surviving its fatal errors.
#pragma once

// Runs body(context). A fatal error inside it ends the run instead of the
// fuzzer, leaving what the reader built in its owner, the Maze, to free.
// Returns false when the run ended in a fatal error.
//
// The end is a jump straight back here, past every frame between: nothing
// from body down to Fatal may own an object with a destructor or a file to
// close. The harness owns them all, made before the run and freed after.
bool RunGuarded(void (*body)(void*), void* context);
