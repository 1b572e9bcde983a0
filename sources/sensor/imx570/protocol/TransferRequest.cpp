#include "TransferRequest.h"

#include <cstring>

#include "log.h"

namespace {

constexpr int32_t kFirstType = 4;
constexpr int32_t kLastType = 8;
constexpr int32_t kPlaneness = 5;
constexpr int32_t kRangeOffset = 6;
constexpr uint8_t kToCamera = 1;
constexpr uint8_t kToHost = 2;
constexpr size_t kHostField = 16;
constexpr size_t kHead = 2 + kHostField;  // type, direction, host address
constexpr size_t kPayload = 64;
constexpr size_t kFileFields = 4 + 1 + 4;  // length, checksum, name length
constexpr size_t kStatusRequest = 2;

const char* const kKindWords[] = {"intrinsic", "planeness", "rangeOffset", "ir_background", "ConfidenceFactor"};

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
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
        return -15;
    }
    if (!m_toCamera) return 0;
    // An empty folder is "/": serving it would serve the whole disk.
    if (!m_hasFolder || m_folder.empty() || m_baseName.empty()) {
        LOG_DEVICE(tag, "%s is invalid.", m_fileName.c_str());
        return -15;
    }
    const size_t room = kPayload - kHead - kFileFields - (Numbered() ? 1 : 0);
    if (m_baseName.size() > room) {
        LOG_DEVICE(tag, "file name:%s is longer than %zu bytes.", m_baseName.c_str(), room);
        return -15;
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
    out[1] = m_toCamera ? kToCamera : kToHost;
    std::memcpy(out.data() + 2, hostIp, strnlen(hostIp, kHostField));
    if (Numbered()) out.push_back(m_number);
    if (!m_toCamera) return out;
    PutU32(out, m_fileLength);
    out.push_back(m_checkSum);
    PutU32(out, static_cast<uint32_t>(m_baseName.size()));
    out.insert(out.end(), m_baseName.begin(), m_baseName.end());
    return out;
}

std::vector<uint8_t> TransferRequest::StatusRequest() const {
    std::vector<uint8_t> out(kStatusRequest, 0);
    out[0] = static_cast<uint8_t>(m_type);
    if (Numbered()) out[1] = m_number;
    return out;
}
