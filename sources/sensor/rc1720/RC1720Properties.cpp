#include <cstring>

#include "PropertyKeys.h"
#include "RC1720.h"
#include "StatusCodes.h"
#include "TerminatedText.h"
#include "log.h"

namespace {

using propertykeys::Id;

constexpr int kMaxFirmwareText = 30;  // the version text's room in the camera's reply

static_assert(propertykeys::Of(Id::RGBBrightness).size == sizeof(int), "brightness data");
static_assert(propertykeys::Of(Id::ColorGain).size == sizeof(float), "gain data");
static_assert(propertykeys::Of(Id::RGBExposureTimeMax).size == sizeof(ExposureTimeParams), "exposure data");

// One property call as both directions check it: its log tag, the key's row when this
// plug-in answers it, and the refusal of a size or of data that does not fit.
class PropertyCall {
public:
    PropertyCall(const char* function, CommonControl* control, const char* key, const void* data, int size)
        : m_function(function),
          m_tag(control ? control->GetDeviceSN() : "null"),
          m_key(propertykeys::Find(key, propertykeys::Owner::ColorPlugin)),
          m_size(size) {
        if (control) LOG_DEVICE_AS(m_function, m_tag, "pKey:%s, pData:%p, dataSize:%d", key, data, size);
    }

    const propertykeys::Key* Key() const { return m_key; }
    // Whether the data fits the key's size; the ignored data of a trigger key is not read.
    bool Fits(const void* data) const {
        return m_key->Fits(m_size) && (data != nullptr || m_key->type == propertykeys::ValueType::Ignored);
    }
    int NotSupported(const char* key) const {
        LOG_DEVICE_AS(m_function, m_tag, "pKey:%s is not supported.", key ? key : "null");
        return status::kNotMine;
    }
    int InvalidSize() const {
        LOG_DEVICE_AS(m_function, m_tag, "dataSize:%d is invalid.", m_size);
        return status::kInvalidParameter;
    }
    // The sensor command's result; its refusal of the data counts as a wrong size.
    int Result(int ret) const { return ret == status::kInvalidParameter ? InvalidSize() : ret; }

private:
    const char* m_function;
    const char* m_tag;
    const propertykeys::Key* m_key;
    int m_size;
};

}  // namespace

int RC1720::SetProperty(const char* key, const void* data, int size) {
    const PropertyCall call(__func__, mCommonControl, key, data, size);
    const propertykeys::Key* entry = call.Key();
    // The firmware version only reads, and a write is refused without a line.
    if (entry != nullptr && entry->id == Id::RGBFirmwareVersion) return status::kNotMine;
    if (entry == nullptr || !entry->Sets()) return call.NotSupported(key);
    if (!call.Fits(data)) return call.InvalidSize();
    switch (entry->id) {
        case Id::RGBBrightness: {
            int value = 0;
            std::memcpy(&value, data, sizeof(value));
            return call.Result(mProtocol.SetRGBBrightness(value));
        }
        case Id::ColorGain: {
            float gain = 0;
            std::memcpy(&gain, data, sizeof(gain));
            return call.Result(mProtocol.SetRGBGain(gain));
        }
        case Id::SaveRawRGBImg:
            mSaveRawCount = 0;
            mSaveRaw = true;
            return 0;
        default: return call.NotSupported(key);  // the catalogue lets no other key through
    }
}

int RC1720::GetProperty(const char* key, void* data, int size) {
    const PropertyCall call(__func__, mCommonControl, key, data, size);
    const propertykeys::Key* entry = call.Key();
    if (entry == nullptr || !entry->Gets()) return call.NotSupported(key);
    if (!call.Fits(data)) return call.InvalidSize();
    switch (entry->id) {
        case Id::RGBBrightness: {
            int value = 0;
            const int ret = mProtocol.GetRGBBrightness(value);
            if (ret == 0) std::memcpy(data, &value, sizeof(value));
            return call.Result(ret);
        }
        case Id::RGBFirmwareVersion: {
            // The camera's text may fill all its bytes; the caller's copy always ends in a zero.
            char text[kMaxFirmwareText];
            int length = kMaxFirmwareText;
            const int ret = mProtocol.GetRGBFWVersion(text, length);
            if (ret == 0) CopyTerminatedText(static_cast<char*>(data), static_cast<size_t>(size), text, length);
            return call.Result(ret);
        }
        case Id::RGBExposureTimeMax: {
            uint8_t value = 0;
            const int ret = mProtocol.GetRGBMaxExposureTime(value);
            if (ret == 0) {
                ExposureTimeParams params;
                std::memcpy(&params, data, sizeof(params));
                params.exposureTime = value * 1000;
                std::memcpy(data, &params, sizeof(params));
            }
            return call.Result(ret);
        }
        case Id::ColorGain: {
            float gain = 0;
            const int ret = mProtocol.GetRGBGain(gain);
            if (ret == 0) std::memcpy(data, &gain, sizeof(gain));
            return call.Result(ret);
        }
        default: return call.NotSupported(key);  // the catalogue lets no other key through
    }
}
