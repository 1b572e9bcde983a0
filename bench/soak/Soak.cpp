// soak: streams from several simulated cameras through the exported functions for a given time
// while disrupting them, and prints every 10 s what would show a leak: RSS, open descriptors,
// threads, frames and the non-zero statuses the application saw. Runs in a private network
// namespace of its own, so nothing leaves loopback; stops by itself.
#include <net/if.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ProcessStats.h"
#include "SimProcess.h"
#include "Torvane_api.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kReportEvery = 10s;
constexpr auto kKilledFor = 1500ms;    // a killed camera comes back after this
constexpr auto kStalledFor = 3000ms;   // longer than a heartbeat's reply wait
constexpr int kFailuresBeforeReopen = 5;
constexpr const char* kInsideMark = "SOAK_IN_PRIVATE_NETWORK";

const char kUsage[] =
    "usage: soak [--seconds N] [--cameras N] [--every S] [--only NAME[,NAME...]] [--verbose]\n"
    "Streams from N camera-sim processes (default 4, at most 8, on 127.0.0.2 and up) for N seconds\n"
    "(default 600) while disrupting one camera every S seconds (default 4), in rounds that give\n"
    "every camera the same disruption: kill (and restart), close-reopen, frame-rate, camera-closes\n"
    "(both connections), stop-start, data-closes, work-mode, stall-heartbeat, data-reset; --only\n"
    "keeps the ones named. Prints RSS, open descriptors, threads, frames (also per camera) and\n"
    "the non-zero statuses every 10 s; --verbose also prints each disruption. Re-runs itself in a\n"
    "private network namespace with loopback only.\n";

enum class Disruption {
    Kill, CameraCloses, DataCloses, DataReset, StallHeartbeat, CloseReopen, StopStart, FrameRate, WorkMode
};

// In the order of the cycle.
constexpr struct {
    Disruption what;
    const char* name;
} kDisruptions[] = {
    {Disruption::Kill, "kill"},           {Disruption::CloseReopen, "close-reopen"},
    {Disruption::FrameRate, "frame-rate"}, {Disruption::CameraCloses, "camera-closes"},
    {Disruption::StopStart, "stop-start"}, {Disruption::DataCloses, "data-closes"},
    {Disruption::WorkMode, "work-mode"},   {Disruption::StallHeartbeat, "stall-heartbeat"},
    {Disruption::DataReset, "data-reset"},
};

const char* NameOf(Disruption d) {
    for (const auto& entry : kDisruptions)
        if (entry.what == d) return entry.name;
    return "?";
}

struct Options {
    int seconds = 600;
    int cameras = 4;
    int every = 4;
    bool verbose = false;
    std::vector<Disruption> cycle;
};

bool ParseCycle(const std::string& names, std::vector<Disruption>& cycle) {
    size_t begin = 0;
    while (begin <= names.size()) {
        const size_t end = std::min(names.find(',', begin), names.size());
        const std::string name = names.substr(begin, end - begin);
        bool known = false;
        for (const auto& entry : kDisruptions)
            if (name == entry.name) {
                cycle.push_back(entry.what);
                known = true;
            }
        if (!known) return false;
        begin = end + 1;
    }
    return true;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--verbose") {
            o.verbose = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const std::string text = argv[++i];
        const int value = std::atoi(text.c_str());
        if (arg == "--seconds" && value > 0)
            o.seconds = value;
        else if (arg == "--cameras" && value > 0 && value <= 8)
            o.cameras = value;
        else if (arg == "--every" && value > 0)
            o.every = value;
        else if (arg != "--only" || !ParseCycle(text, o.cycle))
            return false;
    }
    if (o.cycle.empty())
        for (const auto& entry : kDisruptions) o.cycle.push_back(entry.what);
    return true;
}

