// soak: streams from several simulated cameras through the exported functions for a given time
// while disrupting them, and prints every 10 s what would show a leak: RSS, open descriptors,
// threads, frames and the non-zero statuses the application saw. Runs in a private network
// namespace of its own, so nothing leaves loopback; stops by itself.
#include <net/if.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
constexpr auto kKilledFor = 1500ms;   // a killed camera comes back after this
constexpr auto kStalledFor = 3000ms;  // longer than a heartbeat's reply wait
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
    Kill,
    CameraCloses,
    DataCloses,
    DataReset,
    StallHeartbeat,
    CloseReopen,
    StopStart,
    FrameRate,
    WorkMode
};

// In the order of the cycle.
constexpr struct {
    Disruption what;
    const char* name;
} kDisruptions[] = {
    {Disruption::Kill, "kill"},
    {Disruption::CloseReopen, "close-reopen"},
    {Disruption::FrameRate, "frame-rate"},
    {Disruption::CameraCloses, "camera-closes"},
    {Disruption::StopStart, "stop-start"},
    {Disruption::DataCloses, "data-closes"},
    {Disruption::WorkMode, "work-mode"},
    {Disruption::StallHeartbeat, "stall-heartbeat"},
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
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_interval[std::string(call) + ":" + std::to_string(status)];
    }
    std::string TakeInterval() {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string text;
        for (const auto& [key, count] : m_interval) text += " " + key + "=" + std::to_string(count);
        m_interval.clear();
        return text.empty() ? " none" : text;
    }

private:
    std::mutex m_mutex;
    std::map<std::string, long> m_interval;
};

bool ByApplication(Disruption d) {
    return d == Disruption::CloseReopen || d == Disruption::StopStart || d == Disruption::FrameRate ||
           d == Disruption::WorkMode;
}

// One camera as an application streams from it: its own thread opens, reads frames, and
// closes and reopens when the camera is lost or keeps failing.
class CameraStream {
public:
    CameraStream(std::unique_ptr<soak::SimProcess> sim, StatusTally& tally) : m_sim(std::move(sim)), m_tally(tally) {}
    ~CameraStream() { Stop(); }

