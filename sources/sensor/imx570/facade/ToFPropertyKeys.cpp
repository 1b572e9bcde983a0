#include "ToFPropertyKeys.h"

#include <map>
#include <string>

namespace {

using Key = ToFPropertyKey;

// Built when the library loads and only read afterwards. Sizes are the bytes of each key's data record.
const std::map<std::string, ToFPropertyKey> kKeys = {
    {"Py_TemperatureOffsetEnable", {ToFKey::TemperatureOffsetEnable, 1, true, false}},
    {"Py_WDRStyle", {ToFKey::WDRStyle, 1, true, false}},
    {"Py_Register", {ToFKey::Register, 4, true, true}},
    {"Py_DualFreqParams", {ToFKey::DualFreqParams, 16, true, true}},
    {"Py_MeasuringRange", {ToFKey::MeasuringRange, 7, true, true}},
    {"Py_DataMode", {ToFKey::DataMode, 4, true, true}},
    {"Py_DepthRange", {ToFKey::DepthRange, 4, true, true}},
    {"Py_LDState", {ToFKey::LDState, 4, true, true}},
    {"Py_CDMAEnable", {ToFKey::CDMAEnable, 4, true, true}},
    {"Py_APCState", {ToFKey::APCState, 4, true, true}},
    {"Py_LDDriverChipType", {ToFKey::LDDriverChipType, 4, true, true}},
    {"Py_LDType", {ToFKey::LDType, 4, true, true}},
    {"Py_DepthRangeList", {ToFKey::DepthRangeList, 10, true, true}},
    {"Py_DataModeList", {ToFKey::DataModeList, 33, true, true}},
    {"Py_DSP", {ToFKey::DSP, 8, true, true}},
    {"Py_TransferFile", {ToFKey::TransferFile, 284, true, true}},
    {"Py_IRPixelFormat", {ToFKey::IRPixelFormat, 4, true, false}},
    {"Py_SaveRawToFImg", {ToFKey::SaveRawToFImg, Key::kAnySize, true, false}},
    {"Py_ToFExposureTimeMax", {ToFKey::ToFExposureTimeMax, 8, false, true}},
    {"Py_TestMode", {ToFKey::TestMode, 20, true, false}},
    {"Py_HDRExposureTime", {ToFKey::HDRExposureTime, 8, true, true}},
    // Known, but neither direction handles them.
    {"Py_PhaseTiming", {ToFKey::PhaseTiming, Key::kAnySize, false, false}},
    {"Py_IRBG", {ToFKey::IRBG, Key::kAnySize, false, false}},
};

}  // namespace

const ToFPropertyKey* FindToFPropertyKey(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const auto found = kKeys.find(text);
    return found == kKeys.end() ? nullptr : &found->second;
}
