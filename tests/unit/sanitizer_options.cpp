// sanitizer_options.cpp: AddressSanitizer's settings for the unit tests.

// An allocation too large to make returns null, as the system's allocator
// would, instead of ending the test; the tests of allocation failures rely on
// it where they cannot cap the address space.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=1024";
}
