// Every descriptor the kit and its plug-ins hold is close-on-exec, so that a program the
// application starts never keeps the kit's port or files.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>

#include "E2eSupport.h"
#include "Eventually.h"
#include "ProcessProbes.h"

extern char** environ;

namespace {

using namespace apie2e;

constexpr uint16_t kDiscoveryPort = 9007;

// The simulated camera in a child process, so that every descriptor this process opens
// from now on is the kit's. It plays until the object goes.
class CameraProcess {
public:
    explicit CameraProcess(const camsim::CameraOptions& options) {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0 || pipe2(m_stop, O_CLOEXEC) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            close(ready[0]);
            close(m_stop[1]);
            camsim::CameraSim sim(options);
            const char started = sim.Start() ? 1 : 0;
            if (write(ready[1], &started, 1) != 1) _exit(1);
            char byte;
            while (read(m_stop[0], &byte, 1) > 0) {
            }
            sim.Stop();
            _exit(0);
        }
        close(ready[1]);
        close(m_stop[0]);
        char started = 0;
        m_started = m_pid > 0 && read(ready[0], &started, 1) == 1 && started == 1;
        close(ready[0]);
    }
    ~CameraProcess() {
        close(m_stop[1]);
        if (m_pid > 0) waitpid(m_pid, nullptr, 0);
    }
    bool Started() const { return m_started; }

private:
    int m_stop[2] = {-1, -1};
    pid_t m_pid = -1;
    bool m_started = false;
};

TEST(Descriptors, EveryDescriptorOfTheKitIsCloseOnExec) {
    const camsim::CameraOptions options = ColourCamera();
    CameraProcess camera(options);
    ASSERT_TRUE(camera.Started());
    testsupport::TempDir logs;
    const std::set<int> before = testsupport::OpenFds();

    ASSERT_EQ(QL_InitializeWithLogPath(logs.Path().c_str()), 0);
    ASSERT_TRUE(WaitForListed(options.serialNumber, QlDeviceAvailable));
    QlDeviceHandle handle = nullptr;
    ASSERT_EQ(QL_OpenDeviceByIP(options.ip.c_str(), &handle), 0);
    ASSERT_EQ(QL_StartStream(handle), 0);
    // Frames flow, so every stage of the pipeline has opened what it opens.
    bool framed = false;
    for (int i = 0; i < 20 && !framed; ++i) {
        FrameReady ready = 0;
        framed = QL_GetFrameReady(handle, 1000, &ready) == 0;
    }
    EXPECT_TRUE(framed);

    int sockets = 0;
    int logFiles = 0;
    for (int fd : testsupport::OpenFds()) {
        if (before.count(fd)) continue;
        const std::string target = testsupport::FdTarget(fd);
        EXPECT_TRUE(testsupport::IsCloseOnExec(fd)) << "fd " << fd << " " << target;
        if (target.rfind("socket:", 0) == 0) ++sockets;
        if (target.rfind(logs.Path(), 0) == 0) ++logFiles;
    }
    EXPECT_GE(sockets, 3) << "discovery, the command and the data connection";
    EXPECT_EQ(logFiles, 3) << "the kit's log and each plug-in's";

    // A program started now holds none of them: once the kit is shut down, the port is free
    // while the program still runs.
    pid_t child = -1;
    char sleepName[] = "sleep";
    char seconds[] = "30";
    char* argv[] = {sleepName, seconds, nullptr};
    ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ), 0);
    EXPECT_EQ(QL_CloseDevice(&handle), 0);
    EXPECT_EQ(QL_Shutdown(), 0);
    EXPECT_TRUE(
        testsupport::Eventually([] { return !testsupport::UdpPortBound(kDiscoveryPort); }, std::chrono::seconds(2)));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

}  // namespace
