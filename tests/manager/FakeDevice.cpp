#include "FakeDevice.h"

#include <algorithm>

namespace managertest {

void FakeCamera::Record(const std::string& call) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_calls.push_back(call);
}

std::vector<std::string> FakeCamera::Calls() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_calls;
}

int FakeCamera::Count(const std::string& call) const {
    const auto calls = Calls();
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

FakeDevice::FakeDevice(const DeviceInfo& info, std::shared_ptr<FakeCamera> camera)
    : FakeDevice(info, std::move(camera), std::make_unique<testsupport::ScriptedIO>()) {}

FakeDevice::FakeDevice(const DeviceInfo& info, std::shared_ptr<FakeCamera> camera,
                       std::unique_ptr<testsupport::ScriptedIO> io)
    : BaseDevice(info,
                 [&] {
                     camera->io = io.get();
                     return std::move(io);
                 }()),
      m_camera(std::move(camera)) {}

FakeDevice::~FakeDevice() {
    m_camera->io = nullptr;
    ++m_camera->destroyed;
}

int FakeDevice::Open() {
    m_camera->Record("Open");
    if (m_camera->onOpen) m_camera->onOpen();
    if (m_opened) return -103;
    const int ret = m_camera->openResult;
    m_opened = ret == 0;
    return ret;
}

int FakeDevice::Close() {
    m_camera->Record("Close");
    if (m_camera->onClose) m_camera->onClose();
    m_opened = false;
    return 0;
}

int FakeDevice::HeartbeatCheck() {
    m_camera->Record("HeartbeatCheck");
    if (m_camera->onHeartbeat) m_camera->onHeartbeat();
    return m_camera->heartbeatResult;
}

int FakeDevice::OnMessage(MessageType message) {
    m_camera->Record("OnMessage:" + std::to_string(message));
    return 0;
}

int FakeDevice::StartUpgradeFirmWare(const char*) {
    const HandOver handingOver(*this);
    m_camera->Record("StartUpgradeFirmWare");
    if (m_camera->onUpgrade) m_camera->onUpgrade();
    Close();
    return -19;
}

}  // namespace managertest
