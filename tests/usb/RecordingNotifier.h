#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <vector>

#include "DeviceDetect.h"

inline bool operator==(const DetectParams& a, const DetectParams& b) {
    return a.action == b.action && a.kind == b.kind && a.vendorId == b.vendorId && a.productId == b.productId &&
           a.devicePath == b.devicePath;
}

inline std::ostream& operator<<(std::ostream& out, const DetectParams& p) {
    return out << "{action " << p.action << ", kind " << p.kind << ", vid " << std::hex << p.vendorId << ", pid "
               << p.productId << std::dec << ", " << p.devicePath << "}";
}

// Keeps every report; may be read while the watcher thread adds to it.
class RecordingNotifier : public DeviceDetect::Notifier {
public:
    void OnMessage(const DetectParams& params) override {
        std::lock_guard<std::mutex> lock(mLock);
        mReports.push_back(params);
        mChanged.notify_all();
    }

    std::vector<DetectParams> Reports() {
        std::lock_guard<std::mutex> lock(mLock);
        return mReports;
    }

    bool WaitForReports(size_t count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mLock);
        return mChanged.wait_for(lock, limit, [&] { return mReports.size() >= count; });
    }

private:
    std::mutex mLock;
    std::condition_variable mChanged;
    std::vector<DetectParams> mReports;
};
