// Clang thread-safety annotations; they compile to nothing elsewhere.
#pragma once

#if defined(__clang__)
#define TW_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define TW_THREAD_ANNOTATION(x)
#endif

#define TW_GUARDED_BY(x) TW_THREAD_ANNOTATION(guarded_by(x))
#define TW_PT_GUARDED_BY(x) TW_THREAD_ANNOTATION(pt_guarded_by(x))
#define TW_REQUIRES(...) TW_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define TW_EXCLUDES(...) TW_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define TW_NO_THREAD_SAFETY_ANALYSIS TW_THREAD_ANNOTATION(no_thread_safety_analysis)
