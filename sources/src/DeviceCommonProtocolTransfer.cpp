// File-transfer commands of the command set: the camera fetches a firmware image or a JSON
// parameter file from the library's HTTP server, or posts its own JSON file to it.
#include <cstring>

#include "ByteOrder.h"
#include "DeviceCommonProtocol.h"
#include "KitCommands.h"
#include "StatusCodes.h"
#include "WebServer.h"
#include "log.h"

using namespace kitcmd;

namespace {

constexpr size_t kMaxPayload = 64;                            // the transport sends no more payload bytes
constexpr size_t kAddressAt = 2;                              // the host address follows kind and step
constexpr size_t kFileHead = 18;                              // kind, step, 16 bytes of host address
constexpr size_t kHostField = 16;                             // a dotted IPv4 text and its zero
constexpr size_t kJsonModeHostField = 36;                     // the JSON-mode command's wider address field
constexpr size_t kMaxFileName = kMaxPayload - kFileHead - 1;  // room for the terminating zero
constexpr size_t kStateRecord = 10;                           // kind, state, two int32 parameters
// Where the camera's three state bytes stand in its reply: behind the kind, or for the JSON
// transfer behind kind and query step.
constexpr size_t kFirmwareStateAt = 1;
constexpr size_t kJsonStateAt = 2;
constexpr uint8_t kNoStep = 0;

// A path split at its last '/', after backslashes became '/'.
struct SplitPath {
    bool hasFolder = false;
    std::string folder;
    std::string name;
};

SplitPath Split(const char* path) {
    const std::string text = DeviceCommonProtocol::customreplace_(path, "\\", "/");
    SplitPath split;
    const size_t slash = text.rfind('/');
    if (slash == std::string::npos) {
        split.folder = text;
        return split;
    }
    split.hasFolder = true;
    split.folder = text.substr(0, slash);
    split.name = text.substr(slash + 1);
    return split;
}

// An empty folder means the file lies in "/": serving that would serve the whole disk.
bool Servable(const SplitPath& split) { return !split.folder.empty() && split.name.size() <= kMaxFileName; }

}  // namespace

std::string DeviceCommonProtocol::customreplace_(std::string str, const std::string& from, const std::string& to) {
    if (from.empty()) return str;
    for (size_t pos = str.find(from); pos != std::string::npos; pos = str.find(from, pos + to.size())) {
        str.replace(pos, from.size(), to);
    }
    return str;
}

int DeviceCommonProtocol::SendTransferFile(uint8_t kind, uint8_t step, const std::string& name) {
    uint8_t buf[kMaxPayload] = {kind, step};
    std::strncpy(reinterpret_cast<char*>(buf + kAddressAt), GetHostIP(), kHostField - 1);
    std::memcpy(buf + kFileHead, name.data(), name.size());
    const int len = static_cast<int>(kFileHead + name.size() + 1);
    return Command(kTransfer, buf, len, len, CMDTYPE_SET);
}

int DeviceCommonProtocol::RestartServer() {
    WebServer* server = WebServer::getInstance();
    server->m_host = GetHostIP();
    return server->reStart() != 0 ? status::kServerFailed : 0;
}

int DeviceCommonProtocol::StartUpgradeFirmWare(const char* imgPath) {
    if (!imgPath) return status::kInvalidParameter;
    const SplitPath split = Split(imgPath);
    if (!split.hasFolder || !Servable(split)) {
        LOG_DEVICE(GetDeviceSN(), "pImgPath:%s is error.", imgPath);
        return status::kInvalidParameter;
    }
    WebServer* server = WebServer::getInstance();
    server->setDocumentRoot(split.folder.c_str());
    if (RestartServer() != 0) return status::kServerFailed;
    LOG_DEVICE(GetDeviceSN(), "ip:%s pImgPath:%s", GetHostIP(), imgPath);
    const int ret = SendTransferFile(transfer::kFirmware, transfer::kFirmwareFetch, split.name);
    if (ret != 0) server->stop();
    return ret;
}

template <typename Record>
int DeviceCommonProtocol::SendTransferState(uint8_t kind, const Record& s) {
    uint8_t buf[kStateRecord] = {kind, static_cast<uint8_t>(s.state)};
    // The parameters follow kind and state.
    byteorder::PutLe32(buf + 2, static_cast<uint32_t>(s.param1));
    byteorder::PutLe32(buf + 6, static_cast<uint32_t>(s.param2));
    return Command(kTransfer, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
}

template <typename Record>
int DeviceCommonProtocol::QueryTransferState(uint8_t kind, uint8_t step, size_t at, Record& s) {
    uint8_t buf[kStateRecord] = {kind, step};
    const int ret = Command(kTransfer, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) s = Record{buf[at], buf[at + 1], buf[at + 2]};
    return ret;
}

int DeviceCommonProtocol::SetUpgradeState(const UpgradeState& s) { return SendTransferState(transfer::kFirmware, s); }

int DeviceCommonProtocol::GetUpgradeState(UpgradeState& s) {
    return QueryTransferState(transfer::kFirmware, kNoStep, kFirmwareStateAt, s);
}

int DeviceCommonProtocol::SetToJsonMode_P() {
    uint8_t buf[kFileHead - kHostField + kJsonModeHostField] = {transfer::kJson, transfer::kJsonMode};
    std::strncpy(reinterpret_cast<char*>(buf + kAddressAt), GetHostIP(), kJsonModeHostField - 1);
    WebServer* server = WebServer::getInstance();
    server->m_uploadDir = "./Config/";
    server->m_uploadName = "config.json";
    server->m_uploadNameMarker.clear();
    server->m_uploadParam1 = 0;
    server->m_uploadParam2 = 0;
    if (RestartServer() != 0) return status::kServerFailed;
    const int ret = Command(kTransfer, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
    if (ret != 0) server->stop();
    return ret;
}

int DeviceCommonProtocol::SetJsonPath_P(const char* path) {
    if (!path) return status::kInvalidParameter;
    const SplitPath split = Split(path);
    if (split.hasFolder && !Servable(split)) {
        LOG_DEVICE(GetDeviceSN(), "pImgPath:%s is error.", path);
        return status::kInvalidParameter;
    }
    WebServer* server = WebServer::getInstance();
    server->setDocumentRoot(split.folder.c_str());
    if (RestartServer() != 0) return status::kServerFailed;
    if (!split.hasFolder) {
        LOG_DEVICE(GetDeviceSN(), "pImgPath:%s is error.", path);
        server->stop();
        Reboot();
        return status::kInvalidParameter;
    }
    LOG_DEVICE(GetDeviceSN(), "ip:%s pConfigPath:%s", GetHostIP(), path);
    const int ret = SendTransferFile(transfer::kJson, transfer::kJsonFetch, split.name);
    if (ret != 0) server->stop();
    return ret;
}

int DeviceCommonProtocol::SetJsonState(const JsonState& s) { return SendTransferState(transfer::kJson, s); }

int DeviceCommonProtocol::GetJsonState(JsonState& s) {
    return QueryTransferState(transfer::kJson, transfer::kJsonStateQuery, kJsonStateAt, s);
}
