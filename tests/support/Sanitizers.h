// Whether the tests run under a sanitizer, which slows the library tenfold or more: tests of
// timing skip themselves there, and stress tests do fewer rounds.
#pragma once

namespace velcor::test {

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderSanitizer = true;
#else
inline constexpr bool kUnderSanitizer = false;
#endif

}  // namespace velcor::test
