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
    : m_handler(handler), m_events(events), m_slot(ip, port, "data", events), m_source(std::move(source)) {}

DataServer::~DataServer() { Stop(); }

bool DataServer::Start() {
    if (m_thread.joinable()) return true;
    if (!m_slot.OpenListener()) return false;
    m_stop = false;
    m_thread = std::thread(&DataServer::Run, this);
    return true;
}

void DataServer::Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    m_slot.Drop("camera stopped");
}

void DataServer::SetScene(const Scene& scene) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_source.scene = scene;
}

void DataServer::InjectFault(DataFault fault, int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = 0; i < count; ++i) m_faults.push_back(fault);
}

void DataServer::PauseNextFrame(std::chrono::milliseconds pause, size_t offset) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pause = pause;
    m_pauseOffset = offset;
}

void DataServer::SendUnframed(size_t count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unframed += count;
}

void DataServer::SendLoneHead(uint32_t type, uint32_t length) {
    const std::vector<uint8_t> head = BuildDataFrameHead(length, type);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_loneHeads.insert(m_loneHeads.end(), head.begin(), head.end());
}

std::vector<uint8_t> DataServer::TakeLeadIn(std::optional<size_t>& pauseOffset, std::chrono::milliseconds& pause) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<uint8_t> leadIn;
    leadIn.swap(m_loneHeads);
    for (; m_unframed > 0; --m_unframed) leadIn.push_back(static_cast<uint8_t>(m_random()));
    pauseOffset = m_pauseOffset;
    pause = m_pause;
    m_pauseOffset.reset();
    return leadIn;
}

// Head and payload, in pieces when the camera is slow, with the one pause when one is due.
bool DataServer::SendFrameBytes(const std::vector<uint8_t>& head, std::optional<size_t> pauseOffset,
                                std::chrono::milliseconds pause) {
    const std::chrono::milliseconds chunkPause(m_chunkPauseMs.load());
    const size_t split = pauseOffset.value_or(0);
    const struct {
        const uint8_t* data;
        size_t size;
    } parts[] = {{head.data(), head.size()}, {m_payload.data(), m_payload.size()}};
    size_t at = 0;  // offset of the current part in the frame
    for (const auto& part : parts) {
        size_t first = 0;
        if (pauseOffset && split >= at && split < at + part.size) {
            first = split - at;
            if (!SendAll(m_slot.Connection(), part.data, first, m_stop, chunkPause)) return false;
            if (m_events) m_events("pause in frame at byte " + std::to_string(split));
            SleepUnlessStopped(pause, m_stop);
        }
        if (!SendAll(m_slot.Connection(), part.data + first, part.size - first, m_stop, chunkPause)) return false;
        at += part.size;
    }
    if (pauseOffset && split >= at) SleepUnlessStopped(pause, m_stop);  // an offset past the frame: after it
    return true;
}

void DataServer::Run() {
    while (!m_stop) {
        if (m_slot.Service(kServiceWait)) DrainHost();
        const CameraState state = m_handler.State();
        const bool streaming = state.streamOn;
        if (streaming != m_wasStreaming && m_events) m_events(streaming ? "stream on" : "stream off");
        m_wasStreaming = streaming;
        const int due = FramesDue(state, std::chrono::steady_clock::now());
        for (int i = 0; i < due && m_slot.Connection() >= 0 && !m_stop; ++i) SendFrame(state);
    }
}

// The host sends nothing on this port; reading only notices that it went away.
void DataServer::DrainHost() {
    uint8_t sink[512];
    const ssize_t n = recv(m_slot.Connection(), sink, sizeof sink, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) m_slot.Drop("host closed it");
}

int DataServer::FramesDue(const CameraState& state, std::chrono::steady_clock::time_point now) {
    // Triggers count only while the stream is on in their own mode.
    const uint64_t software = state.softwareTriggers - m_seenSoftwareTriggers;
    const uint64_t hardware = m_hardwareTriggers.load() - m_seenHardwareTriggers;
    m_seenSoftwareTriggers = state.softwareTriggers;
    m_seenHardwareTriggers += hardware;
    if (!state.streamOn || m_slot.Connection() < 0) {
        m_nextFrame = {};
        return 0;
    }
    switch (state.workMode) {
        case kActiveMode: {
            if (state.frameRate <= 0) return 0;
            const auto period = std::chrono::microseconds(1000000 / state.frameRate);
            if (m_nextFrame == std::chrono::steady_clock::time_point{} || now - m_nextFrame > period)
                m_nextFrame = now;  // first frame at once; no burst after a stall
            if (now < m_nextFrame) return 0;
            m_nextFrame += period;
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
        std::lock_guard<std::mutex> lock(m_mutex);
        p.scene = m_source.scene;
        p.tofKind = m_source.tofKind;
        p.colour = m_source.colour;
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
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - m_started).count());
    p.frameCounter = m_frameCounter;
    return p;
}

// Returns the type word of the frame to send.
uint32_t DataServer::ApplyFault(std::vector<uint8_t>& payload) {
    DataFault fault;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_faults.empty()) return kDataFrameType;
        fault = m_faults.front();
        m_faults.pop_front();
    }
    switch (fault) {
        case DataFault::ForeignType: return kForeignType;
        case DataFault::OversizedLength: payload.resize(kMaxDataFramePayload + 1, 0); break;
        case DataFault::TruncatedRecord: payload.resize(payload.size() / 2); break;
        case DataFault::RandomPayload:
            for (uint8_t& b : payload) b = static_cast<uint8_t>(m_random());
            break;
    }
    return kDataFrameType;
}

void DataServer::SendFrame(const CameraState& state) {
    try {
        m_builder.Build(Params(state), m_payload);
    } catch (const std::invalid_argument& e) {
        if (m_events) m_events(std::string("no frame: ") + e.what());
        return;
    }
    ++m_frameCounter;
    const uint32_t type = ApplyFault(m_payload);
    const std::vector<uint8_t> head = BuildDataFrameHead(static_cast<uint32_t>(m_payload.size()), type);
    std::optional<size_t> pauseOffset;
    std::chrono::milliseconds pause{0};
    const std::vector<uint8_t> leadIn = TakeLeadIn(pauseOffset, pause);
    if (!SendAll(m_slot.Connection(), leadIn.data(), leadIn.size(), m_stop) ||
        !SendFrameBytes(head, pauseOffset, pause)) {
        m_slot.Drop("frame not sent");
        return;
    }
    ++m_framesSent;
}

}  // namespace camsim
