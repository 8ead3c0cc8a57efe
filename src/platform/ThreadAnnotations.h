// Lock annotations for clang's thread-safety analysis (-Wthread-safety). They name which lock
// guards which field and which functions must hold it, so the compiler checks every access;
// other compilers ignore them.
#pragma once

#if defined(__clang__)
#define VELCOR_TSA(x) __attribute__((x))
#else
#define VELCOR_TSA(x)
#endif

#define VELCOR_CAPABILITY(name) VELCOR_TSA(capability(name))
#define VELCOR_SCOPED_CAPABILITY VELCOR_TSA(scoped_lockable)
#define VELCOR_GUARDED_BY(lock) VELCOR_TSA(guarded_by(lock))
#define VELCOR_ACQUIRE(...) VELCOR_TSA(acquire_capability(__VA_ARGS__))
#define VELCOR_RELEASE(...) VELCOR_TSA(release_capability(__VA_ARGS__))
#define VELCOR_TRY_ACQUIRE(...) VELCOR_TSA(try_acquire_capability(__VA_ARGS__))
#define VELCOR_REQUIRES(...) VELCOR_TSA(requires_capability(__VA_ARGS__))
#define VELCOR_EXCLUDES(...) VELCOR_TSA(locks_excluded(__VA_ARGS__))
#define VELCOR_RETURN_CAPABILITY(lock) VELCOR_TSA(lock_returned(lock))
#define VELCOR_NO_THREAD_SAFETY_ANALYSIS VELCOR_TSA(no_thread_safety_analysis)
