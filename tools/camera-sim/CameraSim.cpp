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
    s.factoryMode.rgbSwitch = o.colour ? 1 : 0;
    return s;
}

CameraSim::CameraSim(CameraOptions options)
    : options_(std::move(options)),
      handler_(InitialState(options_)),
      calibration_(handler_),
      commands_(options_.ip, handler_, options_.events),
      data_(options_.ip, handler_, StreamSource{options_.scene, options_.record, options_.colour}, options_.events) {
    if (options_.announce)
        announcer_ = std::make_unique<Announcer>(Announcement(options_), options_.ip);
    handler_.SetSetListener(
        [this](uint8_t id, const std::vector<uint8_t>& payload) { calibration_.OnSet(id, payload); });
}

CameraSim::~CameraSim() { Stop(); }

bool CameraSim::Start() {
    calibration_.Start();
    if (!commands_.Start() || !data_.Start() || (announcer_ && !announcer_->Start())) {
        Stop();
        return false;
    }
    return true;
}

void CameraSim::Stop() {
    if (announcer_) announcer_->Stop();
    data_.Stop();
    commands_.Stop();
    calibration_.Stop();
}

void CameraSim::CloseConnections() {
    commands_.CloseConnection();
    data_.CloseConnection();
}

void CameraSim::RefuseReconnects(bool on) {
    commands_.RefuseConnections(on);
    data_.RefuseConnections(on);
}

void CameraSim::SetSlowSending(std::chrono::milliseconds pause) {
    commands_.SetReplyDelay(pause);
    data_.SetChunkPause(pause);
}

void CameraSim::SetAnnouncedState(AnnouncedState state) {
    if (announcer_) announcer_->SetState(state);
}

}  // namespace camsim
