// The exported functions of the camera list, open and close, stream, frames and properties.
#include "ApiCall.h"
#include "BaseDevice.h"
#include "FrameConversion.h"
#include "PropertyKeys.h"

namespace {

// The calls that need the camera list but no device.
template <typename Op>
int OnDirectory(const char* function, Op&& op) {
    return api::Boundary(function, [&] {
        if (!api::Initialised()) return status::kNotInitialised;
        return InterRet2ExternRet(op(api::Directory()));
    });
}

int Open(const char* function, DeviceDirectory::Key key, const char* text, QlDeviceHandle* out) {
    if (!text || !out) return api::NullArgument(function);
    return api::Boundary(function, [&] {
        if (!api::Initialised()) return status::kNotInitialised;
        DeviceDirectory& directory = api::Directory();
        if (key != DeviceDirectory::Key::IP && directory.IsOpened(key, text)) return status::kAlreadyOpen;
        int status = 0;
        BaseDevice* device = directory.Open(key, text, status);
        if (device) *out = api::Handles().Add(device);
        return InterRet2ExternRet(status);
    });
}

bool IsManagerKey(const char* key) { return propertykeys::Find(key, propertykeys::Owner::Manager) != nullptr; }

}  // namespace

extern "C" {

int QL_GetDeviceCount(uint32_t* count) {
    if (!count) return api::NullArgument(__func__);
    return OnDirectory(__func__, [&](DeviceDirectory& directory) {
        *count = directory.GetCameraCount();
        return 0;
    });
}

int QL_GetDeviceInfoList(uint32_t count, QlDeviceInfo* list) {
    if (!list) return api::NullArgument(__func__);
    return OnDirectory(__func__, [&](DeviceDirectory& directory) { return directory.GetDeviceInfoList(list, count); });
}

int QL_GetDeviceInfo(uint32_t index, QlDeviceInfo* info) {
    if (!info) return api::NullArgument(__func__);
    return OnDirectory(__func__, [&](DeviceDirectory& directory) { return directory.GetDeviceInfo(info, index); });
}

int QL_SetHotPlugStatusCallback(QlHotPlugStatusCallback callback, const void* userData) {
    return OnDirectory(__func__, [&](DeviceDirectory& directory) {
        directory.SetHotPlugStatusCallback(callback, userData);
        return 0;
    });
}

int QL_OpenDeviceByUri(const char* uri, QlDeviceHandle* handle) {
    return Open(__func__, DeviceDirectory::Key::URI, uri, handle);
}

int QL_OpenDeviceByAlias(const char* alias, QlDeviceHandle* handle) {
    return Open(__func__, DeviceDirectory::Key::Alias, alias, handle);
}

int QL_OpenDeviceByIP(const char* ip, QlDeviceHandle* handle) {
    return Open(__func__, DeviceDirectory::Key::IP, ip, handle);
}

int QL_CloseDevice(QlDeviceHandle* handle) {
    return api::Boundary(__func__, [&] {
        if (!api::Initialised()) return status::kNotInitialised;
        if (!handle) return api::NullArgument("QL_CloseDevice");
        if (!*handle) return status::kNullHandle;
        const int ret =
            api::Handles().Close(*handle, [](BaseDevice* device) { return api::Directory().Unlink(device); });
        *handle = nullptr;
        return ret;
    });
}

int QL_StartStream(QlDeviceHandle handle) {
    return api::OnDevice(__func__, handle, [](BaseDevice& device) { return device.StartStream(); });
}

int QL_StopStream(QlDeviceHandle handle) {
    return api::OnDevice(__func__, handle, [](BaseDevice& device) { return device.StopStream(); });
}

int QL_GetFrameReady(QlDeviceHandle handle, uint16_t waitTime, FrameReady* ready) {
    if (!ready) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) { return device.GetFrameReady(waitTime, ready); });
}

int QL_GetFrame(QlDeviceHandle handle, FrameType type, QlFrame* frame) {
    if (!frame) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        Frame record{};
        const int ret = device.GetFrame(type, &record);
        // The caller sees what the device filled, zeros elsewhere, whatever the result.
        *frame = ToQlFrame(record);
        return ret;
    });
}

int QL_GetProperty(QlDeviceHandle handle, const char* key, void* data, int dataSize) {
    if (!key) return api::NullArgument(__func__);
    return api::Boundary(__func__, [&] {
        if (!api::Initialised()) return status::kNotInitialised;
        HandleRegistry::Use use;
        const int check = api::Handles().Acquire(handle, use);
        if (check == status::kNullHandle || check == status::kInvalidParameter) {
            if (!data) return status::kNullData;
            // These keys are about the camera list and need no device.
            if (!IsManagerKey(key)) return check;
            return InterRet2ExternRet(api::Directory().GetProperty(key, data, dataSize));
        }
        if (!data) return status::kNullData;
        return InterRet2ExternRet(use.Device().GetProperty(key, data, dataSize));
    });
}

int QL_SetProperty(QlDeviceHandle handle, const char* key, const void* data, int dataSize) {
    if (!key) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        if (!data) return status::kNullData;
        return device.SetProperty(key, data, dataSize);
    });
}

}  // extern "C"
