// The states in which a shut-down or a close meets a camera that keeps the kit waiting: a slow
// fetch from the file server, an open of a camera that never answers, heartbeats that are out,
// a transfer under way. Shared by the end-to-end test and the benchmark; no test macros here.
#pragma once

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "CameraSim.h"
#include "Eventually.h"
#include "FirmwareImageFile.h"
#include "TempDir.h"
#include "Torvane_api.h"

namespace apie2e {

enum class Stall { None, SlowFetch, SilentOpen, HeartbeatsOut, Transfer };

struct StallCase {
    const char* name;
    Stall stall;
};

// For test names' parameter lines.
inline void PrintTo(const StallCase& c, std::ostream* out) { *out << c.name; }

inline const StallCase kStallCases[] = {
    {"Idle", Stall::None},
    {"SlowFetch", Stall::SlowFetch},
    {"SilentOpen", Stall::SilentOpen},
    {"HeartbeatsOut", Stall::HeartbeatsOut},
    {"Transfer", Stall::Transfer},
};

// A kit with a streaming camera on 127.0.0.2 (and, for some states, more on 127.0.0.3 and up),
// brought into one stalled state. Undoes everything it did when it goes.
class StallRig {
public:
    static constexpr int kFrozenCameras = 4;
    static constexpr uint8_t kHeartbeatId = 0x9C;
    // The server's reply lasts as long as the slow camera takes to fetch it (about 20 s).
    static constexpr size_t kSlowFileBytes = 4 << 20;
    static constexpr std::chrono::milliseconds kSlowFetchPause{20};

    StallRig() : m_cwd(m_work.Path()) { mkdir(m_work.File("Config").c_str(), 0755); }
    ~StallRig() {
        if (m_initialised) QL_Shutdown();
        if (m_open.joinable()) m_open.join();
        for (auto& sim : m_sims) sim->Stop();
    }
    StallRig(const StallRig&) = delete;
    StallRig& operator=(const StallRig&) = delete;

    // False, with `failure` saying why, when the state was not reached.
    bool Enter(Stall stall) {
        if (!StartCameras(stall == Stall::HeartbeatsOut ? 1 + kFrozenCameras : stall == Stall::SilentOpen ? 2 : 1)) {
            return false;
        }
        if (!Open(0)) return false;
        switch (stall) {
            case Stall::None: return true;
            case Stall::SlowFetch: return EnterSlowFetch();
            case Stall::SilentOpen: return EnterSilentOpen();
            case Stall::HeartbeatsOut: return EnterHeartbeatsOut();
            case Stall::Transfer: return EnterTransfer();
        }
        return false;
    }

    // The handle that a close in this state closes: the camera itself where the state is its
    // own, else the streaming camera beside it.
    QlDeviceHandle& Target(Stall stall) { return stall == Stall::HeartbeatsOut ? m_handles[1] : m_handles[0]; }

    int Shutdown() {
        m_initialised = false;
        const int result = QL_Shutdown();
        if (m_open.joinable()) m_open.join();
        for (QlDeviceHandle& handle : m_handles) handle = nullptr;  // gone with the kit
        return result;
    }

    std::string failure;

private:
    static std::string CameraIP(int index) { return "127.0.0." + std::to_string(index + 2); }

    static void OnReport(int status, int params, void* self) {
        auto* rig = static_cast<StallRig*>(self);
        rig->m_lastReport = status * 1000 + params;
    }

    template <typename Condition>
    static bool Within(std::chrono::milliseconds bound, Condition condition) {
        return testsupport::Eventually(condition, bound);
    }

    bool Fail(const std::string& why) {
        failure = why;
        return false;
    }

