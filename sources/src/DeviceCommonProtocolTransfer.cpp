// File-transfer commands of the command set: the camera fetches a firmware image or a JSON
// parameter file from the library's HTTP server, or posts its own JSON file to it.
#include <cstring>

#include "DeviceCommonProtocol.h"
#include "WebServer.h"
#include "log.h"

namespace {

constexpr int kCmdTransfer = 29;
constexpr uint8_t kKindFirmware = 1;
constexpr uint8_t kKindJson = 3;
constexpr uint8_t kFirmwareFetch = 1;
constexpr uint8_t kJsonMode = 1;
constexpr uint8_t kJsonStateQuery = 2;
constexpr uint8_t kJsonFetch = 4;

constexpr size_t kMaxPayload = 64;
constexpr size_t kFileHead = 18;  // kind, step, 16 bytes of host address
constexpr size_t kHostField = 16;
constexpr size_t kJsonModeHostField = 36;
constexpr size_t kMaxFileName = kMaxPayload - kFileHead - 1;  // room for the terminating zero
constexpr size_t kStateRecord = 10;
constexpr int kServerFailed = -22;

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

void PutI32(uint8_t* p, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

void PutState(uint8_t* buf, uint8_t kind, int32_t state, int32_t param1, int32_t param2) {
    buf[0] = kind;
    buf[1] = static_cast<uint8_t>(state);
    PutI32(buf + 2, param1);
    PutI32(buf + 6, param2);
}

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
    std::strncpy(reinterpret_cast<char*>(buf + 2), GetHostIP(), kHostField - 1);
    std::memcpy(buf + kFileHead, name.data(), name.size());
    const int len = static_cast<int>(kFileHead + name.size() + 1);
    return Command(kCmdTransfer, buf, len, len, CMDTYPE_SET);
}

int DeviceCommonProtocol::RestartServer() {
    WebServer* server = WebServer::getInstance();
    server->m_host = GetHostIP();
    return server->reStart() != 0 ? kServerFailed : 0;
}

int DeviceCommonProtocol::StartUpgradeFirmWare(const char* imgPath) {
    if (!imgPath) return -15;
    const SplitPath split = Split(imgPath);
    if (!split.hasFolder || !Servable(split)) {
        LOG_DEVICE(GetDeviceSN(), "pImgPath:%s is error.", imgPath);
        return -15;
    }
    WebServer* server = WebServer::getInstance();
    server->setDocumentRoot(split.folder.c_str());
    if (RestartServer() != 0) return kServerFailed;
    LOG_DEVICE(GetDeviceSN(), "ip:%s pImgPath:%s", GetHostIP(), imgPath);
    const int ret = SendTransferFile(kKindFirmware, kFirmwareFetch, split.name);
    if (ret != 0) server->stop();
    return ret;
}

int DeviceCommonProtocol::SetUpgradeState(const UpgradeState& s) {
    uint8_t buf[kStateRecord];
    PutState(buf, kKindFirmware, s.state, s.param1, s.param2);
    return Command(kCmdTransfer, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
}

int DeviceCommonProtocol::GetUpgradeState(UpgradeState& s) {
    uint8_t buf[kStateRecord] = {kKindFirmware};
    const int ret = Command(kCmdTransfer, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) s = UpgradeState{buf[1], buf[2], buf[3]};
    return ret;
}

int DeviceCommonProtocol::SetToJsonMode_P() {
    uint8_t buf[kFileHead - kHostField + kJsonModeHostField] = {kKindJson, kJsonMode};
    std::strncpy(reinterpret_cast<char*>(buf + 2), GetHostIP(), kJsonModeHostField - 1);
    WebServer* server = WebServer::getInstance();
    server->m_uploadDir = "./Config/";
    server->m_uploadName = "config.json";
    server->m_uploadNameMarker.clear();
    server->m_uploadParam1 = 0;
    server->m_uploadParam2 = 0;
    if (RestartServer() != 0) return kServerFailed;
    const int ret = Command(kCmdTransfer, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
    if (ret != 0) server->stop();
    return ret;
}

int DeviceCommonProtocol::SetJsonPath_P(const char* path) {
    if (!path) return -15;
    const SplitPath split = Split(path);
    if (split.hasFolder && !Servable(split)) {
        LOG_DEVICE(GetDeviceSN(), "pImgPath:%s is error.", path);
        return -15;
    }
    WebServer* server = WebServer::getInstance();
    server->setDocumentRoot(split.folder.c_str());
    if (RestartServer() != 0) return kServerFailed;
    if (!split.hasFolder) {
        LOG_DEVICE(GetDeviceSN(), "pImgPath:%s is error.", path);
        server->stop();
        Reboot();
        return -15;
    }
    LOG_DEVICE(GetDeviceSN(), "ip:%s pConfigPath:%s", GetHostIP(), path);
    const int ret = SendTransferFile(kKindJson, kJsonFetch, split.name);
    if (ret != 0) server->stop();
    return ret;
}

int DeviceCommonProtocol::SetJsonState(const JsonState& s) {
    uint8_t buf[kStateRecord];
    PutState(buf, kKindJson, s.state, s.param1, s.param2);
    return Command(kCmdTransfer, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
}

int DeviceCommonProtocol::GetJsonState(JsonState& s) {
    uint8_t buf[kStateRecord] = {kKindJson, kJsonStateQuery};
    const int ret = Command(kCmdTransfer, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) s = JsonState{buf[2], buf[3], buf[4]};
    return ret;
}
