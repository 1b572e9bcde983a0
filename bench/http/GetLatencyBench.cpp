// How long a camera's GET of its firmware image waits for the first reply byte while other
// clients send their request heads a byte every 3 s. Listens on 127.0.0.1: run it through
// tests/support/netns-run. Prints the figure alone and beside tricklers, the goal being the
// same figure with them: under 100 ms.
#include "SlowClients.h"
#include "TempDir.h"
#include "WebServer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr unsigned short kPort = 18180;
constexpr const char* kLoopback = "127.0.0.1";
constexpr size_t kImageBytes = 4 * 1024 * 1024;
constexpr int kTricklers = 4;
constexpr auto kTrickleEvery = std::chrono::milliseconds(3000);
// A GET that has no reply byte after this counts as stalled; after a few stalls the
// figure is plain and the run ends early.
constexpr auto kGiveUpAfter = std::chrono::milliseconds(10000);
constexpr int kStallsToStop = 3;
constexpr int kGets = 20;
const std::string kGet = "GET /firmware.img HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";

void Report(const char* label, std::vector<double> waitsMs, int stalled) {
    if (waitsMs.empty()) {
        std::printf("%-28s every GET stalled (%d, no reply within %lld ms)\n", label, stalled,
                    static_cast<long long>(kGiveUpAfter.count()));
        return;
    }
    std::sort(waitsMs.begin(), waitsMs.end());
    std::printf("%-28s median %8.3f ms  max %8.3f ms  stalled %d of %zu\n", label, waitsMs[waitsMs.size() / 2],
                waitsMs.back(), stalled, waitsMs.size() + static_cast<size_t>(stalled));
}

// kGets GETs, spread over a few trickle intervals so that the tricklers' deadlines pass too.
void MeasureGets(const char* label, std::chrono::milliseconds spacing) {
    std::vector<double> waits;
    int stalled = 0;
    for (int i = 0; i < kGets && stalled < kStallsToStop; ++i) {
        const auto waited = testsupport::FirstReplyByteAfter(kLoopback, kPort, kGet, kGiveUpAfter);
        if (waited) {
            waits.push_back(static_cast<double>(waited->count()) / 1000.0);
        } else {
            ++stalled;
        }
        std::this_thread::sleep_for(spacing);
    }
    Report(label, waits, stalled);
}

}  // namespace

int main() {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("firmware.img"), std::string(kImageBytes, 'F'));
    WebServer server(0);
    server.setPort(kPort);
    server.m_host = kLoopback;
    server.setDocumentRoot(dir.Path().c_str());
    if (server.reStart() != 0) {
        std::fprintf(stderr, "cannot listen on %s:%u\n", kLoopback, kPort);
        return 1;
    }
    // The first requests of a process also pay for one-time set-up: the library's, and the
    // allocator's for each worker's first whole image in memory.
    const auto first = testsupport::FirstReplyByteAfter(kLoopback, kPort, kGet, kGiveUpAfter);
    std::printf("%-28s %8.3f ms\n",
                "first GET of the process:", first ? static_cast<double>(first->count()) / 1000.0 : -1.0);
    MeasureGets("GET alone:", std::chrono::milliseconds(50));
    {
        std::vector<std::unique_ptr<testsupport::TricklingClient>> tricklers;
        for (int i = 0; i < kTricklers; ++i) {
            tricklers.push_back(std::make_unique<testsupport::TricklingClient>(
                kLoopback, kPort, "GET /firmware.img HTTP/1.1\r\nHost: x\r\n\r\n", kTrickleEvery));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        MeasureGets("GET beside 4 tricklers:", std::chrono::milliseconds(400));
    }
    server.stop();
    return 0;
}
