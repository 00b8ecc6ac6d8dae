// fuzz_support.h: runs a reader on one fuzz input, surviving its fatal errors.
#pragma once

// Runs body(context). A fatal error inside it ends the run instead of the
// fuzzer; with freeAbandoned, everything the run allocated and still holds is
// freed then. That is only safe where the run opens no stdio stream of its
// own, which a fatal error would leave open. Returns false when the run ended
// in a fatal error.
bool RunGuarded(void (*body)(void*), void* context, bool freeAbandoned);
