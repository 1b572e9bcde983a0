#pragma once
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "BaseDevice.h"
#include "DeviceDirectory.h"
#include "ScriptedIO.h"

namespace apitest {

// A device whose operations answer `result` and write fixed values; its frame-ready query
// waits until the device is closed.
class FakeDevice : public BaseDevice {
public:
    explicit FakeDevice(DeviceInfo info = {}) : BaseDevice(info, std::make_unique<testsupport::ScriptedIO>()) {}
    ~FakeDevice() override { ++*destroyed; }

    int Close() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_closed = true;
        }
        m_wake.notify_all();
        return 0;
    }
    int GetFrameReady(uint16_t, FrameReady* ready) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_waiting = true;
        m_wake.notify_all();
        m_wake.wait(lock, [&] { return m_closed; });
        *ready = 0;
        return -1;
    }
    void WaitUntilWaiting() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [&] { return m_waiting; });
    }
    int GetFrame(FrameType type, Frame* frame) override {
        frame->frameType = type;
        frame->width = 4;
        frame->depthRange = 0x1234;
        return result;
    }
    int SetColorPixelFormat(PixelFormat) override { return ++calls, result; }
    int GetFirmwareVersion(char* buf, int len) override {
        std::snprintf(buf, len, "FW");
        return ++calls, result;
    }
    int GetCameraIntrinsic(SensorType, double* k9) override {
        for (int i = 0; i < 9; ++i) k9[i] = i + 1;
        return ++calls, result;
    }
    int GetCameraDistortion(SensorType, double* d8) override {
        for (int i = 0; i < 8; ++i) d8[i] = 10 + i;
        return ++calls, result;
    }
    int GetIRGMMGain(int* gain) override {
        *gain = 0x1FF;
        return ++calls, result;
    }
    int GetTimeFilterParams(TimeFilterParams* params) override {
        *params = TimeFilterParams{1, 7};
        return ++calls, result;
    }
    int GetFillHoleFilterParams(FillHoleFilterParams* params) override {
        *params = fillHole;
        return ++calls, result;
    }
    int SetFillHoleFilterParams(FillHoleFilterParams params) override {
        fillHole = params;
        return ++calls, setResult;
    }
    int GetExposureTime(SensorType, ExposureTimeParams* params) override {
        askedMode = params->mode;
        params->mode = 99;
        params->exposureTime = 500;
        return ++calls, result;
    }
    int SetProperty(const char* key, const void* data, int size) override {
        lastKey = key;
        lastData.assign(static_cast<const char*>(data), size);
        return ++calls, result;
    }
    int GetProperty(const char* key, void* data, int size) override {
        lastKey = key;
        lastData.assign(static_cast<const char*>(data), size);
        if (size == 6) static_cast<uint8_t*>(data)[1] = 5;
        return ++calls, result;
    }

    int result = 0;
    int setResult = 0;
    int calls = 0;
    int askedMode = -1;
    std::string lastKey, lastData;
    FillHoleFilterParams fillHole{0, 1, 2, 3};
    std::shared_ptr<int> destroyed = std::make_shared<int>(0);

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_closed = false;
    bool m_waiting = false;
};

// The camera list of one test: cameras by IP, each with one device.
class FakeDirectory : public DeviceDirectory {
public:
    template <typename Device = FakeDevice>
    std::shared_ptr<Device> Add(const std::string& ip) {
        auto device = std::make_shared<Device>();
        m_devices[ip] = device;
        return device;
    }

    uint32_t GetCameraCount() override { return static_cast<uint32_t>(m_devices.size()); }
    int GetDeviceInfoList(QlDeviceInfo*, uint32_t) override { return listResult; }
    int GetDeviceInfo(QlDeviceInfo*, uint32_t) override { return listResult; }
    int GetProperty(const char* key, void*, int) override {
        lastManagerKey = key;
        return 0;
    }
    void SetHotPlugStatusCallback(QlHotPlugStatusCallback, const void*) override {}
    BaseDevice* Open(Key, const char* text, int& status) override {
        const auto found = m_devices.find(text);
        if (found == m_devices.end() || !found->second) {
            status = -15;
            return nullptr;
        }
        return found->second.get();
    }
    bool IsOpened(Key, const char* text) override { return opened == text; }
    std::shared_ptr<BaseDevice> Unlink(BaseDevice* device) override {
        for (auto& entry : m_devices) {
            if (entry.second.get() == device) {
                std::shared_ptr<BaseDevice> held = std::move(entry.second);
                return held;
            }
        }
        return nullptr;
    }

    int listResult = 0;
    std::string opened;
    std::string lastManagerKey;

private:
    std::map<std::string, std::shared_ptr<FakeDevice>> m_devices;
};

}  // namespace apitest
