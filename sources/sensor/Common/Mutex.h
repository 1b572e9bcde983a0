#pragma once
// A mutex and its guards that clang's thread-safety analysis can follow (-Wthread-safety):
// the standard library's types carry no annotations. Other compilers see plain std::mutex.
#include <mutex>

#if defined(__clang__)
#define THREAD_ANNOTATION(x) __attribute__((x))
#else
#define THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x)             THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY         THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x)             THREAD_ANNOTATION(guarded_by(x))
#define ACQUIRED_BEFORE(...)      THREAD_ANNOTATION(acquired_before(__VA_ARGS__))
#define REQUIRES(...)             THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...)              THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...)              THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define EXCLUDES(...)             THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ASSERT_CAPABILITY(x)      THREAD_ANNOTATION(assert_capability(x))
#define NO_THREAD_SAFETY_ANALYSIS THREAD_ANNOTATION(no_thread_safety_analysis)

class CAPABILITY("mutex") Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() ACQUIRE() { m_mutex.lock(); }
    void unlock() RELEASE() { m_mutex.unlock(); }

private:
    friend class UniqueLock;
    std::mutex m_mutex;
};

// Holds the mutex for its scope.
class SCOPED_CAPABILITY LockGuard {
public:
    explicit LockGuard(Mutex& mutex) ACQUIRE(mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~LockGuard() RELEASE() { m_mutex.unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    Mutex& m_mutex;
};

// Holds the mutex for its scope, may let it go and take it again, and lends it to a
// std::condition_variable's waits.
class SCOPED_CAPABILITY UniqueLock {
public:
    explicit UniqueLock(Mutex& mutex) ACQUIRE(mutex) : m_lock(mutex.m_mutex) {}
    ~UniqueLock() RELEASE() {}
    UniqueLock(const UniqueLock&) = delete;
    UniqueLock& operator=(const UniqueLock&) = delete;

    void lock() ACQUIRE() { m_lock.lock(); }
    void unlock() RELEASE() { m_lock.unlock(); }
    // For condition_variable::wait and its kin: they give the mutex back before returning.
    std::unique_lock<std::mutex>& Native() { return m_lock; }

private:
    std::unique_lock<std::mutex> m_lock;
};
