#include "Settings.h"

#include <cstring>

#include "StatusCodes.h"
#include "log.h"

namespace {

bool Convert(const Json::Value& value, bool* out) {
    if (!value.isConvertibleTo(Json::booleanValue)) return false;
    *out = value.asBool();
    return true;
}

bool Convert(const Json::Value& value, int32_t* out) {
    if (!value.isConvertibleTo(Json::intValue)) return false;
    *out = value.asInt();
    return true;
}

bool Convert(const Json::Value& value, uint32_t* out) {
    if (!value.isConvertibleTo(Json::uintValue)) return false;
    *out = value.asUInt();
    return true;
}

bool Convert(const Json::Value& value, float* out) {
    if (!value.isConvertibleTo(Json::realValue)) return false;
    *out = value.asFloat();
    return true;
}

// A text is compared with names, so a number or a flag in its place is a mistake in the file.
bool Convert(const Json::Value& value, std::string* out) {
    if (!value.isString() && !value.isNull()) return false;
    *out = value.asString();
    return true;
}

// The keys of one section; remembers whether any of them had the wrong type.
class SectionReader {
public:
    SectionReader(const Json::Value& section, const char* name, const char* tag)
        : m_section(section), m_name(name), m_tag(tag) {}

    template <typename T>
    std::optional<T> Get(const char* key) {
        const Json::Value* value = m_section.find(key, key + std::strlen(key));
        if (value == nullptr) return std::nullopt;
        T converted{};
        if (!Convert(*value, &converted)) {
            LOG_DEVICE(m_tag, "%s.%s has the wrong type", m_name, key);
            m_ok = false;
            return std::nullopt;
        }
        return converted;
    }
    bool IsNull(const char* key) const { return m_section[key].isNull(); }
    bool Ok() const { return m_ok; }

private:
    const Json::Value& m_section;
    const char* const m_name;
    const char* const m_tag;
    bool m_ok = true;
};

// An enable flag and its threshold travel as one record; an absent half counts as 0.
template <typename Record>
std::optional<Record> ReadFilterPair(SectionReader& reader, const char* enableKey, const char* thresholdKey) {
    const std::optional<bool> enable = reader.Get<bool>(enableKey);
    const std::optional<int32_t> threshold = reader.Get<int32_t>(thresholdKey);
    if (!enable && !threshold) return std::nullopt;
    Record record{};
    record.enable = enable.value_or(false);
    record.threshold = threshold.value_or(0);
    return record;
}

// A trigger signal's three keys as one record; the camera keeps 8 bits of the polarity and
// 16 of the width and the interval or delay.
std::optional<MCUParameters> ReadSignal(SectionReader& reader, uint8_t signalType, const char* polarityKey,
                                        const char* widthKey, const char* intervalKey) {
    const std::optional<uint32_t> polarity = reader.Get<uint32_t>(polarityKey);
    const std::optional<uint32_t> width = reader.Get<uint32_t>(widthKey);
    const std::optional<uint32_t> interval = reader.Get<uint32_t>(intervalKey);
    if (!polarity && !width && !interval) return std::nullopt;
    MCUParameters record{};
    record.signalType = signalType;
    record.polarity = static_cast<uint8_t>(polarity.value_or(0));
    record.width = static_cast<uint16_t>(width.value_or(0));
    record.intervalOrDelay = static_cast<uint16_t>(interval.value_or(0));
    return record;
}

void ReadExposure(SectionReader& reader, ExposureSettings* exposure) {
    if (!reader.IsNull("HDR_Mode")) exposure->hdrMode = reader.Get<bool>("HDR_Mode");
    exposure->colorExposureMode = reader.Get<std::string>("Color_ExposureMode");
    exposure->colorExposureTime = reader.Get<int32_t>("Color_ExposureTime");
    exposure->colorManualGain = reader.Get<float>("Color_ManualGain");
    exposure->tofExposureMode = reader.Get<std::string>("ToF_ExposureMode");
    exposure->tofExposureTime = reader.Get<int32_t>("ToF_ExposureTime");
}

void ReadControl(SectionReader& reader, ControlSettings* control) {
    control->colorResolution = reader.Get<std::string>("ColorResolution");
    control->frameRate = reader.Get<int32_t>("FrameRate");
    control->irGmmGain = reader.Get<int32_t>("IRGmmGain");
    control->workMode = reader.Get<std::string>("WorkMode");
}

void ReadFilter(SectionReader& reader, FilterSettings* filter) {
    filter->fillHole = reader.Get<bool>("Fillhole");
    filter->spatial = reader.Get<bool>("SpatialFilter");
    filter->confidence =
        ReadFilterPair<ConfidenceFilterParams>(reader, "ConfidenceFilter", "ConfidenceFilter_Threshold");
    filter->flyingPixel =
        ReadFilterPair<FlyingPixelFilterParams>(reader, "FlyingPixelFilter", "FlyingPixelFilter_Threshold");
    filter->time = ReadFilterPair<TimeFilterParams>(reader, "TimeFilter", "TimeFilter_Threshold");
}

void ReadSignals(SectionReader& reader, SignalSettings* signal) {
    signal->input = ReadSignal(reader, 1, "Input_polarity", "Input_width", "Input_interval");
    signal->output = ReadSignal(reader, 2, "Output_polarity", "Output_width", "Output_delay");
}

// A missing section reads as empty; anything but an object in its place is refused.
template <typename Section, typename ReadFunction>
bool ReadSection(const Json::Value& root, const char* name, const char* tag, ReadFunction read, Section* out) {
    const Json::Value& section = root[name];
    if (!section.isNull() && !section.isObject()) {
        LOG_DEVICE(tag, "%s is not an object", name);
        return false;
    }
    SectionReader reader(section, name, tag);
    read(reader, out);
    return reader.Ok();
}

}  // namespace

int ReadSettings(const Json::Value& root, const char* tag, Settings* settings) {
    // Settings are named members: an array, a plain value or an empty object names none.
    if (!root.isObject() || root.empty()) {
        LOG_DEVICE(tag, "Json file is invalid");
        return status::kInvalidParameter;
    }
    Settings read;
    const bool ok = ReadSection(root, "ExposureTime", tag, ReadExposure, &read.exposure) &&
                    ReadSection(root, "Control", tag, ReadControl, &read.control) &&
                    ReadSection(root, "Filter", tag, ReadFilter, &read.filter) &&
                    ReadSection(root, "SignalParams", tag, ReadSignals, &read.signal);
    if (!ok) return status::kInvalidParameter;
    *settings = std::move(read);
    return 0;
}
