// The camera's command ids, each with the sub-ids (payload byte 0, unless said) that pick an
// item where one id carries several. The host and both sensor plug-ins share these ids on one
// command connection; where two of them use one id, payload byte 0 tells their commands apart.
#pragma once

#include <cstddef>
#include <cstdint>

namespace camsim {
namespace cmd {

constexpr uint8_t kReplyBit = 0x80;  // set on the wire: the sender waits for a reply
constexpr uint8_t kIdMask = 0x7F;    // the id without its reply bit

constexpr uint8_t kInitParamsEnable = 0x01;  // ToF plug-in
constexpr uint8_t kWorkMode = 0x02;          // host: 0 active, 1 hardware trigger, 2 software trigger
constexpr uint8_t kExposure = 0x03;          // ToF plug-in: exposure time by range
constexpr uint8_t kFrameRate = 0x04;         // host
constexpr uint8_t kRegister = 0x05;          // ToF plug-in: sensor register value
constexpr uint8_t kDataMode = 0x06;          // ToF plug-in
constexpr uint8_t kDepthRange = 0x07;        // ToF plug-in
constexpr uint8_t kDualFrequency = 0x08;     // ToF plug-in

// Host: calibration doubles; the long arrays travel in two parts, head then tail.
constexpr uint8_t kCalibration = 0x10;
constexpr uint8_t kCalibrationToFIntrinsicHead = 0x00;
constexpr uint8_t kCalibrationToFIntrinsicTail = 0x01;
constexpr uint8_t kCalibrationToFDistortionHead = 0x02;
constexpr uint8_t kCalibrationToFDistortionTail = 0x03;
constexpr uint8_t kCalibrationColourIntrinsicHead = 0x04;
constexpr uint8_t kCalibrationColourIntrinsicTail = 0x05;
constexpr uint8_t kCalibrationColourDistortionHead = 0x06;
constexpr uint8_t kCalibrationColourDistortionTail = 0x07;
constexpr uint8_t kCalibrationRotationHead = 0x08;
constexpr uint8_t kCalibrationRotationTail = 0x09;
constexpr uint8_t kCalibrationTranslation = 0x0A;

constexpr uint8_t kMeasuringRange = 0x11;  // ToF plug-in: by depth range

// Host: the reboot (this byte alone) or else the factory-mode record; ToF plug-in: laser states.
constexpr uint8_t kSystem = 0x12;
constexpr uint8_t kSystemReboot = 0x08;
constexpr uint8_t kSystemLdState = 0x30;
constexpr uint8_t kSystemCdmaState = 0x31;

// Host: identity texts; ToF plug-in: lists and laser values.
constexpr uint8_t kSensorInfo = 0x13;
constexpr uint8_t kSensorInfoSerial = 0x02;
constexpr uint8_t kSensorInfoFirmwareVersion = 0x03;
constexpr uint8_t kSensorInfoHardwareVersion = 0x04;
constexpr uint8_t kSensorInfoDepthRangeList = 0x06;
constexpr uint8_t kSensorInfoDataModeList = 0x07;
constexpr uint8_t kSensorInfoApcState = 0x08;
constexpr uint8_t kSensorInfoLdDriverChip = 0x09;
constexpr uint8_t kSensorInfoLdType = 0x0A;

// Colour plug-in: resolution; ToF plug-in: IR gain.
constexpr uint8_t kGainResolution = 0x15;
constexpr uint8_t kGainResolutionColourResolution = 0x02;
constexpr uint8_t kGainResolutionIrGain = 0x04;

// Host: network and identity. A get asks for the set's sub-id plus kNetworkGetOffset.
constexpr uint8_t kNetwork = 0x18;
constexpr uint8_t kNetworkSerial = 0x02;
constexpr uint8_t kNetworkMac = 0x03;
constexpr uint8_t kNetworkIp = 0x05;
constexpr uint8_t kNetworkSubnetMask = 0x06;
constexpr uint8_t kNetworkDhcp = 0x07;
constexpr uint8_t kNetworkGetOffset = 0x10;

constexpr uint8_t kDsp = 0x19;          // both plug-ins: byte 0 is the caller's option
constexpr uint8_t kStreamState = 0x1B;  // host

// File transfers; byte 0 is the file type, byte 1 the step.
constexpr uint8_t kTransfer = 0x1D;
constexpr uint8_t kTransferFirmware = 0x01;       // host: byte 1 kTransferFetch
constexpr uint8_t kTransferJson = 0x03;           // host: byte 1 kTransferJsonPost, kTransferJsonFetch
constexpr uint8_t kTransferIntrinsicFile = 0x04;  // ToF plug-in: the calibration files, 4 to 8
constexpr uint8_t kTransferPlanenessFile = 0x05;  // numbered, as is the range-offset file
constexpr uint8_t kTransferRangeOffsetFile = 0x06;
constexpr uint8_t kTransferIrBackgroundFile = 0x07;
constexpr uint8_t kTransferConfidenceFile = 0x08;
constexpr uint8_t kTransferFirstCalibration = kTransferIntrinsicFile;
constexpr uint8_t kTransferLastCalibration = kTransferConfidenceFile;
constexpr uint8_t kTransferFetch = 0x01;      // firmware: the camera fetches the named file
constexpr uint8_t kTransferJsonPost = 0x01;   // JSON: the camera posts its own file
constexpr uint8_t kTransferJsonFetch = 0x04;  // JSON: the camera fetches the named file
constexpr uint8_t kTransferToCamera = 0x01;   // calibration: the camera fetches the host's file
constexpr uint8_t kTransferToHost = 0x02;     // calibration: the camera posts its own file
constexpr size_t kTransferRecordSize = 10;    // a state record: type, state, two 32-bit parameters

constexpr uint8_t kTestMode = 0x1E;         // ToF plug-in
constexpr uint8_t kSoftwareTrigger = 0x1F;  // host

// Colour plug-in: colour sensor values.
constexpr uint8_t kColour = 0x22;
constexpr uint8_t kColourFirmwareVersion = 0x01;
constexpr uint8_t kColourBrightness = 0x02;
constexpr uint8_t kColourAeMaxExposure = 0x03;
constexpr uint8_t kColourManualExposureState = 0x05;
constexpr uint8_t kColourManualExposureTime = 0x06;
constexpr uint8_t kColourMaxExposure = 0x07;
constexpr uint8_t kColourGain = 0x08;

constexpr uint8_t kTriggerSignal = 0x23;  // host: hardware-trigger signal parameters by signal type
constexpr uint8_t kHeartbeat = 0x9C;      // host; the id itself carries the reply bit

}  // namespace cmd
}  // namespace camsim
