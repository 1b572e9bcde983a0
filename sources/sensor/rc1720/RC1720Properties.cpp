#include <cstring>
#include <map>
#include <string>

#include "RC1720.h"
#include "StatusCodes.h"
#include "TerminatedText.h"
#include "log.h"

namespace {

enum PropertyKind {
    kUnknown = 0,
    kBrightness = 1,
    kFirmwareVersion = 2,
    kSaveRaw = 3,
    kExposureTimeMax = 4,
    kVersion = 5,
    kColorGain = 6,
};

const std::map<std::string, PropertyKind> kProperties = {
    {"Py_RGBBrightness", kBrightness}, {"Py_RGBFirmwareVersion", kFirmwareVersion},
    {"Py_SaveRawRGBImg", kSaveRaw},    {"Py_RGBExposureTimeMax", kExposureTimeMax},
    {"Py_RGBVersion", kVersion},       {"Py_ColorGain", kColorGain},
};

constexpr int kMinFirmwareBuffer = 20;  // the least a caller may offer for the version text
constexpr int kMaxFirmwareText = 30;    // the version text's room in the camera's reply

PropertyKind KindOf(const char* key) {
    if (key == nullptr) return kUnknown;
    auto found = kProperties.find(key);
    return found == kProperties.end() ? kUnknown : found->second;
}

}  // namespace

int RC1720::SetProperty(const char* key, const void* data, int size) {
    const char* tag = mCommonControl ? mCommonControl->GetDeviceSN() : "null";
    if (mCommonControl) LOG_DEVICE(tag, "pKey:%s, pData:%p, dataSize:%d", key, data, size);
    const PropertyKind kind = KindOf(key);
    const auto invalidSize = [&] {
        LOG_DEVICE(tag, "dataSize:%d is invalid.", size);
        return status::kInvalidParameter;
    };
    int ret = 0;
    switch (kind) {
        case kBrightness: {
            if (size != static_cast<int>(sizeof(int)) || data == nullptr) return invalidSize();
            int value = 0;
            std::memcpy(&value, data, sizeof(value));
            ret = mProtocol.SetRGBBrightness(value);
            break;
        }
        case kColorGain: {
            if (size != static_cast<int>(sizeof(float)) || data == nullptr) return invalidSize();
            float gain = 0;
            std::memcpy(&gain, data, sizeof(gain));
            ret = mProtocol.SetRGBGain(gain);
            break;
        }
        case kSaveRaw:
            mSaveRawCount = 0;
            mSaveRaw = true;
            return 0;
        case kFirmwareVersion: return status::kNotMine;
        default: LOG_DEVICE(tag, "pKey:%s is not supported.", key ? key : "null"); return status::kNotMine;
    }
    if (ret == status::kInvalidParameter) return invalidSize();
    return ret;
}

int RC1720::GetProperty(const char* key, void* data, int size) {
    const char* tag = mCommonControl ? mCommonControl->GetDeviceSN() : "null";
    if (mCommonControl) LOG_DEVICE(tag, "pKey:%s, pData:%p, dataSize:%d", key, data, size);
    const PropertyKind kind = KindOf(key);
    const auto invalidSize = [&] {
        LOG_DEVICE(tag, "dataSize:%d is invalid.", size);
        return status::kInvalidParameter;
    };
    int ret = 0;
    switch (kind) {
        case kBrightness: {
            if (size != static_cast<int>(sizeof(int)) || data == nullptr) return invalidSize();
            int value = 0;
            ret = mProtocol.GetRGBBrightness(value);
            if (ret == 0) std::memcpy(data, &value, sizeof(value));
            break;
        }
        case kFirmwareVersion: {
            if (size < kMinFirmwareBuffer || data == nullptr) return invalidSize();
            // The camera's text may fill all its bytes; the caller's copy always ends in a zero.
            char text[kMaxFirmwareText];
            int length = kMaxFirmwareText;
            ret = mProtocol.GetRGBFWVersion(text, length);
            if (ret == 0) CopyTerminatedText(static_cast<char*>(data), static_cast<size_t>(size), text, length);
            break;
        }
        case kExposureTimeMax: {
            if (size != static_cast<int>(sizeof(ExposureTimeParams)) || data == nullptr) return invalidSize();
            uint8_t value = 0;
            ret = mProtocol.GetRGBMaxExposureTime(value);
            if (ret == 0) {
                ExposureTimeParams params;
                std::memcpy(&params, data, sizeof(params));
                params.exposureTime = value * 1000;
                std::memcpy(data, &params, sizeof(params));
            }
            break;
        }
        case kColorGain: {
            if (size != static_cast<int>(sizeof(float)) || data == nullptr) return invalidSize();
            float gain = 0;
            ret = mProtocol.GetRGBGain(gain);
            if (ret == 0) std::memcpy(data, &gain, sizeof(gain));
            break;
        }
        default: LOG_DEVICE(tag, "pKey:%s is not supported.", key ? key : "null"); return status::kNotMine;
    }
    if (ret == status::kInvalidParameter) return invalidSize();
    return ret;
}
