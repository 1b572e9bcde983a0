// How long the list, open, close and shut-down calls take while opened cameras are frozen
// (their processes stopped mid-stream), the largest gap between the frames of a healthy
// camera meanwhile, and how long until every frozen camera is reported lost. Run inside tests/support/netns-run:
//   netns-run build/bench/frozen/bench_frozen_cameras [frozen cameras, default 4]
// Each camera is a child process on its own 127.0.0.N: 127.0.0.2 streams throughout,
// 127.0.0.3 is opened and closed while the others are frozen, 127.0.0.4 and up are frozen.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "CameraSim.h"
#include "Torvane_api.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string CameraIP(int index) { return "127.0.0." + std::to_string(index + 2); }

// A simulated camera in a process of its own, so that stopping it freezes both its ports.
pid_t StartCamera(int index) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    camsim::CameraOptions options;
    options.ip = CameraIP(index);
    options.serialNumber = "FROZEN" + std::to_string(index);
    camsim::CameraSim camera(options);
    if (!camera.Start()) _exit(1);
    for (;;) pause();
}

// The largest of repeated calls over `window`, in ms.
double Slowest(Clock::duration window, const std::function<void()>& call) {
    double slowest = 0;
    const auto end = Clock::now() + window;
    while (Clock::now() < end) {
        const auto start = Clock::now();
        call();
        slowest = std::max(slowest, MsSince(start));
        std::this_thread::sleep_for(20ms);
    }
    return slowest;
}

// When each camera's loss was reported, by the index in its serial number; 0 until then.
constexpr int kMaxCameras = 64;
std::atomic<int64_t> g_lostAt[kMaxCameras];

void OnHotPlug(const QlDeviceInfo* info, int message, void*) {
    const int index = std::atoi(info->serialNumber + std::strlen("FROZEN"));
    if (message == 1 && index >= 0 && index < kMaxCameras) g_lostAt[index] = Clock::now().time_since_epoch().count();
}

