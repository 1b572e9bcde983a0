#include "DeviceParamsConfig.h"

#include <cstdlib>
#include <variant>
#include <vector>

#include "IniConfig.h"
#include "pathtools.h"

namespace {

DeviceParamsConfig* g_Config = nullptr;

using Store = DeviceParamsConfig;
struct IntKey {
    int32_t Store::*member;
};
struct FlagKey {
    bool Store::*member;
};
struct TextKey {
    std::string Store::*member;
};
struct ListKey {
    double* (*elements)(Store&);
    int count;
};
struct SessionKey {
    const char* name;
    std::variant<IntKey, FlagKey, TextKey, ListKey> target;
};

double* IntrinsicElements(Store& s) { return s.DepthIntrinsic; }
double* DistortionElements(Store& s) { return s.DepthDistortion; }

// In the order the session section is read.
const SessionKey kSessionKeys[] = {
    {"DataMode", IntKey{&Store::DataMode}},
    {"ValidOutMode", TextKey{&Store::ValidOutMode}},
    {"DepthRange", IntKey{&Store::DepthRange}},
    {"ValidRange", TextKey{&Store::ValidRange}},
    {"RGB_Resolution", IntKey{&Store::RGB_Resolution}},
    {"BG_Threshold", IntKey{&Store::BG_Threshold}},
    {"PulseCount", IntKey{&Store::PulseCount}},
    {"GmmGain", IntKey{&Store::GmmGain}},
    {"S2_BG", FlagKey{&Store::S2_BG}},
    {"Sync", FlagKey{&Store::Sync}},
    {"MapperDepthToRGBEnabled", FlagKey{&Store::MapperDepthToRGBEnabled}},
    {"MapperRGBToDepthEnabled", FlagKey{&Store::MapperRGBToDepthEnabled}},
    {"MapperRGBToIREnabled", FlagKey{&Store::MapperRGBToIREnabled}},
    {"t1_totalRange", IntKey{&Store::t1_totalRange}},
    {"t1_range1", IntKey{&Store::t1_range1}},
    {"t1_range1Count", IntKey{&Store::t1_range1Count}},
    {"t1_range2", IntKey{&Store::t1_range2}},
    {"t1_range2Count", IntKey{&Store::t1_range2Count}},
    {"t1_range3", IntKey{&Store::t1_range3}},
    {"t1_range3Count", IntKey{&Store::t1_range3Count}},
    {"t1_threshold1", IntKey{&Store::t1_threshold1}},
    {"t1_threshold2", IntKey{&Store::t1_threshold2}},
    {"ComputeRealDepthEnabled", FlagKey{&Store::ComputeRealDepthEnabled}},
    {"DepthDistortionEnabled", FlagKey{&Store::DepthDistortionEnabled}},
    {"IRDistortionEnabled", FlagKey{&Store::IRDistortionEnabled}},
    {"RGBDistortionEnabled", FlagKey{&Store::RGBDistortionEnabled}},
    {"RGBCorrectionEnabled", FlagKey{&Store::RGBCorrectionEnabled}},
    {"SmoothingFilterEnabled", FlagKey{&Store::SmoothingFilterEnabled}},
    {"TimeFilterEnabled", FlagKey{&Store::TimeFilterEnabled}},
    {"SpatialFilterEnabled", FlagKey{&Store::SpatialFilterEnabled}},
    {"timeFilterThreshold", IntKey{&Store::timeFilterThreshold}},
    {"timeShiftRatio", IntKey{&Store::timeShiftRatio}},
    {"fillHoleThreshold", IntKey{&Store::fillHoleThreshold}},
    {"badBlockThreshold", IntKey{&Store::badBlockThreshold}},
    {"firstSpatialThreshold", IntKey{&Store::firstSpatialThreshold}},
    {"twiceSpatialThrehold", IntKey{&Store::twiceSpatialThrehold}},
    {"spatialSwitchThreshold", IntKey{&Store::spatialSwitchThreshold}},
    {"spatialSwitchThresholdEdge", IntKey{&Store::spatialSwitchThresholdEdge}},
    {"spatialCount", IntKey{&Store::spatialCount}},
    {"fillHoleCount", IntKey{&Store::fillHoleCount}},
    {"outputAscend", IntKey{&Store::outputAscend}},
    {"outofMaxRange", IntKey{&Store::outofMaxRange}},
    {"timeFilterDepth", FlagKey{&Store::timeFilterDepth}},
    {"algoType", IntKey{&Store::algoType}},
    {"DepthIntrinsic", ListKey{&IntrinsicElements, DeviceParamsConfig::kIntrinsicCount}},
    {"DepthDistortion", ListKey{&DistortionElements, DeviceParamsConfig::kDistortionCount}},
};

int32_t IntValue(const std::string& text) { return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10)); }

