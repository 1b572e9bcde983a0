#include "DataFrame.h"

#include <stdexcept>

#include "ColourRecords.h"
#include "HostRecords.h"
#include "ToFRecords.h"

namespace camsim {

namespace {

// The binned data modes, whose ToF records are 320 x 240.
bool IsBinnedMode(uint8_t dataMode) { return dataMode >= 14 && dataMode <= 18; }

uint8_t EffectiveDepthRange(const FrameParams& params) {
    if (params.alternateDepthRange > 0x0F) {
        throw std::invalid_argument("alternate depth range does not fit 4 bits");
    }
    const bool alternate = params.alternateDepthRange >= 0 && params.frameCounter % 2 == 1;
    return alternate ? static_cast<uint8_t>(params.alternateDepthRange) : params.depthRange;
}

}  // namespace

DataFrameBuilder::DataFrameBuilder()
    : m_tof(std::make_unique<ToFRecords>()), m_colour(std::make_unique<ColourRecords>()) {}

DataFrameBuilder::~DataFrameBuilder() = default;

void DataFrameBuilder::Build(const FrameParams& params, std::vector<uint8_t>& out) {
    out.clear();
    AppendTimestampRecord(out, params.timestamp);
    if (!params.errors.empty()) {
        AppendErrorListRecord(out, params.errors);
    }
    const bool binned = IsBinnedMode(params.dataMode);
    switch (params.tofKind) {
        case ToFRecordKind::Computed:
            m_tof->AppendComputed(out, params.scene, binned, EffectiveDepthRange(params));
            break;
        case ToFRecordKind::Raw:
            m_tof->AppendRaw(out, params.scene, binned, EffectiveDepthRange(params), params.temperatureRaw,
                             params.exposureTime);
            break;
        case ToFRecordKind::None: break;
    }
    if (params.colour) {
        m_colour->Append(out, params.scene, params.colourResolution, params.colourExposure);
    }
    if (out.size() > kMaxDataFramePayload) {
        throw std::length_error("data frame larger than the host's receive buffer");
    }
}

std::vector<uint8_t> BuildDataFramePayload(const FrameParams& params) {
    DataFrameBuilder builder;
    std::vector<uint8_t> out;
    builder.Build(params, out);
    return out;
}

}  // namespace camsim