bool WaitForCount(uint32_t wanted) {
    for (int i = 0; i < 100; ++i) {
        uint32_t count = 0;
        if (QL_GetDeviceCount(&count) == 0 && count >= wanted) return true;
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const int frozen = argc > 1 ? std::atoi(argv[1]) : 4;
    const int cameras = std::min(frozen + 2, kMaxCameras);
    std::vector<pid_t> children;
    for (int i = 0; i < cameras; ++i) children.push_back(StartCamera(i));
    const auto cleanUp = [&] {
        for (pid_t child : children) kill(child, SIGKILL);
        for (pid_t child : children) waitpid(child, nullptr, 0);
    };

    char logDir[] = "/tmp/frozen-bench-XXXXXX";
    if (mkdtemp(logDir) == nullptr || QL_InitializeWithLogPath(logDir) != 0 ||
        !WaitForCount(static_cast<uint32_t>(cameras))) {
        std::fprintf(stderr, "the kit did not list %d cameras\n", cameras);
        cleanUp();
        return 1;
    }
    std::vector<QlDeviceHandle> handles(cameras, nullptr);
    for (int i = 0; i < cameras; ++i) {
        if (i == 1) continue;  // opened later, while the others are frozen
        if (QL_OpenDeviceByIP(CameraIP(i).c_str(), &handles[i]) != 0) {
            std::fprintf(stderr, "open of %s failed\n", CameraIP(i).c_str());
            cleanUp();
            return 1;
        }
    }

    std::atomic<bool> reading{true};
    std::atomic<double> largestGap{0};
    std::atomic<int> frames{0};
    std::thread reader([&] {
        auto last = Clock::now();
        while (reading) {
            FrameReady ready = 0;
            if (QL_GetFrameReady(handles[0], 200, &ready) != 0) continue;
            ++frames;
            largestGap = std::max(largestGap.load(), MsSince(last));
            last = Clock::now();
        }
    });
    std::this_thread::sleep_for(1s);
    largestGap = 0;  // the stream's start is not a gap
    Clock::time_point frozenAt;
    const auto freeze = [&] {
        for (int i = 0; i < cameras; ++i) g_lostAt[i] = 0;
        frozenAt = Clock::now();
        for (int i = 2; i < cameras; ++i) kill(children[i], SIGSTOP);
        // The next pass starts within a second and then waits for the frozen cameras.
        std::this_thread::sleep_for(1200ms);
    };

    QL_SetHotPlugStatusCallback(&OnHotPlug, nullptr);
    // Round 1: the calls side by side, as several application threads would make them.
    freeze();
    double countMs = 0, listMs = 0, infoMs = 0, openMs = 0, closeMs = 0;
    int opened = 0, closed = 0;
    std::thread counting([&] {
        uint32_t count = 0;
        countMs = Slowest(2s, [&] { QL_GetDeviceCount(&count); });
    });
    std::thread listing([&] {
        std::vector<QlDeviceInfo> list(cameras);
        QlDeviceInfo info{};
        listMs = Slowest(1s, [&] { QL_GetDeviceInfoList(static_cast<uint32_t>(cameras), list.data()); });
        infoMs = Slowest(1s, [&] { QL_GetDeviceInfo(0, &info); });
    });
    std::thread opening([&] {
        auto start = Clock::now();
        opened = QL_OpenDeviceByIP(CameraIP(1).c_str(), &handles[1]);
        openMs = MsSince(start);
        start = Clock::now();
        closed = QL_CloseDevice(&handles[1]);
        closeMs = MsSince(start);
    });
    counting.join();
    listing.join();
    opening.join();
    const double gapMs = largestGap;
    // The last frozen camera's loss, from the freeze.
    double allLostMs = -1;
    for (int wait = 0; wait < 300; ++wait) {
        bool all = true;
        int64_t last = 0;
        for (int i = 2; i < cameras; ++i) {
            all = all && g_lostAt[i] != 0;
            last = std::max<int64_t>(last, g_lostAt[i]);
        }
        if (all) {
            allLostMs =
                std::chrono::duration<double, std::milli>(Clock::duration(last) - frozenAt.time_since_epoch()).count();
            break;
        }
        std::this_thread::sleep_for(50ms);
    }

    // Round 2: thawed, opened again and frozen again; the shut-down meets a pass in its waits.
    for (int i = 2; i < cameras; ++i) {
        kill(children[i], SIGCONT);
        QL_CloseDevice(&handles[i]);
    }
    bool reopened = WaitForCount(static_cast<uint32_t>(cameras));
    for (int i = 2; i < cameras && reopened; ++i) reopened = QL_OpenDeviceByIP(CameraIP(i).c_str(), &handles[i]) == 0;
    if (reopened) freeze();
    reading = false;
    reader.join();
    const auto start = Clock::now();
    const int shutDown = QL_Shutdown();
    const double shutdownMs = MsSince(start);
    cleanUp();

    std::printf("%d opened cameras frozen; calls made from 1.2 s after the freeze\n", frozen);
    std::printf("%-38s %10s\n", "call", "slowest ms");
    std::printf("%-38s %10.1f\n", "QL_GetDeviceCount (2 s of calls)", countMs);
    std::printf("%-38s %10.1f\n", "QL_GetDeviceInfoList (1 s of calls)", listMs);
    std::printf("%-38s %10.1f\n", "QL_GetDeviceInfo (1 s of calls)", infoMs);
    std::printf("%-38s %10.1f   (status %d)\n", "QL_OpenDeviceByIP, another camera", openMs, opened);
    std::printf("%-38s %10.1f   (status %d)\n", "QL_CloseDevice, that camera", closeMs, closed);
    std::printf("%-38s %10.1f   (%d frames)\n", "largest frame gap, healthy camera", gapMs, frames.load());
    std::printf("%-38s %10.1f   (from the freeze)\n", "all frozen cameras reported lost", allLostMs);
    if (reopened) {
        std::printf("%-38s %10.1f   (status %d)\n", "QL_Shutdown", shutdownMs, shutDown);
    } else {
        std::printf("QL_Shutdown not measured: the thawed cameras did not open again\n");
    }
    return 0;
}
