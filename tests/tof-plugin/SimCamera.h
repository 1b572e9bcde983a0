#pragma once
#include <set>

#include "CameraState.h"
#include "FakeCommonControl.h"

namespace toftest {

// The simulator's command set behind a fake command interface: sets change the camera's
// state, gets answer from it. Replies pushed on the fake still come first.
class SimCamera {
public:
    SimCamera();

    testsupport::FakeCommonControl control;
    // Read and changed by tests between calls; the responder runs under the fake's lock.
    camsim::CameraState state;
    // Gets of these command ids fail as a timed-out exchange.
    std::set<int> failingGets;
};

}  // namespace toftest
