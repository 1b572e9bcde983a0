#include "Filter.h"

#include <algorithm>

#include "ConfidenceTable.h"
#include "DepthPlane.h"
#include "StatusCodes.h"
#include "log.h"
#include "pathtools.h"

namespace {

constexpr uint16_t kInvalid = 0xFFFF;
constexpr char kConfidenceFactorFile[] = "ConfidenceFactor.bin";
// Depths outside these bounds fail the confidence filter whatever their amplitude.
constexpr uint32_t kConfidenceNearest = 100;
constexpr uint32_t kConfidenceFarthest = 4999;
constexpr uint32_t kMinAmplitude = 10;    // weaker returns give no usable phase at any depth
constexpr unsigned kAmplitudeShift = 13;  // the per-pixel factors are fixed point, 8192 for 1.0
constexpr uint32_t kPercent = 100;        // the amplitude as a percentage of the table's at that depth

uint16_t Saturate16(unsigned value) { return value > 0xFFFFu ? uint16_t{0xFFFF} : static_cast<uint16_t>(value); }

// The temporal filter's blend. (p * 2^k - p + c) >> k is p + ((c - p) >> k) with an
// arithmetic shift, since p * 2^k is a whole multiple of 2^k: exact for every k in 32 bits.
void BlendWithHistory(uint16_t* current, uint16_t* history, uint32_t count, unsigned k, unsigned shift,
                      DepthLimits limits) {
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t p = history[i];
        const int32_t c = current[i];
        const int32_t diff = p > c ? p - c : c - p;
        const int32_t mostlyPrevious = p + ((c - p) >> k);
        const int32_t average = (p + c) >> 1;
        const int32_t mostlyCurrent = c + ((p - c) >> k);
        int32_t blended = diff < (c >> (shift - 2)) ? mostlyCurrent : c;
        blended = diff < (c >> (shift - 1)) ? average : blended;
        blended = diff < (c >> shift) ? mostlyPrevious : blended;
        const bool inside = limits.Within(static_cast<uint32_t>(p)) && limits.Within(static_cast<uint32_t>(c));
        const uint16_t value = static_cast<uint16_t>(inside ? blended : c);
        current[i] = value;
        history[i] = value;
    }
}

// One pass of the confidence filter; `CheckExposure` false when the exposure limit cannot fail.
template <bool CheckExposure>
void CheckConfidence(uint16_t* depth, const uint16_t* amplitude, const uint16_t* factor, uint32_t count, float limit) {
    const uint16_t* table = pConfidenceTab().data();
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t d = depth[i];
        // Two 16-bit values: the product is exact in 32 unsigned bits.
        const uint32_t a = (static_cast<uint32_t>(factor[i]) * amplitude[i]) >> kAmplitudeShift;
        bool weak = a < kMinAmplitude;
        if (CheckExposure) {
            const uint32_t index = std::min(std::max(d, kConfidenceNearest), kConfidenceFarthest) -
                                   static_cast<uint32_t>(kConfidenceTabFirstDepth);
            weak = weak || limit > static_cast<float>(a * kPercent) / static_cast<float>(table[index]);
        }
        uint16_t out = weak || d > kConfidenceFarthest ? kInvalid : static_cast<uint16_t>(d);
        out = d < kConfidenceNearest ? uint16_t{0} : out;
        depth[i] = out;
    }
}

}  // namespace

Filter::Filter(const std::string& calibrationFolder) { LoadConfidenceFactors(calibrationFolder); }

Filter::~Filter() = default;

void Filter::LoadConfidenceFactors(const std::string& calibrationFolder) {
    const std::string path = Path_Join(calibrationFolder, kConfidenceFactorFile);
    // A shorter file fills the leading factors; the rest stay 0 and fail the filter.
    m_confidenceFactor.assign(kFactorCount, 0);
    unsigned int length = kFactorCount * sizeof(uint16_t);
    if (!ReadData(path.c_str(), reinterpret_cast<unsigned char*>(m_confidenceFactor.data()), length)) {
        LOG_PRINTF("%s is not loaded, confidence filter off", path.c_str());
        m_confidenceFactor.clear();
        m_confidenceFactor.shrink_to_fit();
    }
}

template <typename Record>
Record Filter::Snapshot(const Record& record) const {
    std::lock_guard<std::mutex> lock(m_paramLock);
    return record;
}

template <typename Record>
int Filter::Store(Record& target, const Record& value) {
    std::lock_guard<std::mutex> lock(m_paramLock);
    target = value;
    return 0;
}

template <typename Record>
int Filter::Load(const Record& source, Record* out, const char* getter) const {
    if (out == nullptr) {
        LOG_PRINTF("%s: params is null", getter);
        return status::kInvalidParameter;
    }
    *out = Snapshot(source);
    return 0;
}

