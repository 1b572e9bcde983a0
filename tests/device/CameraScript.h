#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

#include "ScriptedIO.h"

namespace devicetest {

// The few camera commands a device sends by itself (stream, work mode, calibration), answered
// like a camera that confirms every setting unless told otherwise.
struct CameraScript {
    static constexpr int kWorkModeCmd = 2;
    static constexpr int kCalibrationCmd = 16;
    static constexpr int kStreamCmd = 27;

    bool streamOn = false;
    int workMode = 0;
    bool confirmStream = true;
    bool confirmWorkMode = true;
    int calibrationResult = 0;
    double intrinsic[9] = {500, 0, 320, 0, 501, 240, 0, 0, 1};
    double distortion[8] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8};

    testsupport::ScriptedIO::Reply Answer(const testsupport::ScriptedIO::Sent& s) {
        using Reply = testsupport::ScriptedIO::Reply;
        const uint8_t first = s.payload.empty() ? 0 : s.payload[0];
        if (s.type == CMDTYPE_SET) {
            if (s.cmd == kStreamCmd && confirmStream) streamOn = first == 1;
            if (s.cmd == kWorkModeCmd && confirmWorkMode) workMode = first;
            return Reply{};
        }
        switch (s.cmd) {
            case kStreamCmd: return Reply{0, std::vector<uint8_t>{0, uint8_t(streamOn ? 1 : 0)}};
            case kWorkModeCmd: return Reply{0, std::vector<uint8_t>{uint8_t(workMode)}};
            case kCalibrationCmd: return Calibration(first);
        }
        return Reply{};
    }

    testsupport::ScriptedIO::Responder Responder() {
        return [this](const testsupport::ScriptedIO::Sent& s) { return Answer(s); };
    }

    // Intrinsics go out as sub-ids 0 (4 values) and 1 (5 values), distortion as 2 and 3.
    testsupport::ScriptedIO::Reply Calibration(uint8_t sub) {
        if (calibrationResult != 0) return {calibrationResult, std::nullopt};
        const double* values = sub < 2 ? intrinsic + (sub == 1 ? 4 : 0) : distortion + (sub == 3 ? 4 : 0);
        const int count = sub == 1 ? 5 : 4;
        std::vector<uint8_t> reply(1 + count * sizeof(double));
        reply[0] = sub;
        std::memcpy(reply.data() + 1, values, count * sizeof(double));
        return {0, reply};
    }
};

}  // namespace devicetest
