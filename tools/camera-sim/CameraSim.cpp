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
    : options_(std::move(options)),
      handler_(InitialState(options_)),
      calibration_(handler_),
      upgrade_(handler_, TransferAgent::Kind::Firmware, Hooks()),
      json_(handler_, TransferAgent::Kind::Json, Hooks()),
      commands_(options_.ip, handler_, options_.events),
      data_(options_.ip, handler_, StreamSource{options_.scene, options_.record, options_.colour},
             options_.events) {
    if (options_.announce)
        announcer_ = std::make_unique<Announcer>(Announcement(options_), options_.ip);
    handler_.SetSetListener(
        [this](uint8_t id, const std::vector<uint8_t>& payload) {
            calibration_.OnSet(id, payload);
            upgrade_.OnSet(id, payload);
            json_.OnSet(id, payload);
        });
}

CameraSim::~CameraSim() { Stop(); }

CameraHooks CameraSim::Hooks() {
    return CameraHooks{[this](AnnouncedState state) { SetAnnouncedState(state); },
                       [this](bool on) { SetRebooting(on); }};
}

bool CameraSim::Start() {
    calibration_.Start();
    upgrade_.Start();
    json_.Start();
    bool announcing = true;
    {
        std::lock_guard<std::mutex> lock(announceMutex_);
        running_ = true;
        if (announcer_ && announcing_) announcing = announcer_->Start();
    }
    if (!commands_.Start() || !data_.Start() || !announcing) {
        Stop();
        return false;
    }
    return true;
}

void CameraSim::Stop() {
    {
        std::lock_guard<std::mutex> lock(announceMutex_);
        running_ = false;
        if (announcer_) announcer_->Stop();
    }
    data_.Stop();
    commands_.Stop();
    json_.Stop();
    upgrade_.Stop();
    calibration_.Stop();
}

void CameraSim::CloseConnections() {
    commands_.CloseConnection();
    data_.CloseConnection();
}

void CameraSim::RefuseReconnects(bool on) {
    std::lock_guard<std::mutex> lock(refusalMutex_);
    refuseKnob_ = on;
    ApplyRefusal();
}

void CameraSim::RefuseCommandConnections(bool on) {
    std::lock_guard<std::mutex> lock(refusalMutex_);
    refuseCommandKnob_ = on;
    ApplyRefusal();
}

void CameraSim::RefuseDataConnections(bool on) {
    std::lock_guard<std::mutex> lock(refusalMutex_);
    refuseDataKnob_ = on;
    ApplyRefusal();
}

void CameraSim::SetRebooting(bool on) {
    std::lock_guard<std::mutex> lock(refusalMutex_);
    rebooting_ = on;
    if (on) CloseConnections();
    ApplyRefusal();
}

void CameraSim::ApplyRefusal() {
    const bool refuse = refuseKnob_ || rebooting_;
    commands_.RefuseConnections(refuse || refuseCommandKnob_);
    data_.RefuseConnections(refuse || refuseDataKnob_);
}

void CameraSim::SetSlowSending(std::chrono::milliseconds pause) {
    SetReplyDelay(pause);
    SetDataChunkPause(pause);
}

void CameraSim::SetAnnouncing(bool on) {
    std::lock_guard<std::mutex> lock(announceMutex_);
    announcing_ = on;
    if (!announcer_ || !running_) return;
    if (on)
        announcer_->Start();  // false when it runs already
    else
        announcer_->Stop();
}

void CameraSim::SetAnnouncedState(AnnouncedState state) {
    if (announcer_) announcer_->SetState(state);
}

}  // namespace camsim