int Filter::SetTimeFilterParams(TimeFilterParams params) { return Store(m_timeParams, params); }
int Filter::GetTimeFilterParams(TimeFilterParams* params) const { return Load(m_timeParams, params, __func__); }
int Filter::SetConfidenceFilterParams(ConfidenceFilterParams params) { return Store(m_confidenceParams, params); }
int Filter::GetConfidenceFilterParams(ConfidenceFilterParams* params) const {
    return Load(m_confidenceParams, params, __func__);
}
int Filter::SetFlyingPixelFilterParams(FlyingPixelFilterParams params) { return Store(m_flyingPixelParams, params); }
int Filter::GetFlyingPixelFilterParams(FlyingPixelFilterParams* params) const {
    return Load(m_flyingPixelParams, params, __func__);
}
int Filter::SetSpatialFilterParams(SpatialFilterParams params) { return Store(m_spatialParams, params); }
int Filter::GetSpatialFilterParams(SpatialFilterParams* params) const {
    return Load(m_spatialParams, params, __func__);
}
int Filter::SetFillHoleFilterParams(FillHoleFilterParams params) { return Store(m_fillHoleParams, params); }
int Filter::GetFillHoleFilterParams(FillHoleFilterParams* params) const {
    return Load(m_fillHoleParams, params, __func__);
}

int Filter::SetMeasuringRange(int range, unsigned max, unsigned min) {
    std::lock_guard<std::mutex> lock(m_paramLock);
    m_range = range;
    m_limits.maxDepth = Saturate16(max);
    m_limits.minDepth = Saturate16(min);
    return 0;
}

DepthLimits Filter::SnapshotLimits() const { return Snapshot(m_limits); }

void Filter::TimeFilter(Frame& depth) {
    const TimeFilterParams params = Snapshot(m_timeParams);
    if (params.enable == 0) {
        return;
    }
    const DepthLimits limits = SnapshotLimits();
    const DepthPlane plane = DepthPlane::Of(depth);
    const uint32_t count = plane.Count();
    if (count != m_history.size()) {
        m_history.assign(plane.pixels, plane.pixels + count);
        return;
    }
    const unsigned k = static_cast<uint32_t>(params.threshold) & 31u;
    BlendWithHistory(plane.pixels, m_history.data(), count, k, m_timeShift, limits);
}

void Filter::Depth(Frame& depth) {
    FlyingPixelFilterParams flying;
    SpatialFilterParams spatial;
    FillHoleFilterParams fillHole;
    DepthLimits limits;
    {
        std::lock_guard<std::mutex> lock(m_paramLock);
        flying = m_flyingPixelParams;
        spatial = m_spatialParams;
        fillHole = m_fillHoleParams;
        limits = m_limits;
    }
    const DepthPlane plane = DepthPlane::Of(depth);
    if (flying.enable != 0) {
        m_flyingPixel.Apply(plane, flying.threshold);
    }
    if (spatial.enable != 0) {
        m_spatial.Apply(plane, spatial, limits);
    }
    if (fillHole.enable != 0) {
        m_fillHole.Apply(plane, fillHole, limits);
    }
}

void Filter::FlyingPixelFilter(Frame& depth) {
    const FlyingPixelFilterParams params = Snapshot(m_flyingPixelParams);
    if (params.enable != 0) {
        m_flyingPixel.Apply(DepthPlane::Of(depth), params.threshold);
    }
}

void Filter::SpatialFilter(Frame& depth) {
    const SpatialFilterParams params = Snapshot(m_spatialParams);
    if (params.enable != 0) {
        m_spatial.Apply(DepthPlane::Of(depth), params, SnapshotLimits());
    }
}

void Filter::FillHoleFilter(Frame& depth) {
    const FillHoleFilterParams params = Snapshot(m_fillHoleParams);
    if (params.enable != 0) {
        m_fillHole.Apply(DepthPlane::Of(depth), params, SnapshotLimits());
    }
}

void Filter::ConfidenceFilter(Frame& depth, const Frame& confidence) {
    const ConfidenceFilterParams params = Snapshot(m_confidenceParams);
    if (params.enable == 0 || m_confidenceFactor.empty()) {
        return;
    }
    const DepthPlane plane = DepthPlane::Of(depth);
    const uint32_t count =
        std::min({plane.Count(), DepthPlane::CountOf(confidence), static_cast<uint32_t>(m_confidenceFactor.size())});
    const auto* amplitude = reinterpret_cast<const uint16_t*>(confidence.data);
    const float limit = confidence.exposureTime / 1000000.0f * static_cast<float>(params.threshold);
    // The amplitude side is never negative, so a limit of 0 or below (exposure 0) never fails.
    if (limit > 0.0f) {
        CheckConfidence<true>(plane.pixels, amplitude, m_confidenceFactor.data(), count, limit);
    } else {
        CheckConfidence<false>(plane.pixels, amplitude, m_confidenceFactor.data(), count, limit);
    }
}