    soak::SimProcess& Sim() { return *m_sim; }
    void Start() { m_thread = std::thread(&CameraStream::Run, this); }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    void Request(Disruption d) { m_pending = static_cast<int>(d) + 1; }
    void MarkLost() { m_lost = true; }
    uint64_t Frames() const { return m_frames; }
    bool Opened() const { return m_opened; }

private:
    void Run() {
        int failures = 0;
        while (!m_stop) {
            if (!m_handle && !Open()) {
                std::this_thread::sleep_for(300ms);
                continue;
            }
            const int pending = m_pending.exchange(0);
            if (pending) Apply(static_cast<Disruption>(pending - 1));
            if (!m_handle) continue;  // a close-and-reopen: open again before reading
            if (m_lost.exchange(false) || failures >= kFailuresBeforeReopen) {
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
        const int status = QL_GetFrameReady(m_handle, 1000, &ready);
        m_tally.Note("GetFrameReady", status);
        if (status != 0 || !(ready & FRAME_READY_DEPTH)) return status;
        QlFrame frame;
        const int got = QL_GetFrame(m_handle, FRAME_DEPTH, &frame);
        m_tally.Note("GetFrame", got);
        if (got == 0) ++m_frames;
        return got;
    }

    bool Open() {
        const int status = QL_OpenDeviceByIP(m_sim->Ip().c_str(), &m_handle);
        m_tally.Note("OpenDeviceByIP", status);
        if (status != 0) {
            m_handle = nullptr;
            return false;
        }
        m_lost = false;
        m_opened = true;
        m_tally.Note("SetFrameRate", QL_SetFrameRate(m_handle, 10));
        return true;
    }

    void Close() {
        if (!m_handle) return;
        m_tally.Note("CloseDevice", QL_CloseDevice(&m_handle));
        m_handle = nullptr;
        m_opened = false;
    }

    void Apply(Disruption d) {
        switch (d) {
            case Disruption::CloseReopen: Close(); break;
            case Disruption::StopStart:
                m_tally.Note("StopStream", QL_StopStream(m_handle));
                std::this_thread::sleep_for(200ms);
                m_tally.Note("StartStream", QL_StartStream(m_handle));
                break;
            case Disruption::FrameRate:
                m_rate = m_rate == 10 ? 15 : m_rate == 15 ? 5 : 10;
                m_tally.Note("SetFrameRate", QL_SetFrameRate(m_handle, m_rate));
                break;
            case Disruption::WorkMode:
                // Software-trigger mode for three triggered frames, then free running again.
                m_tally.Note("SetWorkMode", QL_SetWorkMode(m_handle, 2));
                for (int i = 0; i < 3 && !m_stop; ++i) {
                    m_tally.Note("SetSoftwareSlaveTrigger", QL_SetSoftwareSlaveTrigger(m_handle));
                    ReadFrame();
                }
                m_tally.Note("SetWorkMode", QL_SetWorkMode(m_handle, 0));
                break;
            default: break;
        }
    }

    std::unique_ptr<soak::SimProcess> m_sim;
    StatusTally& m_tally;
    QlDeviceHandle m_handle = nullptr;
    int m_rate = 10;
    std::atomic<int> m_pending{0};
    std::atomic<bool> m_lost{false};
    std::atomic<bool> m_opened{false};
    std::atomic<bool> m_stop{false};
    std::atomic<uint64_t> m_frames{0};
    std::thread m_thread;
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
        : m_cameras(cameras), m_options(options), m_restartAt(cameras.size()), m_unstallAt(cameras.size()) {}

    void Next(long seconds) {
        const size_t index = m_next % m_cameras.size();
        // A round gives every camera the same disruption; the rounds walk the cycle.
        const Disruption d = m_options.cycle[(m_next / m_cameras.size()) % m_options.cycle.size()];
        ++m_next;
        CameraStream& camera = *m_cameras[index];
        if (m_options.verbose) std::printf("  [%ld s] %s %s\n", seconds, camera.Sim().Serial().c_str(), NameOf(d));
        if (ByApplication(d)) {
            camera.Request(d);
        } else if (d == Disruption::Kill) {
            camera.Sim().Kill();
            m_restartAt[index] = Clock::now() + kKilledFor;
        } else if (d == Disruption::CameraCloses) {
            camera.Sim().Control("close both");
        } else if (d == Disruption::DataCloses) {
            camera.Sim().Control("close data");
        } else if (d == Disruption::DataReset) {
            camera.Sim().Control("reset data");
        } else if (d == Disruption::StallHeartbeat && camera.Sim().Control("stall-heartbeat on")) {
            m_unstallAt[index] = Clock::now() + kStalledFor;
        }
        ++m_done;
    }

    // Brings killed cameras back and ends stalls that are due.
    void Tend() {
        const auto now = Clock::now();
        for (size_t i = 0; i < m_cameras.size(); ++i) {
            if (m_restartAt[i] != Clock::time_point{} && now >= m_restartAt[i] && m_cameras[i]->Sim().Start())
                m_restartAt[i] = {};
            if (m_unstallAt[i] != Clock::time_point{} && now >= m_unstallAt[i] &&
                m_cameras[i]->Sim().Control("stall-heartbeat off"))
                m_unstallAt[i] = {};
        }
    }

    long Done() const { return m_done; }

private:
    std::vector<std::unique_ptr<CameraStream>>& m_cameras;
    const Options& m_options;
    std::vector<Clock::time_point> m_restartAt;
    std::vector<Clock::time_point> m_unstallAt;
    size_t m_next = 0;
    long m_done = 0;
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
        auto sim =
            std::make_unique<soak::SimProcess>(CAMERA_SIM_BINARY, "127.0.0." + n, "SOAK000" + n, dir + "/control" + n);
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
    std::printf("%6s %6s %9s %5s %7s %8s %9s %8s %11s  %s\n", "t(s)", "opened", "rss(kB)", "fds", "threads", "frames",
                "total", "hotplug", "disruptions", "[frames per camera] non-zero statuses (call:status=count)");
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
            const std::string hot =
                "+" + std::to_string(hotPlug.appeared.load()) + "/-" + std::to_string(hotPlug.removed.load());
            std::printf("%6ld %6d %9ld %5d %7d %8llu %9llu %8s %11ld [%s]%s\n", t, opened, stats.rssKb, stats.fds,
                        stats.threads, static_cast<unsigned long long>(frames - lastFrames),
                        static_cast<unsigned long long>(frames), hot.c_str(), disruptor.Done(), perCamera.c_str(),
                        tally.TakeInterval().c_str());
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
