#pragma once

namespace tarnwick::test
{

// Sanitizer builds map terabytes of shadow memory and start programs several
// times slower: memory caps and timing-bound expectations must allow for it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitizedBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif
#else
inline constexpr bool kSanitizedBuild = false;
#endif

} // namespace tarnwick::test
