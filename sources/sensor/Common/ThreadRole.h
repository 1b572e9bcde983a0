#pragma once
// A capability that no lock stands for: a role one thread holds at a time, such as a worker's
// pass over state of its own that others touch only while the worker does not run. Members
// GUARDED_BY a role are checked as those of a mutex are; Assume() marks where a function takes
// the role on, and keeping that claim true is its caller's part.
#include "Mutex.h"

class CAPABILITY("role") ThreadRole {
public:
    void Assume() const ASSERT_CAPABILITY(this) {}
};
