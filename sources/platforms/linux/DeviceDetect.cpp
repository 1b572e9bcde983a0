#include "DeviceDetect.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "UsbModalias.h"
#include "log.h"

namespace {

constexpr int kReceiveBufferBytes = 1024;  // the socket's buffer: events are read as they come
constexpr size_t kMaxMessageBytes = 2048;  // a uevent's text is far shorter; a longer one is cut
// Bounds how long Stop waits for the loop to notice.
constexpr int kPollMs = 100;
// A modalias is a short line; anything beyond this is not one.
constexpr size_t kMaxModaliasBytes = 256;
constexpr uint32_t kKernelEventGroup = 1;  // the kernel's own uevents, not udev's re-broadcasts

// Up to maxBytes of a file's content; empty when it cannot be read.
std::string ReadBounded(const std::string& path, size_t maxBytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::string();
    }
    std::string content(maxBytes, '\0');
    size_t used = 0;
    while (used < maxBytes) {
        const ssize_t n = read(fd, &content[used], maxBytes - used);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        used += static_cast<size_t>(n);
    }
    close(fd);
    content.resize(used);
    return content;
}

// The kernel only names devices with plain components; anything else would reach outside
// the sysfs and /dev folders.
bool IsPlainName(const std::string& name) { return !name.empty() && name != "." && name != ".."; }

int OpenUeventSocket() {
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) {
        LOG_PRINTF("socket failed, errno:%d", errno);
        return -1;
    }
    const int bufferBytes = kReceiveBufferBytes;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof(bufferBytes));
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    // Port 0 lets the kernel assign the process id, or another free id when some other
    // netlink socket of this process holds it already.
    local.nl_pid = 0;
    local.nl_groups = kKernelEventGroup;
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
        LOG_PRINTF("bind failed, errno:%d", errno);
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

DeviceDetect::DeviceDetect(Options options) : StoppableThread("DeviceDetect"), mOptions(std::move(options)) {}

DeviceDetect::~DeviceDetect() {
    Stop();
    Join();
    LOG_PRINTF("");
}

bool DeviceDetect::Initialize(Notifier* notifier) {
    mNotifier = notifier;
    return true;
}

void DeviceDetect::Run() {
    const int fd = OpenUeventSocket();
    if (fd < 0) {
        return;
    }
    LOG_PRINTF(" start");
    // One byte beyond the longest message keeps its terminating NUL.
    char message[kMaxMessageBytes + 1];
    while (IsRunning()) {
        pollfd readable{fd, POLLIN, 0};
        const int ready = poll(&readable, 1, kPollMs);
        if (ready < 0 && errno != EINTR) {
            LOG_PRINTF("poll failed, errno:%d", errno);
            break;
        }
        if (ready <= 0) {
            continue;
        }
        sockaddr_nl sender{};
        socklen_t senderLength = sizeof(sender);
        const ssize_t n =
            recvfrom(fd, message, kMaxMessageBytes, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sender), &senderLength);
        // ENOBUFS after an overflow of the small buffer only means events were lost.
        if (n <= 0) {
            continue;
        }
        // Any process may send to the group; only the kernel's own messages count.
        if (senderLength < sizeof(sender) || sender.nl_family != AF_NETLINK || sender.nl_pid != 0) {
            continue;
        }
        message[n] = '\0';
        HandleUevent(message, static_cast<size_t>(n));
    }
    close(fd);
}

void DeviceDetect::HandleUevent(const char* message, size_t length) {
    const std::string eventText(message, strnlen(message, length));
    const size_t at = eventText.find('@');
    if (at == std::string::npos) {
        return;
    }
    const std::string action = eventText.substr(0, at);
    const std::string devPath = eventText.substr(at + 1);
    int32_t eventAction = DetectParams::kOther;
    if (action == "add") {
        eventAction = DetectParams::kAdded;
    } else if (action == "remove") {
        eventAction = DetectParams::kRemoved;
        mReported = false;
    } else {
        return;
    }

    const size_t nameAt = devPath.rfind('/');
    const std::string name = nameAt == std::string::npos ? devPath : devPath.substr(nameAt + 1);
    std::string subsystem;
    if (nameAt != std::string::npos && nameAt > 0) {
        const size_t subsystemAt = devPath.rfind('/', nameAt - 1);
        const size_t from = subsystemAt == std::string::npos ? 0 : subsystemAt + 1;
        subsystem = devPath.substr(from, nameAt - from);
    }
    if (!IsPlainName(name)) {
        return;
    }

    if (subsystem == "video4linux") {
        if (eventAction == DetectParams::kAdded) {
            HandleVideoArrival(name);
        } else {
            Report(DetectParams::kRemoved, DetectParams::kVideo, 0, 0, name);
        }
        return;
    }
    if (eventAction == DetectParams::kRemoved) {
        return;
    }
    if (subsystem == "hidraw" && HandleHidrawArrival(eventText, name)) {
        return;
    }
    if (subsystem == "block" && name.find("sd") != std::string::npos) {
        Report(DetectParams::kAdded, DetectParams::kStorage, mOptions.ids.vendorId, mOptions.ids.firstProductId, name);
    }
    if (!mReported) {
        ScanHidrawNodes();
    }
}

void DeviceDetect::HandleVideoArrival(const std::string& name) {
    const std::string modalias =
        ReadBounded(mOptions.sysRoot + "/class/video4linux/" + name + "/device/modalias", kMaxModaliasBytes);
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    if (const char* failure = ParseUsbModalias(modalias, &vendorId, &productId)) {
        LOG_PRINTF("%s throw exception: %s", name.c_str(), failure);
        return;
    }
    Report(DetectParams::kAdded, DetectParams::kVideo, vendorId, productId, name);
}

bool DeviceDetect::HandleHidrawArrival(const std::string& eventText, const std::string& name) {
    for (const uint16_t productId : {mOptions.ids.firstProductId, mOptions.ids.secondProductId}) {
        if (eventText.find(IdentifierText(productId)) != std::string::npos) {
            Report(DetectParams::kAdded, DetectParams::kHid, mOptions.ids.vendorId, productId, name);
            mReported = true;
            return true;
        }
    }
    return false;
}

void DeviceDetect::ScanHidrawNodes() {
    DIR* dir = opendir(mOptions.devRoot.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, 6, "hidraw") != 0) {
            continue;
        }
        HidrawIds ids;
        if (!mOptions.probeHidraw(mOptions.devRoot + "/" + name, &ids)) {
            continue;
        }
        if (ids.vendorId != mOptions.ids.vendorId || ids.productId != mOptions.ids.secondProductId) {
            continue;
        }
        LOG_PRINTF("+++++++++++++add name:%s vid:%04X pid:%04X", name.c_str(), ids.vendorId, ids.productId);
        Report(DetectParams::kAdded, DetectParams::kHid, ids.vendorId, ids.productId, name);
        mReported = true;
    }
    closedir(dir);
}

void DeviceDetect::Report(int32_t action, int32_t kind, uint32_t vendorId, uint32_t productId,
                          const std::string& name) {
    Notifier* notifier = mNotifier;
    if (notifier == nullptr) {
        return;
    }
    DetectParams params;
    params.action = action;
    params.kind = kind;
    params.vendorId = static_cast<int32_t>(vendorId);
    params.productId = static_cast<int32_t>(productId);
    params.devicePath = mOptions.devRoot + "/" + name;
    notifier->OnMessage(params);
}

std::string DeviceDetect::IdentifierText(uint16_t productId) const {
    char text[16];
    snprintf(text, sizeof(text), "%04X:%04X", mOptions.ids.vendorId, productId);
    return text;
}
