#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "BaseDevice.h"
#include "ScriptedIO.h"

namespace managertest {

// One fake camera as the test sees it: what its device was asked, and how it answers.
// Outlives the device, which the manager owns.
struct FakeCamera {
    std::atomic<int> openResult{0};
    std::atomic<int> heartbeatResult{0};
    std::atomic<int> destroyed{0};
    // Runs inside the device's Close, as a device's worker would while it is joined.
    std::function<void()> onClose;
    // Run inside Open and HeartbeatCheck, where a real device waits for its camera.
    std::function<void()> onOpen;
    std::function<void()> onHeartbeat;
    // Runs inside StartUpgradeFirmWare, while the device hands itself over as the kit's do.
    std::function<void()> onUpgrade;
    // The device's transport, while the device lives: a test plays its receive thread.
    std::atomic<testsupport::ScriptedIO*> io{nullptr};

    void Record(const std::string& call);
    std::vector<std::string> Calls() const;
    int Count(const std::string& call) const;

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_calls;
};

// A device that answers like the kit's devices: a second Open without a Close is refused.
class FakeDevice : public BaseDevice {
public:
    FakeDevice(const DeviceInfo& info, std::shared_ptr<FakeCamera> camera);
    ~FakeDevice() override;

    int Open() override;
    int Close() override;
    int HeartbeatCheck() override;
    int OnMessage(MessageType message) override;
    int StartUpgradeFirmWare(const char* imgPath) override;

private:
    FakeDevice(const DeviceInfo& info, std::shared_ptr<FakeCamera> camera, std::unique_ptr<testsupport::ScriptedIO> io);

    std::shared_ptr<FakeCamera> m_camera;
    std::atomic<bool> m_opened{false};
};

}  // namespace managertest
