#include "TransferRequest.h"

#include <cstring>

#include "ByteOrder.h"
#include "StatusCodes.h"
#include "ToFCommands.h"
#include "log.h"

namespace {

// The calibration file types, 4 intrinsic to 8 ConfidenceFactor; the others on the same
// command id are the kit's firmware and JSON transfers.
constexpr int32_t kFirstType = 4;
constexpr int32_t kLastType = 8;
constexpr int32_t kPlaneness = 5;  // planeness and rangeOffset files carry an index
constexpr int32_t kRangeOffset = 6;
constexpr size_t kHostField = 16;          // the host address text, "255.255.255.255" and its NUL
constexpr size_t kHead = 2 + kHostField;   // type, direction, host address
constexpr size_t kPayload = 64;            // the most a command payload carries
constexpr size_t kFileFields = 4 + 1 + 4;  // length, checksum, name length
constexpr size_t kStatusRequest = 2;       // type, number

const char* const kKindWords[] = {"intrinsic", "planeness", "rangeOffset", "ir_background", "ConfidenceFactor"};

void AppendLe32(std::vector<uint8_t>& out, uint32_t value) {
    out.resize(out.size() + sizeof(value));
    byteorder::PutLe32(out.data() + out.size() - sizeof(value), value);
}

}  // namespace

TransferRequest::TransferRequest(const FileTransferParams& params)
    : m_type(params.type),
      m_number(params.number),
      m_toCamera(params.direction == 0),
      m_fileLength(params.fileLength),
      m_checkSum(params.checkSum),
      m_fileName(params.fileName, strnlen(params.fileName, sizeof(params.fileName))) {
    if (!m_toCamera) return;
    std::string path = m_fileName;
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return;
    m_hasFolder = true;
    m_folder = path.substr(0, slash);
    m_baseName = path.substr(slash + 1);
}

bool TransferRequest::Numbered() const { return m_type == kPlaneness || m_type == kRangeOffset; }

int TransferRequest::Check(const char* tag) const {
    if (m_type < kFirstType || m_type > kLastType) {
        LOG_DEVICE(tag, "type:%d is invalid.", m_type);
        return status::kInvalidParameter;
    }
    if (!m_toCamera) return 0;
    // An empty folder is "/": serving it would serve the whole disk.
    if (!m_hasFolder || m_folder.empty() || m_baseName.empty()) {
        LOG_DEVICE(tag, "%s is invalid.", m_fileName.c_str());
        return status::kInvalidParameter;
    }
    const size_t room = kPayload - kHead - kFileFields - (Numbered() ? 1 : 0);
    if (m_baseName.size() > room) {
        LOG_DEVICE(tag, "file name:%s is longer than %zu bytes.", m_baseName.c_str(), room);
        return status::kInvalidParameter;
    }
    return 0;
}

std::string TransferRequest::UploadName() const {
    if (m_type < kFirstType || m_type > kLastType) return {};
    std::string name = std::string(kKindWords[m_type - kFirstType]) + "_" + m_fileName;
    if (Numbered()) name += "_" + std::to_string(m_number);
    return name + ".bin";
}

std::vector<uint8_t> TransferRequest::StartPayload(const char* hostIp) const {
    std::vector<uint8_t> out(kHead, 0);
    out[0] = static_cast<uint8_t>(m_type);
    out[1] = m_toCamera ? tofcmd::kTransferToCamera : tofcmd::kTransferToHost;
    std::memcpy(out.data() + 2, hostIp, strnlen(hostIp, kHostField));
    if (Numbered()) out.push_back(m_number);
    if (!m_toCamera) return out;
    AppendLe32(out, m_fileLength);
    out.push_back(m_checkSum);
    AppendLe32(out, static_cast<uint32_t>(m_baseName.size()));
    out.insert(out.end(), m_baseName.begin(), m_baseName.end());
    return out;
}

std::vector<uint8_t> TransferRequest::StatusRequest() const {
    std::vector<uint8_t> out(kStatusRequest, 0);
    out[0] = static_cast<uint8_t>(m_type);
    if (Numbered()) out[1] = m_number;
    return out;
}
