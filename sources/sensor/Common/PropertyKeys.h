// Every property key the kit and its plug-ins answer: its text, the size and type of its data,
// the directions it is answered in and the part that answers it. The parts look their keys up
// here and check sizes against it; what a wrong size gives stays each part's own rule.
#pragma once

#include <cstddef>
#include <cstring>

namespace propertykeys {

// A key's identity in the dispatch of the part that answers it.
enum class Id {
    // the manager
    IPNotMatchByURI,
    IPNotMatchBySN,
    IPNotMatchByIP,
    // the base device
    Intrinsic,
    Distortion,
    Rotation,
    Translation,
    Serialnumber,
    MACAddress,
    DHCPEnable,
    SubnetMask,
    IP,
    FactoryMode,
    MCUparameters,
    // every device with a ToF sensor
    DepthFrameEnable,
    IRFrameEnable,
    ConfidenceFrameEnable,
    ToFDistortionCorrectionEnabled,
    DataMode,
    JsonPath,
    // the colour device
    RGBFrameEnable,
    RGBDistortionCorrectionEnabled,
    // the ToF plug-in
    TemperatureOffsetEnable,
    WDRStyle,
    Register,
    DualFreqParams,
    MeasuringRange,
    DepthRange,
    LDState,
    CDMAEnable,
    APCState,
    LDDriverChipType,
    LDType,
    DepthRangeList,
    DataModeList,
    DSP,
    TransferFile,
    IRPixelFormat,
    SaveRawToFImg,
    ToFExposureTimeMax,
    TestMode,
    HDRExposureTime,
    PhaseTiming,
    IRBG,
    // the colour plug-in
    RGBBrightness,
    RGBFirmwareVersion,
    SaveRawRGBImg,
    RGBExposureTimeMax,
    RGBVersion,
    ColorGain,
};

enum class Owner {
    Manager,       // needs no device: the camera list
    BaseDevice,    // every device, before its class's keys
    SensorDevice,  // every device with a ToF sensor, before its plug-ins
    ColorDevice,   // the device of a camera with a colour sensor
    ToFPlugin,
    ColorPlugin,
};

enum class Direction { None, Get, Set, Both };

// How `size` bounds the data.
enum class SizeRule {
    Exact,
    AtLeast,
    UpTo,       // 1 to size bytes
    Any,        // not checked; size is 0
    AfterText,  // size bytes follow a text that ends within the data
};

enum class ValueType {
    Byte,  // uint8, a switch: non-zero on
    Int32,
    Float,
    Text,     // char[]
    Record,   // a struct or an array
    Ignored,  // the call alone counts
};

struct Key {
    Id id;
    const char* name;
    int size;
    SizeRule rule;
    ValueType type;
    Direction direction;
    Owner owner;

