#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "ScriptedIO.h"

namespace devicetest {

// The few camera commands a device sends by itself (stream, work mode, calibration, firmware
// version, file transfers), answered like a camera that confirms every setting unless told
// otherwise.
struct CameraScript {
    static constexpr int kWorkModeCmd = 2;
    static constexpr int kCalibrationCmd = 16;
    static constexpr int kVersionCmd = 19;
    static constexpr int kStreamCmd = 27;
    static constexpr int kTransferCmd = 29;
    static constexpr uint8_t kFirmwareVersionSub = 3;
    // What a command gives when the camera refuses it: the transport's failure.
    static constexpr int kRefused = -104;

    bool streamOn = false;
    int workMode = 0;
    bool confirmStream = true;
    bool confirmWorkMode = true;
    int calibrationResult = 0;
    double intrinsic[9] = {500, 0, 320, 0, 501, 240, 0, 0, 1};
    double distortion[8] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8};
    // The answer to the firmware-version query; empty: the query gets no text.
    std::string firmwareVersion;
    // Results of the next transfer-command sets, in order; accepted once they run out.
    std::deque<int> transferResults;

    testsupport::ScriptedIO::Reply Answer(const testsupport::ScriptedIO::Sent& s) {
        using Reply = testsupport::ScriptedIO::Reply;
        const uint8_t first = s.payload.empty() ? 0 : s.payload[0];
        if (s.type == CMDTYPE_SET) {
            if (s.cmd == kStreamCmd && confirmStream) streamOn = first == 1;
            if (s.cmd == kWorkModeCmd && confirmWorkMode) workMode = first;
            if (s.cmd == kTransferCmd && !transferResults.empty()) {
                const int result = transferResults.front();
                transferResults.pop_front();
                return Reply{result, std::nullopt};
            }
            return Reply{};
        }
        switch (s.cmd) {
            case kStreamCmd: return Reply{0, std::vector<uint8_t>{0, uint8_t(streamOn ? 1 : 0)}};
            case kWorkModeCmd: return Reply{0, std::vector<uint8_t>{uint8_t(workMode)}};
            case kCalibrationCmd: return Calibration(first);
            case kVersionCmd: return first == kFirmwareVersionSub ? FirmwareVersion() : Reply{};
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

    // The text follows the sub-id, as the camera answers a text query.
    testsupport::ScriptedIO::Reply FirmwareVersion() {
        if (firmwareVersion.empty()) return {};
        std::vector<uint8_t> reply{kFirmwareVersionSub};
        reply.insert(reply.end(), firmwareVersion.begin(), firmwareVersion.end());
        return {0, reply};
    }
};

// The transfer-command sets a device sent: kind, step, the host address field, then the file
// name.
struct SentTransfer {
    static constexpr uint8_t kKindFirmware = 1;
    static constexpr uint8_t kFirmwareFetch = 1;
    static constexpr uint8_t kKindJson = 3;
    static constexpr uint8_t kJsonFetch = 4;
    static constexpr size_t kFileNameAt = 18;

    // The payloads of those of one kind and step, in the order sent.
    static std::vector<std::vector<uint8_t>> Of(const testsupport::ScriptedIO& io, uint8_t kind, uint8_t step) {
        std::vector<std::vector<uint8_t>> found;
        for (const auto& s : io.SentCommands())
            if (s.cmd == CameraScript::kTransferCmd && s.type == CMDTYPE_SET && s.payload.size() > 1 &&
                s.payload[0] == kind && s.payload[1] == step)
                found.push_back(s.payload);
        return found;
    }
    static std::string FileName(const std::vector<uint8_t>& payload) {
        if (payload.size() <= kFileNameAt) return std::string();
        const auto name = payload.begin() + kFileNameAt;
        return std::string(name, std::find(name, payload.end(), uint8_t(0)));
    }
};

}  // namespace devicetest
