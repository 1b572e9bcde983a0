#include "DataServer.h"

#include <sys/socket.h>

#include <cerrno>
#include <stdexcept>

#include "Framing.h"
#include "SocketIo.h"

namespace camsim {
namespace {

// Short against the frame period: a pass waits this long for the host, then sends what is due.
constexpr std::chrono::milliseconds kServiceWait(5);
constexpr uint32_t kForeignType = 3;  // a data-frame type the host does not know

ColourResolution ResolutionOf(const ColourSettings& c) {
    if (c.width == 800 && c.height == 600) return ColourResolution::R800x600;
    if (c.width == 1600 && c.height == 1200) return ColourResolution::R1600x1200;
    return ColourResolution::R640x480;
}

// The dual-range (WDR) data modes, whose frames alternate between two depth ranges.
bool IsDualRange(uint8_t dataMode) { return dataMode == 9 || dataMode == 10 || dataMode == 15; }

}  // namespace

DataServer::DataServer(const std::string& ip, CommandHandler& handler, StreamSource source, EventSink events,
                       uint16_t port)
    : handler_(handler), events_(events), slot_(ip, port, "data", events), source_(std::move(source)) {}

DataServer::~DataServer() { Stop(); }

bool DataServer::Start() {
    if (thread_.joinable()) return true;
    if (!slot_.OpenListener()) return false;
    stop_ = false;
    thread_ = std::thread(&DataServer::Run, this);
    return true;
}

void DataServer::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    slot_.Drop("camera stopped");
}

void DataServer::SetScene(const Scene& scene) {
    std::lock_guard<std::mutex> lock(mutex_);
    source_.scene = scene;
}

void DataServer::InjectFault(DataFault fault, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int i = 0; i < count; ++i) faults_.push_back(fault);
}

void DataServer::Run() {
    while (!stop_) {
        if (slot_.Service(kServiceWait)) DrainHost();
        const CameraState state = handler_.State();
        const bool streaming = state.streamOn;
        if (streaming != wasStreaming_ && events_) events_(streaming ? "stream on" : "stream off");
        wasStreaming_ = streaming;
        const int due = FramesDue(state, std::chrono::steady_clock::now());
        for (int i = 0; i < due && slot_.Connection() >= 0 && !stop_; ++i) SendFrame(state);
    }
}

// The host sends nothing on this port; reading only notices that it went away.
void DataServer::DrainHost() {
    uint8_t sink[512];
    const ssize_t n = recv(slot_.Connection(), sink, sizeof sink, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        slot_.Drop("host closed it");
}

int DataServer::FramesDue(const CameraState& state, std::chrono::steady_clock::time_point now) {
    // Triggers count only while the stream is on in their own mode.
    const uint64_t software = state.softwareTriggers - seenSoftwareTriggers_;
    const uint64_t hardware = hardwareTriggers_.load() - seenHardwareTriggers_;
    seenSoftwareTriggers_ = state.softwareTriggers;
    seenHardwareTriggers_ += hardware;
    if (!state.streamOn || slot_.Connection() < 0) {
        nextFrame_ = {};
        return 0;
    }
    switch (state.workMode) {
        case kActiveMode: {
            if (state.frameRate <= 0) return 0;
            const auto period = std::chrono::microseconds(1000000 / state.frameRate);
            if (nextFrame_ == std::chrono::steady_clock::time_point{} || now - nextFrame_ > period)
                nextFrame_ = now;  // first frame at once; no burst after a stall
            if (now < nextFrame_) return 0;
            nextFrame_ += period;
            return 1;
        }
        case kHardwareTriggerMode: return static_cast<int>(hardware);
        case kSoftwareTriggerMode: return static_cast<int>(software);
        default: return 0;
    }
}

FrameParams DataServer::Params(const CameraState& state) {
    FrameParams p;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        p.scene = source_.scene;
        p.tofKind = source_.tofKind;
        p.colour = source_.colour;
    }
    p.dataMode = state.dataMode;
    p.depthRange = static_cast<uint8_t>(state.depthRange);
    if (IsDualRange(state.dataMode)) {
        // The two ranges of the dual-frequency setting alternate, range 1 first.
        p.depthRange = state.dualFreq[1];
        p.alternateDepthRange = state.dualFreq[2];
    }
    const auto exposure = state.exposure.find(0);  // range 0's exposure goes into the frames
    if (exposure != state.exposure.end()) p.exposureTime = exposure->second;
    p.colourResolution = ResolutionOf(state.colour);
    p.timestamp = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started_).count());
    p.frameCounter = frameCounter_;
    return p;
}

// Returns the type word of the frame to send.
uint32_t DataServer::ApplyFault(std::vector<uint8_t>& payload) {
    DataFault fault;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (faults_.empty()) return kDataFrameType;
        fault = faults_.front();
        faults_.pop_front();
    }
    switch (fault) {
        case DataFault::ForeignType: return kForeignType;
        case DataFault::OversizedLength: payload.resize(kMaxDataFramePayload + 1, 0); break;
        case DataFault::TruncatedRecord: payload.resize(payload.size() / 2); break;
        case DataFault::RandomPayload:
            for (uint8_t& b : payload) b = static_cast<uint8_t>(random_());
            break;
    }
    return kDataFrameType;
}

void DataServer::SendFrame(const CameraState& state) {
    try {
        builder_.Build(Params(state), payload_);
    } catch (const std::invalid_argument& e) {
        if (events_) events_(std::string("no frame: ") + e.what());
        return;
    }
    ++frameCounter_;
    const uint32_t type = ApplyFault(payload_);
    const std::vector<uint8_t> head = BuildDataFrameHead(static_cast<uint32_t>(payload_.size()), type);
    const std::chrono::milliseconds pause(chunkPauseMs_.load());
    if (!SendAll(slot_.Connection(), head.data(), head.size(), stop_, pause) ||
        !SendAll(slot_.Connection(), payload_.data(), payload_.size(), stop_, pause)) {
        slot_.Drop("frame not sent");
        return;
    }
    ++framesSent_;
}

}  // namespace camsim
