#include "SimCamera.h"

#include "CommandSet.h"

namespace toftest {

SimCamera::SimCamera() {
    control.deviceSN = "TOF-SIM";
    control.SetResponder([this](const testsupport::FakeCommonControl::Sent& sent) {
        testsupport::FakeCommonControl::Reply answer;
        if (sent.cmdType != CMDTYPE_GET) {
            // A set is not answered on the wire; its read-back tells whether it took.
            std::vector<uint8_t> ignored;
            camsim::ApplyCommand(state, static_cast<uint8_t>(sent.cmd), false, sent.payload, ignored);
            return answer;
        }
        std::vector<uint8_t> reply;
        if (failingGets.count(sent.cmd) != 0 ||
            !camsim::ApplyCommand(state, static_cast<uint8_t>(sent.cmd), true, sent.payload, reply)) {
            answer.result = -104;
            return answer;
        }
        answer.data = reply;
        return answer;
    });
}

}  // namespace toftest
