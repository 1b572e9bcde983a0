#pragma once

// The steps of the two file transfers, for the firmware-upgrade and the JSON controller:
// what the camera reports, what the host sends it, the controllers' statuses and the steps
// the application's callback hears.
namespace transferstep {

// A state's parameter when it passed (or the camera is ready), in the camera's reports and
// in the application's.
constexpr int kPassed = 1;

// The camera's transfer state, one byte in its reply. Both transfers share 0 to 3.
namespace camera {
constexpr int kReady = 0;  // with kPassed: ready for the host's next step
constexpr int kChecking = 1;
constexpr int kChecked = 2;   // kPassed, else the camera's failure code
constexpr int kProgress = 3;  // the parameter is the percentage done
constexpr int kAfterProgress = kProgress + 1;
// The firmware's last steps: two of the camera's own, each kPassed or a failure, then the end.
constexpr int kFirmwareStep1 = kAfterProgress;
constexpr int kFirmwareStep2 = 5;
constexpr int kFirmwareDone = 6;
constexpr int kJsonDone = kAfterProgress;
}  // namespace camera

// The state the host sends, with two parameters.
namespace host {
constexpr int kChecksum = 2;  // the file's checksum and length
constexpr int kGoOn = 3;      // after a passed check; parameters 0
}  // namespace host

// The controllers' statuses. Both start alike.
constexpr int kIdle = 0;         // a worker that finds it ends
constexpr int kSetUp = 1;        // waiting for the camera to be detected, then reconnecting
constexpr int kReconnected = 2;  // waiting for the camera to be ready
namespace upgrade {
constexpr int kCameraReady = 3;  // the checksum and length are to be sent
// Then the camera is followed: the status is its state plus 3.
constexpr int kFollowing = 3;
constexpr int kChecksumSent = kFollowing + camera::kChecking;
}  // namespace upgrade
namespace json {
constexpr int kWaitingForFile = 3;  // the camera waits in JSON mode for the application's file
constexpr int kFileHandedOver = 4;  // the camera was told to fetch it; waiting for it to be ready
constexpr int kFileReady = 5;       // the checksum and length are to be sent
// Then the camera is followed: the status is its state plus 5.
constexpr int kFollowing = 5;
constexpr int kChecksumSent = kFollowing + camera::kChecking;
}  // namespace json

// What a controller's handling of a followed state tells its worker.
namespace result {
constexpr int kGoOn = 0;
constexpr int kSucceeded = 1;  // the transfer ended well
constexpr int kFailed = -1;    // the transfer ended
}  // namespace result

// The steps the application hears, each with a parameter.
namespace report {
constexpr int kFailed = -1;  // the parameter of a failed step, also in place of a camera's failure 0
constexpr int kFullProgress = 100;
// The host's own steps come first.
constexpr int kReconnecting = 1;   // firmware only, with kPassed
constexpr int kJsonModeReady = 1;  // JSON only: the camera waits in JSON mode, with 0
constexpr int kReconnected = 2;    // kPassed (firmware only), or kFailed after the last try
constexpr int kCameraReady = 3;    // firmware only, with kPassed
// The camera's steps follow, numbered after its state: c + 2, also for a state the controller
// does not know and for the last state before a time-out.
constexpr int OfCameraState(int state) { return state + 2; }
constexpr int kChecked = OfCameraState(camera::kChecked);  // also a file the host cannot check or send
constexpr int kProgress = OfCameraState(camera::kProgress);
constexpr int kFirmwareDone = OfCameraState(camera::kFirmwareDone);
constexpr int kJsonDone = OfCameraState(camera::kJsonDone);
}  // namespace report

}  // namespace transferstep
