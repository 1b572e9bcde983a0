#pragma once

// The statuses the kit and its plug-ins return: 0 is success, failures are negative. The
// public API passes -1 to -19, -21 to -23 and -101 to -109 through and turns every other
// value into -255, so these values are part of the interface and never change.
namespace status {

constexpr int kOk = 0;
constexpr int kFailed = -1;                // failure, or nothing available
constexpr int kJsonPathRefused = -2;       // the camera is not waiting in JSON mode
constexpr int kNullHandle = -3;            // null or empty handle
constexpr int kJsonModeFailed = -3;        // the camera did not switch to JSON mode
constexpr int kFrameNotReady = -4;         // also a frame type that is not valid
constexpr int kNoFrameData = -5;           // null frame or frame without data
constexpr int kGetNotSupported = -6;       // a get key neither the device nor its plug-ins know
constexpr int kSetNotSupported = -7;       // the same for a set
constexpr int kNullData = -8;              // property data pointer null
constexpr int kSerialBufferTooShort = -9;  // a serial number needs 17 bytes
constexpr int kInvalidDepthRange = -10;
constexpr int kNoFrameInTime = -11;
constexpr int kNullArgument = -12;  // a required pointer argument is null
constexpr int kDataConnectionFailed = -13;
constexpr int kInvalidSensorType = -14;  // neither ToF nor colour
constexpr int kInvalidParameter = -15;   // also a device that is not in the list
constexpr int kOlderFirmware = -16;      // the image is older than the camera's firmware
constexpr int kImageUnusable = -17;      // or the camera's firmware version is unreadable
constexpr int kPathTooLong = -18;        // longer than 260 characters
constexpr int kNoStatusCallback = -19;   // no upgrade or JSON-transfer status callback
constexpr int kNotSupported = -20;       // not by this device class
constexpr int kNoProfile = -21;          // no product profile
constexpr int kServerFailed = -22;       // the HTTP server did not start
constexpr int kFrameTooOld = -23;        // older than 1000 ms
constexpr int kLogFolderUnusable = -24;
constexpr int kLogFileUnusable = -25;
constexpr int kAlreadyInitialised = -101;
constexpr int kNotInitialised = -102;
constexpr int kAlreadyOpen = -103;
constexpr int kNoAnswer = -104;      // the command channel failed or timed out
constexpr int kNotConfirmed = -105;  // the camera did not confirm a setting
constexpr int kOffSubnet = -106;     // the camera is on no host interface's subnet
constexpr int kStreamNotStarted = -108;
constexpr int kPluginFailed = -109;  // a plug-in did not load or made no device
constexpr int kInternal = -255;      // every other failure: unsupported, exception, no connection
constexpr int kNotMine = -255;       // a key or record that this level does not take

}  // namespace status