// Re-runs the program under netns-run; inside, makes sure loopback is the only interface.
bool EnterPrivateNetwork(char** argv) {
    if (!std::getenv(kInsideMark)) {
        char self[4096];
        const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        if (n <= 0) return false;
        self[n] = '\0';
        setenv(kInsideMark, "1", 1);
        std::vector<char*> args{const_cast<char*>(NETNS_RUN), self};
        for (char** a = argv + 1; *a; ++a) args.push_back(*a);
        args.push_back(nullptr);
        execv(NETNS_RUN, args.data());
        std::perror("soak: netns-run");
        return false;
    }
    struct if_nameindex* names = if_nameindex();
    if (!names) return false;
    bool loopbackOnly = true;
    for (const struct if_nameindex* i = names; i->if_index != 0; ++i)
        if (std::strcmp(i->if_name, "lo") != 0) loopbackOnly = false;
    if_freenameindex(names);
    if (!loopbackOnly) std::fprintf(stderr, "soak: this network namespace has more than loopback\n");
    return loopbackOnly;
}

// Non-zero statuses by call, counted per report interval.
class StatusTally {
public:
    void Note(const char* call, int status) {
        if (status == 0) return;
        std::lock_guard<std::mutex> lock(mutex_);
        ++interval_[std::string(call) + ":" + std::to_string(status)];
    }
    std::string TakeInterval() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string text;
        for (const auto& [key, count] : interval_) text += " " + key + "=" + std::to_string(count);
        interval_.clear();
        return text.empty() ? " none" : text;
    }

private:
    std::mutex mutex_;
    std::map<std::string, long> interval_;
};

bool ByApplication(Disruption d) {
    return d == Disruption::CloseReopen || d == Disruption::StopStart || d == Disruption::FrameRate ||
           d == Disruption::WorkMode;
}

// One camera as an application streams from it: its own thread opens, reads frames, and
// closes and reopens when the camera is lost or keeps failing.
class CameraStream {
public:
    CameraStream(std::unique_ptr<soak::SimProcess> sim, StatusTally& tally) : sim_(std::move(sim)), tally_(tally) {}
    ~CameraStream() { Stop(); }

