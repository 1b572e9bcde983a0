// How long the camera link's exchanges take through the exported functions against simulated
// cameras on loopback: confirmed sets and gets, opens, the settings file, the file transfers, the
// report of a killed camera, and shut-downs and closes in the states where a camera keeps the kit
// waiting. The camera's own pauses (before a frame-rate set, after a work-mode change) are given
// apart. Run inside tests/support/netns-run:
//   netns-run build/bin/bench_link_timing [repeats, default 20] [section: commands, opens,
//   settings, transfers, killed, stalls; default all]
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CameraSim.h"
#include "FirmwareImageFile.h"
#include "StallScenes.h"
#include "TempDir.h"
#include "Torvane_api.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The camera's own pauses, kept on purpose: none of the link's waiting.
constexpr double kFrameRatePauseMs = 500;   // before a frame-rate set goes out
constexpr double kWorkModeSettleMs = 1000;  // after a confirmed work-mode change

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Timed(const std::function<void()>& call) {
    const auto start = Clock::now();
    call();
    return MsSince(start);
}

void Row(const char* what, double ms, const char* note = "") { std::printf("%-52s %10.2f  %s\n", what, ms, note); }

template <typename Condition>
bool Within(Clock::duration bound, Condition condition) {
    const auto end = Clock::now() + bound;
    while (!condition()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

camsim::CameraOptions Camera(const std::string& ip, bool colour) {
    camsim::CameraOptions options;
    options.ip = ip;
    options.deviceType = colour ? 0x12 : 0x11;
    options.colour = colour;
    options.serialNumber = std::string(colour ? "RGBD" : "TOF") + ip.substr(ip.rfind('.') + 1);
    return options;
}

// An initialised kit that lists a ToF camera on 127.0.0.2 and a colour one on 127.0.0.3.
class Kit {
public:
    Kit() : m_cwd(m_work.Path()) {
        mkdir(m_work.File("Config").c_str(), 0755);
        for (bool colour : {false, true}) {
            m_sims.push_back(std::make_unique<camsim::CameraSim>(Camera(colour ? "127.0.0.3" : "127.0.0.2", colour)));
            m_ok = m_ok && m_sims.back()->Start();
        }
        m_ok = m_ok && QL_InitializeWithLogPath(m_work.Path().c_str()) == 0 && BothListed();
    }
    // A closed camera is listed again once it next announces itself.
    static bool BothListed() {
        return Within(10s, [] {
            uint32_t count = 0;
            return QL_GetDeviceCount(&count) == 0 && count == 2;
        });
    }
    ~Kit() {
        QL_Shutdown();
        for (auto& sim : m_sims) sim->Stop();
    }
    bool Ok() const { return m_ok; }
    camsim::CameraSim& Sim(int i) { return *m_sims[static_cast<size_t>(i)]; }
    std::string File(const std::string& name) const { return m_work.File(name); }

    static void OnReport(int status, int params, void* self) {
        static_cast<Kit*>(self)->m_lastReport = status * 1000 + params;
    }
    bool Reported(int status, int params) {
        return Within(60s, [&] { return m_lastReport == status * 1000 + params; });
    }

private:
    testsupport::TempDir m_work;
    testsupport::ScopedWorkingDirectory m_cwd;
    std::vector<std::unique_ptr<camsim::CameraSim>> m_sims;
    std::atomic<int> m_lastReport{-1};
    bool m_ok = true;
};

void Commands(int repeats) {
    Kit kit;
    QlDeviceHandle handle = nullptr;
    if (!kit.Ok() || QL_OpenDeviceByIP("127.0.0.2", &handle) != 0) {
        std::printf("commands: the camera did not open\n");
        return;
    }
    std::vector<double> sets, gets, frameRates, workModes;
    for (int i = 0; i < repeats; ++i) {
        const int range = i % 2;
        sets.push_back(Timed([&] { QL_SetProperty(handle, "Py_DepthRange", &range, sizeof(range)); }));
        int32_t fps = 0;
        gets.push_back(Timed([&] { QL_GetFrameRate(handle, &fps); }));
    }
    for (int i = 0; i < 3; ++i) {
        frameRates.push_back(Timed([&] { QL_SetFrameRate(handle, 15 + i % 2); }) - kFrameRatePauseMs);
        workModes.push_back(Timed([&] { QL_SetWorkMode(handle, i % 2); }) - kWorkModeSettleMs);
    }
    Row("QL_SetProperty(\"Py_DepthRange\"), confirmed, median", Median(sets));
    Row("QL_GetFrameRate, median", Median(gets));
    Row("QL_SetFrameRate, median, less its 500 ms pause", Median(frameRates));
    Row("QL_SetWorkMode, median, less its 1 s settle", Median(workModes));
    QL_CloseDevice(&handle);
}

void Opens(int repeats) {
    Kit kit;
    if (!kit.Ok()) return;
    for (const char* ip : {"127.0.0.2", "127.0.0.3"}) {
        std::vector<double> opens;
        for (int i = 0; i < repeats; ++i) {
            QlDeviceHandle handle = nullptr;
            int status = 0;
            Kit::BothListed();
            opens.push_back(Timed([&] { status = QL_OpenDeviceByIP(ip, &handle); }));
            if (status != 0) std::printf("open of %s: %d\n", ip, status);
            QL_CloseDevice(&handle);
        }
        Row(ip[8] == '2' ? "QL_OpenDeviceByIP, ToF only, median" : "QL_OpenDeviceByIP, ToF and colour, median",
            Median(opens));
    }
}

void SettingsFile() {
    Kit kit;
    QlDeviceHandle handle = nullptr;
    if (!kit.Ok() || QL_OpenDeviceByIP("127.0.0.3", &handle) != 0) return;
    // Its frame rate waits 500 ms before the set, its work mode 1 s after it.
    const double pauses = kFrameRatePauseMs + kWorkModeSettleMs;
    std::vector<double> runs;
    for (int i = 0; i < 3; ++i) runs.push_back(Timed([&] { QL_SetParamsByJson(handle, SETTINGS_FILE); }));
    char note[64];
    std::snprintf(note, sizeof(note), "(+ %.0f ms of the camera's pauses)", pauses);
    Row("QL_SetParamsByJson(examples/settings.json), median", Median(runs) - pauses, note);
    QL_CloseDevice(&handle);
}

void Transfers() {
    {
        Kit kit;
        QlDeviceHandle handle = nullptr;
        if (!kit.Ok() || QL_OpenDeviceByIP("127.0.0.2", &handle) != 0) return;
        kit.Sim(0).UpdateState([](camsim::CameraState& s) { s.jsonFile = "{\"range\":2}\n"; });
        const std::string path = kit.File("params.json");
        testsupport::WriteFile(path, "{\"gain\":1}\n" + std::string(3000, ' '));
        const auto start = Clock::now();
        QL_SetUpgradeJsonStatusCallback(handle, &Kit::OnReport, &kit);
        const bool posted = kit.Reported(1, 0);
        const double postMs = MsSince(start);
        const auto sent = Clock::now();
        QL_SetProperty(handle, "Py_JsonPath", path.c_str(), static_cast<int>(path.size() + 1));
        const bool done = posted && kit.Reported(6, 1);
        Row("JSON mode until the camera's file is in, (1, 0)", postMs, posted ? "" : "(not reached)");
        Row("JSON file sent until (6, 1)", MsSince(sent), done ? "" : "(not reached)");
        QL_CloseDevice(&handle);
    }
    {
        Kit kit;
        QlDeviceHandle handle = nullptr;
        if (!kit.Ok() || QL_OpenDeviceByIP("127.0.0.2", &handle) != 0) return;
        const std::string path = kit.File("Firmware.img");
        testsupport::WriteFile(path, apie2e::ImageForTheCamera((4 << 20) - 512));
        QL_SetUpgradeStatusCallback(handle, &Kit::OnReport, &kit);
        const auto start = Clock::now();
        const bool started = QL_StartUpgradeFirmWare(handle, path.c_str()) == 0;
        const bool done = started && kit.Reported(8, 1);
        Row("4 MiB firmware upgrade until (8, 1)", MsSince(start), done ? "" : "(not reached)");
        QL_CloseDevice(&handle);
    }
}

std::atomic<int64_t> g_lostAt{0};

void OnHotPlug(const QlDeviceInfo*, int message, void*) {
    if (message == 1) g_lostAt = Clock::now().time_since_epoch().count();
}

void KilledCamera(int repeats) {
    std::vector<double> reports;
    for (int i = 0; i < repeats; ++i) {
        Kit kit;
        QlDeviceHandle handle = nullptr;
        if (!kit.Ok() || QL_OpenDeviceByIP("127.0.0.2", &handle) != 0) break;
        FrameReady ready = 0;
        QL_GetFrameReady(handle, 2000, &ready);
        QL_SetHotPlugStatusCallback(&OnHotPlug, nullptr);
        g_lostAt = 0;
        // Any moment of the manager's second.
        std::this_thread::sleep_for(std::chrono::milliseconds(100 + 170 * i % 900));
        const auto killed = Clock::now();
        kit.Sim(0).RefuseReconnects(true);
        kit.Sim(0).CloseConnections();
        if (!Within(5s, [] { return g_lostAt != 0; })) continue;
        reports.push_back(
            std::chrono::duration<double, std::milli>(Clock::duration(g_lostAt.load()) - killed.time_since_epoch())
                .count());
        QL_CloseDevice(&handle);
    }
    if (reports.empty()) return;
    Row("killed camera until its loss is reported, median", Median(reports));
    Row("killed camera until its loss is reported, slowest", *std::max_element(reports.begin(), reports.end()));
}

void Stalls() {
    for (const apie2e::StallCase& c : apie2e::kStallCases) {
        double shutdownMs = -1, closeMs = -1;
        {
            apie2e::StallRig rig;
            if (rig.Enter(c.stall)) {
                shutdownMs = Timed([&] { rig.Shutdown(); });
            } else {
                std::printf("%s: %s\n", c.name, rig.failure.c_str());
            }
        }
        {
            apie2e::StallRig rig;
            if (rig.Enter(c.stall)) {
                closeMs = Timed([&] { QL_CloseDevice(&rig.Target(c.stall)); });
            } else {
                std::printf("%s: %s\n", c.name, rig.failure.c_str());
            }
        }
        const std::string name = std::string("QL_Shutdown, ") + c.name;
        Row(name.c_str(), shutdownMs);
        const std::string close = std::string("QL_CloseDevice, ") + c.name;
        Row(close.c_str(), closeMs);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::string only = argc > 2 ? argv[2] : "";
    const auto run = [&](const char* section, const std::function<void()>& body) {
        if (only.empty() || only == section) body();
    };
    std::printf("%-52s %10s\n", "exchange", "ms");
    run("commands", [&] { Commands(repeats); });
    run("opens", [] { Opens(5); });
    run("settings", [] { SettingsFile(); });
    run("transfers", [] { Transfers(); });
    run("killed", [] { KilledCamera(7); });
    run("stalls", [] { Stalls(); });
    return 0;
}
