// memory_limit.h: large allocations that fail alike on every machine, for
// death tests.
#pragma once

#include <sys/resource.h>

#include <gmock/gmock.h>

#include <string>

// What a death test's child prints when an allocation fails: under
// AddressSanitizer, which warns before the message, it ends with it.
inline testing::Matcher<const std::string&> AllocationFailure(const std::string& message) {
#ifdef ZUMBREL_SANITIZED
  return testing::EndsWith(message);
#else
  return testing::Eq(message);
#endif
}

// Caps the address space of a death test's child, so that a large
// allocation fails the same way on every machine. Under AddressSanitizer,
// which needs its address space, its own cap on allocations serves instead.
inline void LimitMemory() {
#ifndef ZUMBREL_SANITIZED
  rlimit limit{1u << 30, 1u << 30};
  setrlimit(RLIMIT_AS, &limit);
#endif
}