// The values before, between and after the commas, as reals; a text without a comma, or
// one that starts with a comma, fills nothing. At most count elements are filled.
void FillList(const std::string& text, double* elements, int count) {
    const size_t first = text.find(',');
    if (first == std::string::npos || first == 0) return;
    size_t start = 0;
    for (int i = 0; i < count && start <= text.size(); ++i) {
        size_t end = text.find(',', start);
        const std::string item = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        elements[i] = std::strtod(item.c_str(), nullptr);
        if (end == std::string::npos) break;
        start = end + 1;
    }
}

const char* IniFileName(int type) {
    switch (type) {
        case 14:
        case 15:
        case 16:
        case 17: return "config_hx11.ini";
        case 18: return "config_hx22.ini";
        case 19: return "config_hx23.ini";
        case 20: return "config_zq510.ini";
        case 21: return "config_zq520.ini";
        default: return nullptr;
    }
}

}  // namespace

DeviceParamsConfig* DeviceParamsConfig::GetInstance() {
    if (g_Config == nullptr) g_Config = new DeviceParamsConfig();
    return g_Config;
}

void DeviceParamsConfig::Release() {
    delete g_Config;
    g_Config = nullptr;
}

void DeviceParamsConfig::ReadIni(int type, int session) { ReadIni(GetConfigPath(), type, session); }

void DeviceParamsConfig::ReadIni(const std::string& configFolder, int type, int session) {
    const char* name = IniFileName(type);
    // Another model has no file: the folder itself is not a file, so nothing is read.
    const std::string path = name ? Path_MakeAbsolute(std::string("./") + name, configFolder) : configFolder;
    IniConfig ini;
    m_iniLoaded = ini.ReadINI(path);
    if (!m_iniLoaded) return;

    const std::string deviceType = ini.GetValue("settings", "DeviceType");
    if (!deviceType.empty()) DeviceType = IntValue(deviceType);
    if (type != DeviceType) m_checkedInfoOK = false;
    const std::string sessionCount = ini.GetValue("settings", "SessionCount");
    if (!sessionCount.empty()) SessionCount = IntValue(sessionCount);
    if (SessionCount < session) m_checkedInfoOK = false;
    const std::string console = ini.GetValue("settings", "LogToConsole");
    if (!console.empty()) LogToConsole = IntValue(console) != 0;
    const std::string release = ini.GetValue("settings", "ReleaseVersion");
    if (!release.empty()) ReleaseVersion = IntValue(release);

    if (m_checkedInfoOK) InitParamsFormINI(ini, session);
}

int DeviceParamsConfig::InitParamsFormINI(IniConfig& ini, int session) {
    const std::string section = "session" + std::to_string(session + 1);
    for (const SessionKey& key : kSessionKeys) {
        const std::string value = ini.GetValue(section, key.name);
        if (value.empty()) continue;
        if (auto* k = std::get_if<IntKey>(&key.target)) {
            this->*(k->member) = IntValue(value);
        } else if (auto* f = std::get_if<FlagKey>(&key.target)) {
            this->*(f->member) = IntValue(value) != 0;
        } else if (auto* t = std::get_if<TextKey>(&key.target)) {
            this->*(t->member) = value;
        } else if (auto* l = std::get_if<ListKey>(&key.target)) {
            FillList(value, l->elements(*this), l->count);
        }
    }
    return 1;
}

DeviceParamsConfig::DualFreqMode DeviceParamsConfig::GetDualFreqMode() const {
    return {t1_totalRange, t1_range1, t1_range2, t1_range3};
}

DeviceParamsConfig::FilterThreshold DeviceParamsConfig::GetFilterThreshold() const {
    const int32_t values[kFilterThresholdCount] = {timeFilterThreshold,
                                                   timeShiftRatio,
                                                   fillHoleThreshold,
                                                   badBlockThreshold,
                                                   firstSpatialThreshold,
                                                   twiceSpatialThrehold,
                                                   spatialSwitchThreshold,
                                                   spatialSwitchThresholdEdge,
                                                   spatialCount,
                                                   fillHoleCount,
                                                   outputAscend};
    FilterThreshold result{};
    for (int i = 0; i < kFilterThresholdCount; ++i) result.values[i] = static_cast<uint16_t>(values[i]);
    return result;
}
