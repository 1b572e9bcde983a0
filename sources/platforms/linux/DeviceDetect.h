#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "HidrawProbe.h"
#include "StoppableThread.h"

// One arrival or removal the watcher recognised.
struct DetectParams {
    enum Action : int32_t { kOther = -1, kAdded = 0, kRemoved = 1 };
    enum Kind : int32_t { kVideo = 0, kHid = 1, kStorage = 2 };

    int32_t action = kOther;
    int32_t kind = kVideo;
    int32_t vendorId = 0;   // 0 in removal reports
    int32_t productId = 0;  // 0 in removal reports
    std::string devicePath;
};

// Watches the kernel's device events for USB video devices, HID interfaces and storage
// devices of the maker's products and tells a listener about each one.
class DeviceDetect : public StoppableThread {
public:
    class Notifier {
    public:
        virtual ~Notifier() = default;
        // Called on the watcher thread; must not block it for long.
        virtual void OnMessage(const DetectParams&) {}
    };

    // The maker's products: one vendor, two products.
    struct UsbIdentity {
        uint16_t vendorId = 0;
        uint16_t firstProductId = 0;
        uint16_t secondProductId = 0;
    };

    struct Options {
        UsbIdentity ids;
        std::string sysRoot = "/sys";
        std::string devRoot = "/dev";
        std::function<bool(const std::string& nodePath, HidrawIds* ids)> probeHidraw = ReadHidrawIds;
    };

    explicit DeviceDetect(Options options);
    ~DeviceDetect() override;

    bool Initialize(Notifier* notifier);

    // Acts on one uevent message as it came from the kernel (NUL-separated texts, the first
    // "action@devpath"). Runs on the watcher thread; tests call it directly.
    void HandleUevent(const char* message, size_t length);

protected:
    void Run() override;

private:
    void HandleVideoArrival(const std::string& name);
    bool HandleHidrawArrival(const std::string& eventText, const std::string& name);
    void ScanHidrawNodes();
    void Report(int32_t action, int32_t kind, uint32_t vendorId, uint32_t productId, const std::string& name);
    std::string IdentifierText(uint16_t productId) const;

    const Options mOptions;
    std::atomic<Notifier*> mNotifier{nullptr};
    // Set once a HID interface was reported; an arrival then skips the /dev scan until the
    // next removal. Only the watcher thread touches it.
    bool mReported = false;
};