    bool StartCameras(int count) {
        for (int i = 0; i < count; ++i) {
            camsim::CameraOptions options;
            options.ip = CameraIP(i);
            options.deviceType = 0x11;
            options.serialNumber = "STALL" + std::to_string(i);
            m_sims.push_back(std::make_unique<camsim::CameraSim>(options));
            if (!m_sims.back()->Start()) return Fail("camera " + options.ip + " did not start");
        }
        if (QL_InitializeWithLogPath(m_work.Path().c_str()) != 0) return Fail("the kit did not start");
        m_initialised = true;
        m_handles.assign(static_cast<size_t>(count), nullptr);
        const bool listed = Within(std::chrono::seconds(10), [count] {
            uint32_t listedCount = 0;
            return QL_GetDeviceCount(&listedCount) == 0 && listedCount == static_cast<uint32_t>(count);
        });
        return listed || Fail("the cameras were not listed");
    }

    bool Open(int index) {
        return QL_OpenDeviceByIP(CameraIP(index).c_str(), &m_handles[static_cast<size_t>(index)]) == 0 ||
               Fail("open of " + CameraIP(index) + " failed");
    }

    bool Reported(int status, int params) {
        return Within(std::chrono::seconds(20), [&] { return m_lastReport == status * 1000 + params; });
    }

    bool EnterSlowFetch() {
        if (QL_SetUpgradeJsonStatusCallback(m_handles[0], &OnReport, this) != 0 || !Reported(1, 0)) {
            return Fail("the camera did not wait in JSON mode");
        }
        const std::string path = m_work.File("params.json");
        testsupport::WriteFile(path, "{" + std::string(kSlowFileBytes, ' ') + "}");
        m_sims[0]->SetFetchPause(kSlowFetchPause);
        if (QL_SetProperty(m_handles[0], "Py_JsonPath", path.c_str(), static_cast<int>(path.size() + 1)) != 0) {
            return Fail("the JSON path was not taken");
        }
        // The camera is well into its fetch, which takes many seconds at its pace.
        const bool asked =
            Within(std::chrono::seconds(5), [this] { return m_sims[0]->State().json.fetchRequests > 0; });
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        if (!asked || !m_sims[0]->State().json.received.empty()) return Fail("the camera's fetch is not under way");
        return true;
    }

    bool EnterSilentOpen() {
        m_sims[1]->StallHeartbeat(true);
        m_open = std::thread([this] { QL_OpenDeviceByIP(CameraIP(1).c_str(), &m_handles[1]); });
        // Connected and waiting for its first reply.
        const bool asked = Within(std::chrono::seconds(5), [this] { return !m_sims[1]->CommandLog().empty(); });
        return asked || Fail("the silent camera was never asked");
    }

    bool EnterHeartbeatsOut() {
        for (int i = 1; i <= kFrozenCameras; ++i) {
            if (!Open(i)) return false;
        }
        for (int i = 1; i <= kFrozenCameras; ++i) {
            m_sims[static_cast<size_t>(i)]->StallHeartbeat(true);
            m_sims[static_cast<size_t>(i)]->ClearCommandLog();
        }
        const bool out = Within(std::chrono::seconds(3), [this] {
            for (int i = 1; i <= kFrozenCameras; ++i) {
                for (const camsim::LoggedCommand& c : m_sims[static_cast<size_t>(i)]->CommandLog()) {
                    if (c.id == kHeartbeatId) return true;
                }
            }
            return false;
        });
        return out || Fail("no heartbeat went out");
    }

    bool EnterTransfer() {
        // The camera never reports ready: the controller would poll for a minute.
        m_sims[0]->SetUpgradeFault(camsim::TransferFault::NeverReady);
        const std::string path = m_work.File("Firmware.img");
        testsupport::WriteFile(path, ImageForTheCamera());
        if (QL_SetUpgradeStatusCallback(m_handles[0], &OnReport, this) != 0 ||
            QL_StartUpgradeFirmWare(m_handles[0], path.c_str()) != 0) {
            return Fail("the upgrade did not start");
        }
        return Reported(2, 1) || Fail("the upgrade did not reach its check");
    }

    testsupport::TempDir m_work;
    testsupport::ScopedWorkingDirectory m_cwd;
    std::vector<std::unique_ptr<camsim::CameraSim>> m_sims;
    std::vector<QlDeviceHandle> m_handles;
    std::thread m_open;
    std::atomic<int> m_lastReport{-1};
    bool m_initialised = false;
};

}  // namespace apie2e
