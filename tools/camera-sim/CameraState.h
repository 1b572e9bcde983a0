// Everything a host command can set and read back, with the camera's defaults.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "CommandIds.h"

namespace camsim {

struct SensorCalibration {
    std::array<double, 9> intrinsic{};
    std::array<double, 8> distortion{};
};

struct MeasuringRange {
    uint16_t effectDepthMax = 0;
    uint16_t effectDepthMin = 0;
    uint16_t depthMax = 0;
};

// A DSP item is addressed by class, target and item (item 0 for class-1 items).
struct DspKey {
    uint8_t cls = 0;
    uint8_t target = 0;
    uint8_t item = 0;
    bool operator<(const DspKey& o) const { return std::tie(cls, target, item) < std::tie(o.cls, o.target, o.item); }
};

struct DspSetting {
    uint8_t enable = 0;
    uint16_t threshold = 0;
    uint16_t extra = 0;  // bytes 7-8 of a class-2 item
};

struct FactoryMode {
    int32_t mode = 0;
    int32_t imuSwitch = 0;
    int32_t audioSwitch = 0;
    int32_t depthSwitch = 1;
    int32_t rgbSwitch = 0;
};

struct McuParameters {
    uint8_t signalType = 0;
    uint8_t polarity = 0;
    uint16_t width = 0;
    uint16_t intervalOrDelay = 0;
};

// The three values the host last sent for a transfer.
struct TransferRecord {
    uint8_t state = 0;
    int32_t param1 = 0;
    int32_t param2 = 0;
};

struct TransferState {
    TransferRecord reported;           // what the camera answers (one byte each on the wire)
    std::deque<TransferRecord> steps;  // the next reports, taken one per poll
    TransferRecord lastSent;
    std::string hostAddress;
    std::string fileName;
    int fetchRequests = 0;          // firmware or JSON file to fetch from the host
    int postRequests = 0;           // camera asked to post its JSON file
    std::vector<uint8_t> received;  // the file last fetched from the host
};

// A calibration-file transfer (cmd::kTransfer with types 4-8) as the host last asked for it.
struct CalibrationTransfer {
    uint8_t type = 0;  // 4 intrinsic, 5 planeness, 6 rangeOffset, 7 ir_background, 8 ConfidenceFactor
    uint8_t number = 0;
    bool toCamera = true;  // the camera fetches the host's file; else it posts its own
    std::string hostAddress;
    std::string fileName;  // host to camera: the name to fetch
    uint32_t fileLength = 0;
    uint8_t checkSum = 0;
    uint8_t status = 0;  // reported in polls: 1 done, 0 failed, 2 running
    int requests = 0;
};

// Types 5 and 6 come in several files, told apart by a number after the host address.
inline bool IsNumberedCalibration(uint8_t type) {
    return type == cmd::kTransferPlanenessFile || type == cmd::kTransferRangeOffsetFile;
}

// Transfer states the camera reports for a calibration file.
constexpr uint8_t kCalibrationFailed = 0;
constexpr uint8_t kCalibrationDone = 1;
constexpr uint8_t kCalibrationRunning = 2;

// Plain defaults: the simulator keeps what the host sets and returns it, whatever the unit.
struct ColourSettings {
    int8_t brightness = 0;
    uint8_t aeMaxExposure = 100;
    uint8_t manualExposureState = 3;  // 1 manual; the host sends 3 for automatic
    uint16_t manualExposureTime = 1000;
    uint8_t maxExposure = 100;
    float gain = 1.0f;
    std::string firmwareVersion = "SIMRGB_20260101_V3";
    uint16_t width = 640;
    uint16_t height = 480;
};

// The work modes cmd::kWorkMode sets.
constexpr int8_t kActiveMode = 0;
constexpr int8_t kHardwareTriggerMode = 1;
constexpr int8_t kSoftwareTriggerMode = 2;

struct CameraState {
    CameraState();

    bool streamOn = false;
    int8_t workMode = kActiveMode;
    int8_t frameRate = 30;
    SensorCalibration tofCalibration;
    SensorCalibration colourCalibration;
    std::array<double, 9> rotation{};
    std::array<double, 3> translation{};

    std::map<uint8_t, uint32_t> exposure;  // by range: 0, 1, 254 HDR, 255 maximum (read-only)
    uint8_t dataMode = 0;
    int8_t depthRange = 0;
    std::array<uint8_t, 4> dualFreq{{2, 0, 5, 0}};  // two ranges: 0, then 5
    std::map<uint8_t, MeasuringRange> measuringRanges;
    std::vector<uint8_t> depthRangeList;  // at most 9
    std::vector<uint8_t> dataModeList;    // at most 32
    std::map<DspKey, DspSetting> dsp;
    uint8_t irGain = 8;  // a plain default: the simulator keeps what is set and returns it
    std::map<uint16_t, uint16_t> registers;
    std::map<uint8_t, uint8_t> laser;  // by sub-id: cmd::kSystem's LD and CDMA, cmd::kSensorInfo's 0x08-0x0A
    bool initParamsEnabled = false;
    std::array<uint8_t, 5> testMode{};

    std::string deviceSerial = "SIM0001";
    std::string sensorSerial = "TOFSIM0001";
    std::string firmwareVersion = "SIMFW_20260101_V10";
    std::string hardwareVersion = "HW_V1.0";
    std::string macAddress = "02:00:00:00:00:02";
    std::string ipAddress = "127.0.0.2";
    std::string subnetMask = "255.0.0.0";
    uint8_t dhcp = 0;

    FactoryMode factoryMode;
    std::map<uint8_t, McuParameters> mcu;  // by signal type: 1 input, 2 output
    TransferState upgrade;
    TransferState json;
    std::string jsonFile = "{\"camera\":\"simulated\"}\n";  // the camera's own parameter file
    CalibrationTransfer calibration;
    // The camera's calibration files by type and number (0 for the unnumbered types).
    std::map<std::pair<uint8_t, uint8_t>, std::vector<uint8_t>> calibrationFiles;
    ColourSettings colour;

    uint64_t softwareTriggers = 0;
    int reboots = 0;
};

}  // namespace camsim
