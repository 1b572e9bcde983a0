#pragma once
#include <cstddef>
#include <cstdint>

// Called on the transfer worker after each status poll; `status` 1 done, 0 failed, any
// other value still running.
using FileTransferCallback = void (*)(int type, int number, int status, void* userData);

// The calibration-file transfer request, the 284-byte data of "Py_TransferFile".
#pragma pack(push, 1)
struct FileTransferParams {
    // 4 intrinsic, 5 planeness, 6 rangeOffset, 7 ir_background, 8 ConfidenceFactor.
    int32_t type;
    // Host to camera: the path of the file offered. Camera to host: the text the camera
    // puts in its file name.
    char fileName[256];
    uint32_t fileLength;  // host to camera
    uint8_t checkSum;     // host to camera: 8-bit sum of all bytes of the file
    uint8_t direction;    // 0 host to camera, any other value camera to host
    uint8_t number;       // index of a planeness or rangeOffset file
    uint8_t reserved;
    FileTransferCallback callback;  // may be null
    void* userData;
};
#pragma pack(pop)
static_assert(sizeof(FileTransferParams) == 284, "FileTransferParams layout");
static_assert(offsetof(FileTransferParams, callback) == 268, "FileTransferParams layout");
