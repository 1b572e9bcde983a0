#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "FileTransferParams.h"

// A calibration-file transfer request, worked out once: the folder to serve and the name
// the camera fetches (host to camera), or the name the camera's upload carries (camera to
// host), and the bytes of the commands that start and poll it.
class TransferRequest {
public:
    explicit TransferRequest(const FileTransferParams& params);

    // 0, or -15 with a log line under `tag`: a type outside 4..8 (other types would form
    // the firmware or JSON command on the same id), a host path without a folder or file
    // name, or a name too long for the command payload.
    int Check(const char* tag) const;

    bool ToCamera() const { return m_toCamera; }
    // Host to camera: the served folder and the file name sent to the camera.
    const std::string& Folder() const { return m_folder; }
    const std::string& BaseName() const { return m_baseName; }
    // Camera to host: the name the upload must carry, and the text left out of the stored name.
    std::string UploadName() const;
    const std::string& FileName() const { return m_fileName; }

    std::vector<uint8_t> StartPayload(const char* hostIp) const;
    std::vector<uint8_t> StatusRequest() const;

private:
    bool Numbered() const;

    int32_t m_type;
    uint8_t m_number;
    bool m_toCamera;
    uint32_t m_fileLength;
    uint8_t m_checkSum;
    std::string m_fileName;  // read within its buffer, NUL or not
    bool m_hasFolder = false;
    std::string m_folder;
    std::string m_baseName;
};
