#pragma once
#include <cstdint>

#include "DspCommand.h"

// The ToF plug-in's commands on the camera's command channel: each id with the sub-ids it
// carries in payload byte 0, and the plug-in keys answered by the command set itself.
//
// The kit's own command set shares this id space on the same connection, and some numbers
// are taken twice: the kit's 18 (reboot, factory mode) and 19
// (serial number and versions) are other commands than this set's 0x12 (laser) and 0x13
// (lists and laser parts), and 0x1d is the kit's firmware and JSON transfer as well as the
// calibration-file transfer here. The two sides tell them apart by payload byte 0.
namespace tofcmd {

constexpr int kInitParams = 0x01;  // init-parameters enable
constexpr int kExposure = 0x03;    // [0] ExposureTime::range
constexpr int kRegister = 0x05;    // [0..1] address, [2..3] value
constexpr int kDataMode = 0x06;
constexpr int kDepthRange = 0x07;
constexpr int kDualFreq = 0x08;  // dual-frequency (WDR) ranges
constexpr int kMeasuringRange = 0x11;

constexpr int kLaser = 0x12;
constexpr uint8_t kSubLDState = 0x30;
constexpr uint8_t kSubCDMAState = 0x31;

constexpr int kSensorInfo = 0x13;
constexpr uint8_t kSubDepthRangeList = 0x06;
constexpr uint8_t kSubOutModeList = 0x07;
constexpr uint8_t kSubAPCState = 0x08;
constexpr uint8_t kSubLDDriverChipType = 0x09;
constexpr uint8_t kSubLDType = 0x0a;

constexpr int kGain = 0x15;
constexpr uint8_t kSubIRGMMGain = 0x04;

// The DSP command (dspcmd::kDsp): the confidence filter's DSPConfig and item.
constexpr int32_t kDspConfigConfidence = 10;
constexpr uint8_t kDspItemConfidence = 0x06;

// The DSP items by DSPParameters::DSPConfig. Class 0: nothing on this side (2 and 8 are the
// colour camera's).
struct DspItem : dspcmd::DspItem {
    bool extra;  // the confidence filter's fixed value in bytes 7-8 of a set
    bool comparesThreshold;
};

constexpr DspItem DspItemOf(int32_t config) {
    using dspcmd::kDspClassItem;
    using dspcmd::kDspClassSwitch;
    switch (config) {
        case 0: return {{kDspClassSwitch, 0x01, 0x00, 0, 0}, false, false};
        case 1: return {{kDspClassSwitch, 0x02, 0x00, 0, 0}, false, false};
        case 3: return {{kDspClassItem, 0x01, 0x02, 0, 0}, false, false};
        case 4: return {{kDspClassItem, 0x01, 0x03, 0, 0}, false, false};
        case 5: return {{kDspClassItem, 0x01, 0x04, 1, 1}, false, true};   // time filter
        case 6: return {{kDspClassItem, 0x01, 0x01, 0, 0}, false, false};  // distortion correction
        case 7: return {{kDspClassItem, 0x01, 0x05, 0, 0}, false, false};
        case 9: return {{kDspClassItem, 0x02, 0x01, 0, 0}, false, false};
        case kDspConfigConfidence: return {{kDspClassItem, 0x01, kDspItemConfidence, 2, 2}, true, true};
        case 11: return {{kDspClassItem, 0x01, 0x07, 2, 2}, false, true};
        case 12: return {{kDspClassItem, 0x01, 0x08, 1, 1}, false, true};
        case 13: return {{kDspClassItem, 0x01, 0x09, 0, 0}, false, false};
        case 14: return {{kDspClassItem, 0x01, 0x0a, 2, 2}, false, true};   // exposure control mode
        case 15: return {{kDspClassItem, 0x01, 0x0b, 0, 2}, false, false};  // HDR
        default: return {{0, 0, 0, 0, 0}, false, false};
    }
}

// Calibration-file transfer: [0] file type, [1] direction on the start command.
constexpr int kTransfer = 0x1d;
constexpr uint8_t kTransferToCamera = 0x01;
constexpr uint8_t kTransferToHost = 0x02;
// Byte 2 of a status poll's reply; any other value: still running.
constexpr int kTransferFailed = 0x00;
constexpr int kTransferDone = 0x01;

constexpr int kTestMode = 0x1e;

// Plug-in keys the command set answers itself.
constexpr int kKeyOutModeList = 0x0E000001;
constexpr int kKeyDepthRangeList = 0x0E000002;
constexpr int kKeyDspStatus = 0x0E000017;

}  // namespace tofcmd
