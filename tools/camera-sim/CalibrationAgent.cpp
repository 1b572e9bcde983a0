#include "CalibrationAgent.h"

#include <algorithm>
#include <numeric>
#include <string>

#include "CommandIds.h"
#include "HttpClient.h"

namespace camsim {
namespace {

const char* const kKindWords[] = {"intrinsic", "planeness", "rangeOffset", "ir_background", "ConfidenceFactor"};

uint8_t ByteSum(const uint8_t* data, size_t size) {
    return static_cast<uint8_t>(std::accumulate(data, data + size, 0u));
}

// The name the camera gives its file: kind, its own tag, the number for types 5 and 6.
std::string UploadName(const CalibrationTransfer& request, const std::string& tag) {
    std::string name = std::string(kKindWords[request.type - cmd::kTransferFirstCalibration]) + "_" + tag;
    if (IsNumberedCalibration(request.type)) name += "_" + std::to_string(request.number);
    return name + ".bin";
}

}  // namespace

CalibrationAgent::CalibrationAgent(CommandHandler& handler, uint16_t port) : m_handler(handler), m_port(port) {}

CalibrationAgent::~CalibrationAgent() { Stop(); }

void CalibrationAgent::Start() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_thread.joinable()) return;
    m_stop = false;
    m_thread = std::thread([this] { Loop(); });
}

void CalibrationAgent::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void CalibrationAgent::OnSet(uint8_t id, const std::vector<uint8_t>& payload) {
    if (id != cmd::kTransfer || payload.empty() || payload[0] < cmd::kTransferFirstCalibration ||
        payload[0] > cmd::kTransferLastCalibration)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending = true;
    }
    m_wake.notify_all();
}

void CalibrationAgent::SetStartDelay(std::chrono::milliseconds delay) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delay = delay;
}

void CalibrationAgent::SetChunkSize(size_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_chunkSize = bytes > 0 ? bytes : 1;
}

void CalibrationAgent::Loop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_stop || m_pending; });
        if (m_stop) return;
        m_pending = false;
        if (m_wake.wait_for(lock, m_delay, [this] { return m_stop; })) return;
        const size_t chunkSize = m_chunkSize;
        lock.unlock();

        CalibrationTransfer request;
        std::vector<uint8_t> file;
        std::string tag;
        m_handler.Update([&](CameraState& s) {
            request = s.calibration;
            tag = s.sensorSerial;
            const auto it = s.calibrationFiles.find({request.type, request.number});
            if (!request.toCamera && it != s.calibrationFiles.end()) file = it->second;
        });
        bool ok;
        if (request.toCamera) {
            ok = Fetch(request, file);
        } else {
            ok = !file.empty() && Post(request, file, tag, chunkSize);
        }
        m_handler.Update([&](CameraState& s) {
            // A newer request replaced this one while it ran.
            if (s.calibration.requests != request.requests) return;
            s.calibration.status = ok ? kCalibrationDone : kCalibrationFailed;
            if (ok && request.toCamera) s.calibrationFiles[{request.type, request.number}] = file;
        });
        lock.lock();
    }
}

bool CalibrationAgent::Fetch(const CalibrationTransfer& request, std::vector<uint8_t>& file) const {
    HttpClient client(request.hostAddress, m_port, HttpClient::kHostTimeout);
    const HttpClient::Response response = client.Get("/" + request.fileName);
    if (response.status != 200 || response.body.size() != request.fileLength) return false;
    file.assign(response.body.begin(), response.body.end());
    return ByteSum(file.data(), file.size()) == request.checkSum;
}

bool CalibrationAgent::Post(const CalibrationTransfer& request, const std::vector<uint8_t>& file,
                            const std::string& tag, size_t chunkSize) const {
    HttpClient client(request.hostAddress, m_port, HttpClient::kHostTimeout);
    const std::string name = UploadName(request, tag);
    for (size_t offset = 0; offset < file.size(); offset += chunkSize) {
        const size_t length = std::min(chunkSize, file.size() - offset);
        const std::string target = "/upload?name=" + name + "&offset=" + std::to_string(offset) +
                                   "&checksum=" + std::to_string(ByteSum(file.data() + offset, length)) +
                                   "&fileDatalength=" + std::to_string(length);
        const std::string body(file.begin() + static_cast<long>(offset),
                               file.begin() + static_cast<long>(offset + length));
        if (client.Post(target, body).status != 200) return false;
    }
    return true;
}

}  // namespace camsim
