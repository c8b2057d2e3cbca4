// Whether the tests (and the program built alongside them) run under
// AddressSanitizer: its shadow memory and its allocator change what an
// address-space limit or a failed huge allocation does to the program.
// ThreadSanitizer's shadow memory, too, cannot start under such a limit.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define CLEARING_CON_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CLEARING_CON_ASAN 1
#endif
#endif

#if defined(__SANITIZE_THREAD__)
#define CLEARING_CON_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CLEARING_CON_TSAN 1
#endif
#endif

// Either sanitizer reserves its shadow memory at start-up, which an
// address-space limit forbids.
#if defined(CLEARING_CON_ASAN) || defined(CLEARING_CON_TSAN)
inline constexpr bool kConMemoriaSombra = true;
#else
inline constexpr bool kConMemoriaSombra = false;
#endif
