#pragma once
// The bytes the process has allocated and not freed, for tests that check
// that a cache stays bounded. Under AddressSanitizer freed memory waits in
// quarantine, so the sanitizer's own count is taken there.
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define TARNWICK_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARNWICK_TEST_ASAN 1
#endif
#endif

#ifdef TARNWICK_TEST_ASAN
// The sanitizer's runtime has this function; GCC ships no header for it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace tarnwick::testing {

inline std::size_t liveHeapBytes() {
#ifdef TARNWICK_TEST_ASAN
  return __sanitizer_get_current_allocated_bytes();
#else
  return ::mallinfo2().uordblks;
#endif
}

}  // namespace tarnwick::testing
