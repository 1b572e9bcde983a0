#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "ScriptedIO.h"

namespace receivetest {

// A transport whose data connection delivers the payloads a test feeds, one data frame per
// read. An empty feed blocks a read as long as the real data connection would, until a
// payload comes or the transport is shut down; after a shut-down every read returns at
// once with nothing, as a closed connection does.
class FeedIO : public testsupport::ScriptedIO {
public:
    void Feed(std::vector<uint8_t> payload) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_feed.push_back(std::move(payload));
        }
        m_cond.notify_all();
    }
    int ReadData(unsigned char* buf, int capacity, int* len) override {
        ++reads;
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cond.wait_for(lock, std::chrono::milliseconds(1005), [this] { return m_shut || !m_feed.empty(); });
        if (m_feed.empty()) return 0;
        std::vector<uint8_t> payload = std::move(m_feed.front());
        m_feed.pop_front();
        if (payload.size() > static_cast<size_t>(capacity)) {
            *len = 0;
            return -1;
        }
        std::copy(payload.begin(), payload.end(), buf);
        *len = static_cast<int>(payload.size());
        return 0;
    }
    void Shutdown() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_shut = true;
        }
        m_cond.notify_all();
    }

    // A fresh connection after a shut-down, as the device's reopen makes one.
    void Reopen() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_shut = false;
    }

    std::atomic<int> reads{0};

private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<std::vector<uint8_t>> m_feed;
    bool m_shut = false;
};

}  // namespace receivetest
