#include "CameraSim.h"

namespace camsim {
namespace {

// The address the camera announces as the host's: loopback tests face 127.0.0.1.
constexpr const char* kHostAddress = "127.0.0.1";

DiscoveryInfo Announcement(const CameraOptions& o) {
    DiscoveryInfo info;
    info.rgb = o.colour ? 1 : 0;
    info.ip = o.ip;
    info.deviceType = o.deviceType;
    info.serialNumber = o.serialNumber;
    info.peerIp = kHostAddress;
    info.alias = o.alias;
    return info;
}

}  // namespace

CameraState CameraSim::InitialState(const CameraOptions& o) {
    CameraState s;
    s.deviceSerial = o.serialNumber;
    s.sensorSerial = "TOF" + o.serialNumber;
    s.ipAddress = o.ip;
    s.depthRange = o.depthRange;
    s.factoryMode.rgbSwitch = o.colour ? 1 : 0;
    return s;
}

CameraSim::CameraSim(CameraOptions options)
    : m_options(std::move(options)),
      m_handler(InitialState(m_options)),
      m_calibration(m_handler),
      m_upgrade(m_handler, TransferAgent::Kind::Firmware, Hooks()),
      m_json(m_handler, TransferAgent::Kind::Json, Hooks()),
      m_commands(m_options.ip, m_handler, m_options.events),
      m_data(m_options.ip, m_handler, StreamSource{m_options.scene, m_options.record, m_options.colour},
             m_options.events) {
    if (m_options.announce) m_announcer = std::make_unique<Announcer>(Announcement(m_options), m_options.ip);
    m_handler.SetSetListener([this](uint8_t id, const std::vector<uint8_t>& payload) {
        m_calibration.OnSet(id, payload);
        m_upgrade.OnSet(id, payload);
        m_json.OnSet(id, payload);
    });
}

CameraSim::~CameraSim() { Stop(); }

CameraHooks CameraSim::Hooks() {
    return CameraHooks{[this](AnnouncedState state) { SetAnnouncedState(state); },
                       [this](bool on) { SetRebooting(on); }};
}

bool CameraSim::Start() {
    m_calibration.Start();
    m_upgrade.Start();
    m_json.Start();
    bool announcing = true;
    {
        std::lock_guard<std::mutex> lock(m_announceMutex);
        m_running = true;
        if (m_announcer && m_announcing) announcing = m_announcer->Start();
    }
    if (!m_commands.Start() || !m_data.Start() || !announcing) {
        Stop();
        return false;
    }
    return true;
}

void CameraSim::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_announceMutex);
        m_running = false;
        if (m_announcer) m_announcer->Stop();
    }
    m_data.Stop();
    m_commands.Stop();
    m_json.Stop();
    m_upgrade.Stop();
    m_calibration.Stop();
}

void CameraSim::CloseConnections() {
    m_commands.CloseConnection();
    m_data.CloseConnection();
}

void CameraSim::RefuseReconnects(bool on) {
    std::lock_guard<std::mutex> lock(m_refusalMutex);
    m_refuseKnob = on;
    ApplyRefusal();
}

void CameraSim::RefuseCommandConnections(bool on) {
    std::lock_guard<std::mutex> lock(m_refusalMutex);
    m_refuseCommandKnob = on;
    ApplyRefusal();
}

void CameraSim::RefuseDataConnections(bool on) {
    std::lock_guard<std::mutex> lock(m_refusalMutex);
    m_refuseDataKnob = on;
    ApplyRefusal();
}

void CameraSim::SetRebooting(bool on) {
    std::lock_guard<std::mutex> lock(m_refusalMutex);
    m_rebooting = on;
    if (on) CloseConnections();
    ApplyRefusal();
}

void CameraSim::ApplyRefusal() {
    const bool refuse = m_refuseKnob || m_rebooting;
    m_commands.RefuseConnections(refuse || m_refuseCommandKnob);
    m_data.RefuseConnections(refuse || m_refuseDataKnob);
}

void CameraSim::SetSlowSending(std::chrono::milliseconds pause) {
    SetReplyDelay(pause);
    SetDataChunkPause(pause);
}

void CameraSim::SetFetchPause(std::chrono::milliseconds pause) {
    m_upgrade.SetFetchPause(pause);
    m_json.SetFetchPause(pause);
}

void CameraSim::SetAnnouncing(bool on) {
    std::lock_guard<std::mutex> lock(m_announceMutex);
    m_announcing = on;
    if (!m_announcer || !m_running) return;
    if (on)
        m_announcer->Start();  // false when it runs already
    else
        m_announcer->Stop();
}

void CameraSim::SetAnnouncedState(AnnouncedState state) {
    if (m_announcer) m_announcer->SetState(state);
}

}  // namespace camsim
