#pragma once
#include <cstdint>

// The command ids the kit itself sends on a camera's command connection, each followed by
// the sub-ids or kinds that its payload byte 0 (and, for transfers, byte 1) carries.
//
// The sensor plug-ins send their own command sets on the same connection and keep their own
// catalogues. Where an id is shared, payload byte 0 tells the uses apart, so an id here says
// nothing about the plug-ins' use of it: the ToF plug-in's 0x12 (LD and CDMA states) and 0x13
// (its lists, APC state and laser-driver types) are not the kit's 0x12 (18, reboot and factory
// mode) and 0x13 (19, serial number and versions), and its 0x1d carries calibration files.
namespace kitcmd {

constexpr int kWorkMode = 0x02;   // 2; no sub-id, the mode in byte 0
constexpr int kFrameRate = 0x04;  // 4; no sub-id, the rate in byte 0

constexpr int kCalibration = 0x10;  // 16; each value set goes in two parts, sub-id and sub-id + 1
namespace calibration {
constexpr uint8_t kTofIntrinsic = 0x00;
constexpr uint8_t kTofDistortion = 0x02;
constexpr uint8_t kColorIntrinsic = 0x04;
constexpr uint8_t kColorDistortion = 0x06;
constexpr uint8_t kRotation = 0x08;     // the colour camera relative to the ToF camera
constexpr uint8_t kTranslation = 0x0a;  // one part only
}  // namespace calibration

constexpr int kFactory = 0x12;  // 18; byte 0 kReboot, otherwise the factory-mode record
namespace factory {
constexpr uint8_t kReboot = 0x08;
}

constexpr int kVersion = 0x13;  // 19
namespace version {
constexpr uint8_t kSensorSN = 0x02;
constexpr uint8_t kFirmwareVersion = 0x03;
constexpr uint8_t kHardwareVersion = 0x04;
}  // namespace version

constexpr int kNetwork = 0x18;  // 24; the sets' sub-ids, a get asks with its set's sub-id + kGet
namespace network {
constexpr uint8_t kDeviceSN = 0x02;
constexpr uint8_t kMAC = 0x03;
constexpr uint8_t kIP = 0x05;
constexpr uint8_t kMask = 0x06;
constexpr uint8_t kDHCP = 0x07;
constexpr uint8_t kGet = 0x10;
}  // namespace network

constexpr int kStream = 0x1b;  // 27; on/off and the stream state

constexpr int kTransfer = 0x1d;  // 29; byte 0 the kind of file, byte 1 the step
namespace transfer {
// Kinds (byte 0).
constexpr uint8_t kFirmware = 0x01;
constexpr uint8_t kJson = 0x03;
// Steps (byte 1); a state record puts the transfer state in byte 1 instead.
constexpr uint8_t kFirmwareFetch = 0x01;  // fetch the image from the host's HTTP server
constexpr uint8_t kJsonMode = 0x01;       // post the camera's file to the host, then wait in JSON mode
constexpr uint8_t kJsonStateQuery = 0x02;
constexpr uint8_t kJsonFetch = 0x04;  // fetch the host's file
}  // namespace transfer

constexpr int kSoftwareTrigger = 0x1f;  // 31
constexpr int kTriggerSignal = 0x23;    // 35; an MCUParameters record, byte 0 the signal
constexpr int kHeartbeat = 0x9c;        // 156; always answered, as every id of 0x80 or more

}  // namespace kitcmd
