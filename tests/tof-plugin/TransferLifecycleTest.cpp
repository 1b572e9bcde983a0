#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "FileTransferParams.h"
#include "PluginFixture.h"

namespace toftest {
namespace {

// A camera whose calibration transfer never ends: every status poll answers "running".
class TransferLifecycleTest : public PluginFixture {
protected:
    TransferLifecycleTest() {
        m_camera.control.SetResponder([](const testsupport::FakeCommonControl::Sent& sent) {
            testsupport::FakeCommonControl::Reply reply;
            if (sent.cmd == 0x1d && sent.cmdType == CMDTYPE_GET) {
                reply.data = Bytes{sent.payload.empty() ? uint8_t(0) : sent.payload[0], 0, 2, 0};
            } else if (sent.cmdType == CMDTYPE_GET) {
                reply.result = -104;
            }
            return reply;
        });
    }

    struct Progress {
        std::mutex mutex;
        std::condition_variable polled;
        int calls = 0;
        ToF_API* closeFromCallback = nullptr;
    };

    static void OnPoll(int, int, int, void* userData) {
        auto* progress = static_cast<Progress*>(userData);
        ToF_API* close = nullptr;
        {
            std::lock_guard<std::mutex> lock(progress->mutex);
            ++progress->calls;
            std::swap(close, progress->closeFromCallback);
        }
        if (close != nullptr) {
            close->SetOpenState(false);  // on the worker: must not wait for itself
        }
        progress->polled.notify_all();
    }

    void StartTransfer(Progress& progress) {
        const std::string path = m_dir.File("intrinsic.bin");
        testsupport::WriteFile(path, std::string(614400, '\1'));
        FileTransferParams params{};
        params.type = 4;
        std::strncpy(params.fileName, path.c_str(), sizeof params.fileName - 1);
        params.callback = &TransferLifecycleTest::OnPoll;
        params.userData = &progress;
        ASSERT_EQ(0, m_tof->SetOpenState(true));
        ASSERT_EQ(0, m_tof->SetProperty("Py_TransferFile", &params, sizeof params));
    }

    static bool WaitForPolls(Progress& progress, int calls) {
        std::unique_lock<std::mutex> lock(progress.mutex);
        return progress.polled.wait_for(lock, std::chrono::seconds(5), [&] { return progress.calls >= calls; });
    }
};

TEST_F(TransferLifecycleTest, CloseWaitsUntilTheWorkerIsDone) {
    Progress progress;
    StartTransfer(progress);
    ASSERT_TRUE(WaitForPolls(progress, 2));
    ASSERT_EQ(0, m_tof->SetOpenState(false));
    int callsAtClose = 0;
    {
        std::lock_guard<std::mutex> lock(progress.mutex);
        callsAtClose = progress.calls;
    }
    // Freed at once: a worker still polling would use it (the sanitizer build sees that).
    m_tof.reset();
    std::lock_guard<std::mutex> lock(progress.mutex);
    EXPECT_EQ(callsAtClose, progress.calls) << "no callback after the close returned";
}

TEST_F(TransferLifecycleTest, CallbackThatClosesThePluginEndsTheTransfer) {
    Progress progress;
    progress.closeFromCallback = m_tof.get();
    StartTransfer(progress);
    ASSERT_TRUE(WaitForPolls(progress, 1));
    // Returns once the worker, which closed the plug-in itself, has ended.
    ASSERT_EQ(0, m_tof->SetOpenState(false));
    std::lock_guard<std::mutex> lock(progress.mutex);
    EXPECT_EQ(1, progress.calls);
}

}  // namespace
}  // namespace toftest