    soak::SimProcess& Sim() { return *sim_; }
    void Start() { thread_ = std::thread(&CameraStream::Run, this); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    void Request(Disruption d) { pending_ = static_cast<int>(d) + 1; }
    void MarkLost() { lost_ = true; }
    uint64_t Frames() const { return frames_; }
    bool Opened() const { return opened_; }

private:
    void Run() {
        int failures = 0;
        while (!stop_) {
            if (!handle_ && !Open()) {
                std::this_thread::sleep_for(300ms);
                continue;
            }
            const int pending = pending_.exchange(0);
            if (pending) Apply(static_cast<Disruption>(pending - 1));
            if (!handle_) continue;  // a close-and-reopen: open again before reading
            if (lost_.exchange(false) || failures >= kFailuresBeforeReopen) {
                Close();
                failures = 0;
                continue;
            }
            const int status = ReadFrame();
            if (status == 0 || status == -11) {
                failures = 0;
            } else {
                ++failures;
                if (status == -1) failures = kFailuresBeforeReopen;
                std::this_thread::sleep_for(100ms);  // errors that return at once
            }
        }
        Close();
    }

    int ReadFrame() {
        FrameReady ready = 0;
        const int status = QL_GetFrameReady(handle_, 1000, &ready);
        tally_.Note("GetFrameReady", status);
        if (status != 0 || !(ready & FRAME_READY_DEPTH)) return status;
        QlFrame frame;
        const int got = QL_GetFrame(handle_, FRAME_DEPTH, &frame);
        tally_.Note("GetFrame", got);
        if (got == 0) ++frames_;
        return got;
    }

    bool Open() {
        const int status = QL_OpenDeviceByIP(sim_->Ip().c_str(), &handle_);
        tally_.Note("OpenDeviceByIP", status);
        if (status != 0) {
            handle_ = nullptr;
            return false;
        }
        lost_ = false;
        opened_ = true;
        tally_.Note("SetFrameRate", QL_SetFrameRate(handle_, 10));
        return true;
    }

    void Close() {
        if (!handle_) return;
        tally_.Note("CloseDevice", QL_CloseDevice(&handle_));
        handle_ = nullptr;
        opened_ = false;
    }

    void Apply(Disruption d) {
        switch (d) {
            case Disruption::CloseReopen: Close(); break;
            case Disruption::StopStart:
                tally_.Note("StopStream", QL_StopStream(handle_));
                std::this_thread::sleep_for(200ms);
                tally_.Note("StartStream", QL_StartStream(handle_));
                break;
            case Disruption::FrameRate:
                rate_ = rate_ == 10 ? 15 : rate_ == 15 ? 5 : 10;
                tally_.Note("SetFrameRate", QL_SetFrameRate(handle_, rate_));
                break;
            case Disruption::WorkMode:
                // Software-trigger mode for three triggered frames, then free running again.
                tally_.Note("SetWorkMode", QL_SetWorkMode(handle_, 2));
                for (int i = 0; i < 3 && !stop_; ++i) {
                    tally_.Note("SetSoftwareSlaveTrigger", QL_SetSoftwareSlaveTrigger(handle_));
                    ReadFrame();
                }
                tally_.Note("SetWorkMode", QL_SetWorkMode(handle_, 0));
                break;
            default: break;
        }
    }

    std::unique_ptr<soak::SimProcess> sim_;
    StatusTally& tally_;
    QlDeviceHandle handle_ = nullptr;
    int rate_ = 10;
    std::atomic<int> pending_{0};
    std::atomic<bool> lost_{false};
    std::atomic<bool> opened_{false};
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> frames_{0};
    std::thread thread_;
};

struct HotPlug {
    std::vector<std::unique_ptr<CameraStream>>* cameras = nullptr;
    std::atomic<long> appeared{0};
    std::atomic<long> removed{0};
};

void OnHotPlug(const QlDeviceInfo* info, int status, void* user) {
    auto* hotPlug = static_cast<HotPlug*>(user);
    if (status != 1) {
        ++hotPlug->appeared;
        return;
    }
    ++hotPlug->removed;
    for (auto& camera : *hotPlug->cameras)
        if (camera->Sim().Serial() == info->serialNumber) camera->MarkLost();
}

// The camera side of each disruption; the application's side runs on the camera's thread.
class Disruptor {
public:
    Disruptor(std::vector<std::unique_ptr<CameraStream>>& cameras, const Options& options)
        : cameras_(cameras), options_(options), restartAt_(cameras.size()), unstallAt_(cameras.size()) {}

    void Next(long seconds) {
        const size_t index = next_ % cameras_.size();
        // A round gives every camera the same disruption; the rounds walk the cycle.
        const Disruption d = options_.cycle[(next_ / cameras_.size()) % options_.cycle.size()];
        ++next_;
        CameraStream& camera = *cameras_[index];
        if (options_.verbose) std::printf("  [%ld s] %s %s\n", seconds, camera.Sim().Serial().c_str(), NameOf(d));
        if (ByApplication(d)) {
            camera.Request(d);
        } else if (d == Disruption::Kill) {
            camera.Sim().Kill();
            restartAt_[index] = Clock::now() + kKilledFor;
        } else if (d == Disruption::CameraCloses) {
            camera.Sim().Control("close both");
        } else if (d == Disruption::DataCloses) {
            camera.Sim().Control("close data");
        } else if (d == Disruption::DataReset) {
            camera.Sim().Control("reset data");
        } else if (d == Disruption::StallHeartbeat && camera.Sim().Control("stall-heartbeat on")) {
            unstallAt_[index] = Clock::now() + kStalledFor;
        }
        ++done_;
    }

    // Brings killed cameras back and ends stalls that are due.
    void Tend() {
        const auto now = Clock::now();
        for (size_t i = 0; i < cameras_.size(); ++i) {
            if (restartAt_[i] != Clock::time_point{} && now >= restartAt_[i] && cameras_[i]->Sim().Start())
                restartAt_[i] = {};
            if (unstallAt_[i] != Clock::time_point{} && now >= unstallAt_[i] &&
                cameras_[i]->Sim().Control("stall-heartbeat off"))
                unstallAt_[i] = {};
        }
    }