    constexpr bool Gets() const { return direction == Direction::Get || direction == Direction::Both; }
    constexpr bool Sets() const { return direction == Direction::Set || direction == Direction::Both; }
    // For an AfterText key `dataSize` counts the bytes after the text.
    constexpr bool Fits(int dataSize) const {
        switch (rule) {
            case SizeRule::Exact:
            case SizeRule::AfterText: return dataSize == size;
            case SizeRule::AtLeast: return dataSize >= size;
            case SizeRule::UpTo: return dataSize >= 1 && dataSize <= size;
            case SizeRule::Any: return true;
        }
        return false;
    }
};

// One row per key and part that answers it. "Py_DataMode" has two: every device with a ToF
// sensor sets it first (a change drops the frames cached for the old mode), and the ToF
// plug-in answers it both ways.
// clang-format off
inline constexpr Key kKeys[] = {
    {Id::IPNotMatchByURI,                "Py_IPNotMatchByURI",                32,   SizeRule::AfterText, ValueType::Text,    Direction::Get,  Owner::Manager},
    {Id::IPNotMatchBySN,                 "Py_IPNotMatchBySN",                 32,   SizeRule::AfterText, ValueType::Text,    Direction::Get,  Owner::Manager},
    {Id::IPNotMatchByIP,                 "Py_IPNotMatchByIP",                 32,   SizeRule::AfterText, ValueType::Text,    Direction::Get,  Owner::Manager},

    {Id::Intrinsic,                      "Py_Intrinsic",                      76,   SizeRule::Exact,     ValueType::Record,  Direction::Both, Owner::BaseDevice},
    {Id::Distortion,                     "Py_Distortion",                     68,   SizeRule::Exact,     ValueType::Record,  Direction::Both, Owner::BaseDevice},
    {Id::Rotation,                       "Py_Rotation",                       72,   SizeRule::Exact,     ValueType::Record,  Direction::Both, Owner::BaseDevice},
    {Id::Translation,                    "Py_Translation",                    24,   SizeRule::Exact,     ValueType::Record,  Direction::Both, Owner::BaseDevice},
    {Id::Serialnumber,                   "Py_Serialnumber",                   17,   SizeRule::AtLeast,   ValueType::Text,    Direction::Both, Owner::BaseDevice},
    {Id::MACAddress,                     "Py_MACAddress",                     0,    SizeRule::Any,       ValueType::Text,    Direction::Both, Owner::BaseDevice},
    {Id::DHCPEnable,                     "Py_DHCPEnable",                     1,    SizeRule::Exact,     ValueType::Byte,    Direction::Both, Owner::BaseDevice},
    {Id::SubnetMask,                     "Py_SubnetMask",                     0,    SizeRule::Any,       ValueType::Text,    Direction::Both, Owner::BaseDevice},
    {Id::IP,                             "Py_IP",                             0,    SizeRule::Any,       ValueType::Text,    Direction::Both, Owner::BaseDevice},
    {Id::FactoryMode,                    "Py_FactoryMode",                    20,   SizeRule::Exact,     ValueType::Record,  Direction::Both, Owner::BaseDevice},
    {Id::MCUparameters,                  "Py_MCUparameters",                  6,    SizeRule::Exact,     ValueType::Record,  Direction::Both, Owner::BaseDevice},

    {Id::DepthFrameEnable,               "Py_DepthFrameEnable",               1,    SizeRule::Exact,     ValueType::Byte,    Direction::Both, Owner::SensorDevice},
    {Id::IRFrameEnable,                  "Py_IRFrameEnable",                  1,    SizeRule::Exact,     ValueType::Byte,    Direction::Both, Owner::SensorDevice},
    {Id::ConfidenceFrameEnable,          "Py_ConfidenceFrameEnable",          1,    SizeRule::Exact,     ValueType::Byte,    Direction::Both, Owner::SensorDevice},
    {Id::ToFDistortionCorrectionEnabled, "Py_ToFDistortionCorrectionEnabled", 1,    SizeRule::Exact,     ValueType::Byte,    Direction::Both, Owner::SensorDevice},
    {Id::DataMode,                       "Py_DataMode",                       4,    SizeRule::Exact,     ValueType::Int32,   Direction::Set,  Owner::SensorDevice},
    {Id::JsonPath,                       "Py_JsonPath",                       1024, SizeRule::UpTo,      ValueType::Text,    Direction::Set,  Owner::SensorDevice},

    {Id::RGBFrameEnable,                 "Py_RGBFrameEnable",                 1,    SizeRule::Exact,     ValueType::Byte,    Direction::Both, Owner::ColorDevice},
    {Id::RGBDistortionCorrectionEnabled, "Py_RGBDistortionCorrectionEnabled", 1,    SizeRule::Exact,     ValueType::Byte,    Direction::Both, Owner::ColorDevice},

    {Id::TemperatureOffsetEnable,        "Py_TemperatureOffsetEnable",        1,    SizeRule::Exact,     ValueType::Byte,    Direction::Set,  Owner::ToFPlugin},
    {Id::WDRStyle,                       "Py_WDRStyle",                       1,    SizeRule::Exact,     ValueType::Byte,    Direction::Set,  Owner::ToFPlugin},
    {Id::Register,                       "Py_Register",                       4,    SizeRule::Exact,     ValueType::Record,  Direction::Both, Owner::ToFPlugin},
    {Id::DualFreqParams,                 "Py_DualFreqParams",                 16,   SizeRule::Exact,     ValueType::Record,  Direction::Both, Owner::ToFPlugin},
    {Id::MeasuringRange,                 "Py_MeasuringRange",                 7,    SizeRule::Exact,     ValueType::Record,  Direction::Both, Owner::ToFPlugin},
    {Id::DataMode,                       "Py_DataMode",                       4,    SizeRule::Exact,     ValueType::Int32,   Direction::Both, Owner::ToFPlugin},
    {Id::DepthRange,                     "Py_DepthRange",                     4,    SizeRule::Exact,     ValueType::Int32,   Direction::Both, Owner::ToFPlugin},
    {Id::LDState,                        "Py_LDState",                        4,    SizeRule::Exact,     ValueType::Int32,   Direction::Both, Owner::ToFPlugin},
    {Id::CDMAEnable,                     "Py_CDMAEnable",                     4,    SizeRule::Exact,     ValueType::Int32,   Direction::Both, Owner::ToFPlugin},
    {Id::APCState,                       "Py_APCState",                       4,    SizeRule::Exact,     ValueType::Int32,   Direction::Both, Owner::ToFPlugin},
    {Id::LDDriverChipType,               "Py_LDDriverChipType",               4,    SizeRule::Exact,     ValueType::Int32,   Direction::Both, Owner::ToFPlugin},
    {Id::LDType,                         "Py_LDType",                         4,    SizeRule::Exact,     ValueType::Int32,   Direction::Both, Owner::ToFPlugin},
    {Id::DepthRangeList,                 "Py_DepthRangeList",                 10,   SizeRule::Exact,     ValueType::Record,  Direction::Both, Owner::ToFPlugin},
    {Id::DataModeList,                   "Py_DataModeList",                   33,   SizeRule::Exact,     ValueType::Record,  Direction::Both, Owner::ToFPlugin},
    {Id::DSP,                            "Py_DSP",                            8,    SizeRule::Exact,     ValueType::Record,  Direction::Both, Owner::ToFPlugin},
    {Id::TransferFile,                   "Py_TransferFile",                   284,  SizeRule::Exact,     ValueType::Record,  Direction::Both, Owner::ToFPlugin},
    {Id::IRPixelFormat,                  "Py_IRPixelFormat",                  4,    SizeRule::Exact,     ValueType::Int32,   Direction::Set,  Owner::ToFPlugin},
    {Id::SaveRawToFImg,                  "Py_SaveRawToFImg",                  0,    SizeRule::Any,       ValueType::Ignored, Direction::Set,  Owner::ToFPlugin},
    {Id::ToFExposureTimeMax,             "Py_ToFExposureTimeMax",             8,    SizeRule::Exact,     ValueType::Record,  Direction::Get,  Owner::ToFPlugin},
    {Id::TestMode,                       "Py_TestMode",                       20,   SizeRule::Exact,     ValueType::Record,  Direction::Set,  Owner::ToFPlugin},
    {Id::HDRExposureTime,                "Py_HDRExposureTime",                8,    SizeRule::Exact,     ValueType::Record,  Direction::Both, Owner::ToFPlugin},
    {Id::PhaseTiming,                    "Py_PhaseTiming",                    0,    SizeRule::Any,       ValueType::Ignored, Direction::None, Owner::ToFPlugin},
    {Id::IRBG,                           "Py_IRBG",                           0,    SizeRule::Any,       ValueType::Ignored, Direction::None, Owner::ToFPlugin},

    {Id::RGBBrightness,                  "Py_RGBBrightness",                  4,    SizeRule::Exact,     ValueType::Int32,   Direction::Both, Owner::ColorPlugin},
    {Id::RGBFirmwareVersion,             "Py_RGBFirmwareVersion",             20,   SizeRule::AtLeast,   ValueType::Text,    Direction::Get,  Owner::ColorPlugin},
    {Id::SaveRawRGBImg,                  "Py_SaveRawRGBImg",                  0,    SizeRule::Any,       ValueType::Ignored, Direction::Set,  Owner::ColorPlugin},
    {Id::RGBExposureTimeMax,             "Py_RGBExposureTimeMax",             8,    SizeRule::Exact,     ValueType::Record,  Direction::Get,  Owner::ColorPlugin},
    {Id::RGBVersion,                     "Py_RGBVersion",                     0,    SizeRule::Any,       ValueType::Ignored, Direction::None, Owner::ColorPlugin},
    {Id::ColorGain,                      "Py_ColorGain",                      4,    SizeRule::Exact,     ValueType::Float,   Direction::Both, Owner::ColorPlugin},
};
// clang-format on

// The first row of a key; used with constant ids, where a missing row fails the build.
constexpr const Key& Of(Id id) {
    size_t row = 0;
    while (kKeys[row].id != id) ++row;
    return kKeys[row];
}

// The row of the key `name` that `owner` answers; null when it answers no such key.
inline const Key* Find(const char* name, Owner owner) {
    if (name == nullptr) return nullptr;
    for (const Key& key : kKeys)
        if (key.owner == owner && std::strcmp(key.name, name) == 0) return &key;
    return nullptr;
}

namespace check {

constexpr bool SameText(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) ++a, ++b;
    return *a == *b;
}

// A second row for one part would never be found; rows of one key must agree on its data.
constexpr bool RowsAgree() {
    for (const Key& a : kKeys)
        for (const Key& b : kKeys) {
            if (&a == &b) continue;
            const bool sameKey = a.id == b.id;
            if (sameKey != SameText(a.name, b.name)) return false;
            if (sameKey && (a.owner == b.owner || a.size != b.size || a.rule != b.rule || a.type != b.type))
                return false;
        }
    return true;
}

static_assert(RowsAgree(), "each part answers a key once, and one key has one text, size and type");

}  // namespace check

}  // namespace propertykeys
