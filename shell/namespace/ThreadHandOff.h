#pragma once

// ThreadSanitizer cannot see the lock inside Qt's event queue that hands an event posted by a
// worker thread to the thread that handles it, and reports the handler's first read of the
// event as a race. These two calls tell it about the hand-off; without ThreadSanitizer they
// are empty.

#if defined(__SANITIZE_THREAD__)
#define QF_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QF_THREAD_SANITIZER 1
#endif
#endif

#ifdef QF_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

// Called by the posting thread just before it posts the event.
inline void HandOffPostedEvent([[maybe_unused]] void* event)
{
#ifdef QF_THREAD_SANITIZER
    __tsan_release(event);
#endif
}

// Called by the handler before it reads anything of an event that may come from a worker.
inline void TakeOverPostedEvent([[maybe_unused]] void* event)
{
#ifdef QF_THREAD_SANITIZER
    __tsan_acquire(event);
#endif
}