    long Done() const { return done_; }

private:
    std::vector<std::unique_ptr<CameraStream>>& cameras_;
    const Options& options_;
    std::vector<Clock::time_point> restartAt_;
    std::vector<Clock::time_point> unstallAt_;
    size_t next_ = 0;
    long done_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!EnterPrivateNetwork(argv)) return 1;

    char folder[] = "/tmp/soak.XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::string dir = folder;

    HotPlug hotPlug;
    StatusTally tally;
    std::vector<std::unique_ptr<CameraStream>> cameras;
    hotPlug.cameras = &cameras;
    for (int i = 0; i < options.cameras; ++i) {
        const std::string n = std::to_string(i + 2);
        auto sim = std::make_unique<soak::SimProcess>(CAMERA_SIM_BINARY, "127.0.0." + n, "SOAK000" + n,
                                                      dir + "/control" + n);
        if (!sim->Start()) return 1;
        cameras.push_back(std::make_unique<CameraStream>(std::move(sim), tally));
    }
    if (QL_InitializeWithLogPath(dir.c_str()) != 0) {
        std::fprintf(stderr, "soak: the kit did not initialise\n");
        return 1;
    }
    QL_SetHotPlugStatusCallback(OnHotPlug, &hotPlug);
    for (auto& camera : cameras) camera->Start();

    std::printf("soak: %d cameras for %d s, one disruption every %d s; kit log in %s\n", options.cameras,
                options.seconds, options.every, dir.c_str());
    std::printf("%6s %6s %9s %5s %7s %8s %9s %8s %11s  %s\n", "t(s)", "opened", "rss(kB)", "fds", "threads",
                "frames", "total", "hotplug", "disruptions",
                "[frames per camera] non-zero statuses (call:status=count)");
    std::fflush(stdout);

    Disruptor disruptor(cameras, options);
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(options.seconds);
    auto nextReport = start + kReportEvery;
    auto nextDisruption = start + std::chrono::seconds(options.every);
    uint64_t lastFrames = 0;
    std::vector<uint64_t> lastPerCamera(cameras.size());
    while (Clock::now() < end) {
        std::this_thread::sleep_for(100ms);
        disruptor.Tend();
        const long t =
            static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count());
        if (Clock::now() >= nextDisruption) {
            disruptor.Next(t);
            nextDisruption += std::chrono::seconds(options.every);
        }
        if (Clock::now() >= nextReport) {
            nextReport += kReportEvery;
            uint64_t frames = 0;
            int opened = 0;
            std::string perCamera;
            for (size_t i = 0; i < cameras.size(); ++i) {
                const uint64_t own = cameras[i]->Frames();
                perCamera += (i ? " " : "") + std::to_string(own - lastPerCamera[i]);
                lastPerCamera[i] = own;
                frames += own;
                opened += cameras[i]->Opened() ? 1 : 0;
            }
            const soak::ProcessStats stats = soak::ReadProcessStats();
            const std::string hot = "+" + std::to_string(hotPlug.appeared.load()) + "/-" +
                                    std::to_string(hotPlug.removed.load());
            std::printf("%6ld %6d %9ld %5d %7d %8llu %9llu %8s %11ld [%s]%s\n", t, opened, stats.rssKb, stats.fds,
                        stats.threads,
                        static_cast<unsigned long long>(frames - lastFrames), static_cast<unsigned long long>(frames),
                        hot.c_str(), disruptor.Done(), perCamera.c_str(), tally.TakeInterval().c_str());
            std::fflush(stdout);
            lastFrames = frames;
        }
    }

    for (auto& camera : cameras) camera->Stop();
    const int shutdown = QL_Shutdown();
    for (auto& camera : cameras) camera->Sim().Stop();
    const soak::ProcessStats stats = soak::ReadProcessStats();
    std::printf("soak: done; QL_Shutdown %d; after it rss %ld kB, %d threads, %d fds:%s\n", shutdown, stats.rssKb,
                stats.threads, stats.fds, soak::OpenDescriptorTargets().c_str());
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
