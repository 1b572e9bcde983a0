#include "TransferAgent.h"

#include <numeric>
#include <string>

#include "CommandIds.h"
#include "HttpClient.h"
#include "LittleEndian.h"

namespace camsim {
namespace {

// The host's records: {2, checksum, length} to check the file, {3, 0, 0} to go on.
constexpr uint8_t kChecksumStep = 2;
constexpr uint8_t kGoOnStep = 3;

// The states the camera reports, in order; 4 to 6 are the later steps of the transfer.
constexpr uint8_t kReadyState = 0;
constexpr uint8_t kCheckingState = 1;
constexpr uint8_t kCheckedState = 2;
constexpr uint8_t kProgressState = 3;  // parameter: percent done
constexpr uint8_t kBadState = 7;       // outside 1 to 6: the host ends its transfer
constexpr int32_t kPassed = 1;         // parameter of a ready, passed or done state
const char* const kUploadName = "config.json";

// Firmware image header: length of the whole file at 12, payload byte sum at 20.
constexpr size_t kImageHeaderSize = 512;
constexpr size_t kImageLengthOffset = 12;
constexpr size_t kImagePayloadSumOffset = 20;

uint32_t UnsignedSum(const uint8_t* first, const uint8_t* last) {
    return std::accumulate(first, last, 0u, [](uint32_t sum, uint8_t b) { return sum + b; });
}

int32_t SignedSum(const std::vector<uint8_t>& file) {
    const uint32_t sum = std::accumulate(file.begin(), file.end(), 0u, [](uint32_t s, uint8_t b) {
        return s + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(b)));
    });
    return static_cast<int32_t>(sum);
}

bool ImageHeaderMatches(const std::vector<uint8_t>& file) {
    if (file.size() < kImageHeaderSize) return false;
    const uint64_t length = GetLe64(file.data() + kImageLengthOffset);
    return length == file.size() && GetLe32(file.data() + kImagePayloadSumOffset) ==
                                        UnsignedSum(file.data() + kImageHeaderSize, file.data() + file.size());
}

// The host sends the length and a checksum of the whole file: an unsigned byte sum for an
// image, a signed one for a JSON file.
bool FileMatches(TransferAgent::Kind kind, const std::vector<uint8_t>& file, const TransferRecord& sent) {
    if (file.empty() || file.size() != static_cast<uint32_t>(sent.param2)) return false;
    if (kind == TransferAgent::Kind::Json) return SignedSum(file) == sent.param1;
    return ImageHeaderMatches(file) &&
           UnsignedSum(file.data(), file.data() + file.size()) == static_cast<uint32_t>(sent.param1);
}

// After "go on": progress, then the remaining steps of the transfer, each passed.
std::vector<TransferRecord> StepsAfterGoOn(TransferAgent::Kind kind) {
    std::vector<TransferRecord> steps = {{kProgressState, 50, 0}, {kProgressState, 100, 0}, {4, kPassed, 0}};
    if (kind == TransferAgent::Kind::Firmware) steps.insert(steps.end(), {{5, kPassed, 0}, {6, kPassed, 0}});
    return steps;
}

}  // namespace

TransferAgent::TransferAgent(CommandHandler& handler, Kind kind, CameraHooks hooks, uint16_t port)
    : m_handler(handler),
      m_kind(kind),
      m_type(kind == Kind::Firmware ? cmd::kTransferFirmware : cmd::kTransferJson),
      m_hooks(std::move(hooks)),
      m_port(port) {}

TransferAgent::~TransferAgent() { Stop(); }

void TransferAgent::Start() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_thread.joinable()) return;
    m_stop = false;
    m_thread = std::thread([this] { Loop(); });
}

void TransferAgent::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void TransferAgent::SetFault(TransferFault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fault = fault;
}

void TransferAgent::SetRebootPause(std::chrono::milliseconds pause) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rebootPause = pause;
}

void TransferAgent::SetFetchPause(std::chrono::milliseconds pause) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fetchPause = pause;
}

TransferFault TransferAgent::Fault() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_fault;
}

TransferState& TransferAgent::Transfer(CameraState& s) const { return m_kind == Kind::Firmware ? s.upgrade : s.json; }

void TransferAgent::OnSet(uint8_t id, const std::vector<uint8_t>& payload) {
    if (id == cmd::kSystem && payload.size() == 1 && payload[0] == cmd::kSystemReboot) {
        bool active;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            active = m_active;
            m_active = false;
        }
        if (active) Enqueue(Job::Reboot);
        return;
    }
    if (id != cmd::kTransfer || payload.size() < 2 || payload[0] != m_type) return;
    if (payload.size() == cmd::kTransferRecordSize) {
        TransferRecord sent;
        m_handler.Update([&](CameraState& s) { sent = Transfer(s).lastSent; });
        OnRecord(sent);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_active = true;
    }
    Enqueue(m_kind == Kind::Json && payload[1] == cmd::kTransferJsonPost ? Job::Post : Job::Fetch);
}

