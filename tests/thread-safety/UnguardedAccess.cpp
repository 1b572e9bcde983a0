// Must not compile under -Werror=thread-safety: scripts/thread-safety.sh checks that the
// analysis refuses it, so that a passing build means the analysis ran.
#include "Mutex.h"

class Counter {
public:
    void Add() EXCLUDES(m_lock) {
        LockGuard guard(m_lock);
        ++m_count;
    }
    int Read() const { return m_count; }  // unguarded: the analysis must stop this

private:
    mutable Mutex m_lock;
    int m_count GUARDED_BY(m_lock) = 0;
};

int main() {
    Counter counter;
    counter.Add();
    return counter.Read();
}