void TransferAgent::OnRecord(const TransferRecord& sent) {
    const TransferFault fault = Fault();
    m_handler.Update([&](CameraState& s) {
        TransferState& t = Transfer(s);
        if (sent.state == kChecksumStep) {
            const bool passed = fault != TransferFault::CheckFails && FileMatches(m_kind, t.received, sent);
            t.steps.push_back({kCheckingState, 0, 0});
            const TransferRecord checked{kCheckedState, passed ? kPassed : 0, 0};
            t.steps.push_back(fault == TransferFault::BadState ? TransferRecord{kBadState, 0, 0} : checked);
        } else if (sent.state == kGoOnStep) {
            for (const TransferRecord& step : StepsAfterGoOn(m_kind)) t.steps.push_back(step);
        }
    });
}

void TransferAgent::Enqueue(Job job) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(job);
    }
    m_wake.notify_all();
}

void TransferAgent::Loop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
        if (m_stop) return;
        const Job job = m_jobs.front();
        m_jobs.pop_front();
        lock.unlock();
        Run(job);
        lock.lock();
    }
}

void TransferAgent::Run(Job job) {
    switch (job) {
        case Job::Fetch: Fetch(); break;
        case Job::Post: Post(); break;
        case Job::Reboot: Reboot(); break;
    }
}

void TransferAgent::Fetch() {
    TransferState request;
    m_handler.Update([&](CameraState& s) { request = Transfer(s); });
    std::chrono::milliseconds pause{0};
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pause = m_fetchPause;
    }
    HttpClient client(request.hostAddress, m_port, HttpClient::kHostTimeout);
    // A slow fetch ends with the camera's stop.
    const HttpClient::Response response =
        pause.count() == 0 ? client.Get("/" + request.fileName) : client.Get("/" + request.fileName, pause, [this] {
            std::lock_guard<std::mutex> lock(m_mutex);
            return m_stop;
        });
    if (response.status != 200) return;
    const bool ready = Fault() != TransferFault::NeverReady;
    bool current = false;
    m_handler.Update([&](CameraState& s) {
        TransferState& t = Transfer(s);
        // A newer request replaced this one while it ran.
        current = t.fetchRequests == request.fetchRequests;
        if (!current) return;
        t.received.assign(response.body.begin(), response.body.end());
        t.reported = TransferRecord{kReadyState, ready ? kPassed : 0, 0};
    });
    if (current && m_hooks.announce) m_hooks.announce(AnnouncedState::UpgradeWaiting);
}

void TransferAgent::Post() {
    std::string host;
    std::vector<uint8_t> file;
    int requests = 0;
    m_handler.Update([&](CameraState& s) {
        host = s.json.hostAddress;
        requests = s.json.postRequests;
        file.assign(s.jsonFile.begin(), s.jsonFile.end());
    });
    HttpClient client(host, m_port, HttpClient::kHostTimeout);
    const std::string target = std::string("/upload?name=") + kUploadName + "&offset=0&checksum=" +
                               std::to_string(UnsignedSum(file.data(), file.data() + file.size()) & 0xFF) +
                               "&fileDatalength=" + std::to_string(file.size());
    if (client.Post(target, std::string(file.begin(), file.end())).status != 200) return;
    const bool ready = Fault() != TransferFault::NeverReady;
    bool current = false;
    m_handler.Update([&](CameraState& s) {
        current = s.json.postRequests == requests;
        if (current) s.json.reported = TransferRecord{kReadyState, ready ? kPassed : 0, 0};
    });
    if (current && m_hooks.announce) m_hooks.announce(AnnouncedState::UpgradeWaiting);
}

void TransferAgent::Reboot() {
    m_handler.Update([&](CameraState& s) {
        TransferState& t = Transfer(s);
        t.reported = TransferRecord{};
        t.steps.clear();
    });
    // Going down, the camera says it leaves; back up, it announces itself as usual.
    if (m_hooks.announce) m_hooks.announce(AnnouncedState::Leaving);
    if (m_hooks.rebooting) m_hooks.rebooting(true);
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait_for(lock, m_rebootPause, [this] { return m_stop; });
    }
    if (m_hooks.announce) m_hooks.announce(AnnouncedState::Normal);
    if (m_hooks.rebooting) m_hooks.rebooting(false);
}

}  // namespace camsim
