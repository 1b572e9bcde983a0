#include "ToFRecords.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "LittleEndian.h"
#include "RecordEnvelope.h"

namespace camsim {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Phase-to-millimetre factor of each depth range.
constexpr float kPhaseFactor[kRawDepthRanges] = {198.80605f, 298.20908f, 397.6121f, 497.0151f, 596.41815f, 1192.8363f};

// Mean tap level of the quadrature phases 1 and 3; they do not enter IR, so
// they sit mid-scale and leave room for the whole Q swing in one phase.
constexpr int kQuadratureMean = 2048;

// Where a raw record's payload puts each phase block and the bytes that overwrite pixels in it;
// the offsets are the record's wire layout.
struct RawLayout {
    int width;
    int height;
    size_t blockSize;
    size_t markers[4];
    size_t temperatureHigh;
    size_t temperatureLow;
    size_t exposure[4];  // all 0: no exposure bytes
};

constexpr RawLayout kRawFull = {640,     480,     1236480,     {1231433, 2467913, 3704393, 4940873},
                                1233977, 1233981, {0, 0, 0, 0}};
constexpr RawLayout kRawBinned = {
    320, 240, 311040, {308553, 619593, 930633, 1241673}, 309817, 309821, {313717, 313721, 313725, 313729}};

const RawLayout& Layout(bool binned) { return binned ? kRawBinned : kRawFull; }

// Signal strength of a pixel: nearer surfaces return more light. It sets the IR
// and confidence values and keeps the raw taps within 12 bits.
int Amplitude(uint16_t depth) { return 1000 - std::min<int>(depth, 8000) / 40; }

// Depth offset that the host derives from the sensor temperature word: the word's 10 bits
// give the temperature, and a straight line per range (range 0 its own) gives the offset in mm.
int TemperatureOffset(uint16_t temperatureRaw, uint8_t depthRange) {
    const int raw = temperatureRaw & 0x3FF;
    const int t = static_cast<int>((10.0 * raw - 2960.0) / 5.4 + 250.0);
    const float tf = static_cast<float>(t);
    if (depthRange == 0) {
        return static_cast<int>(tf * -1.9f / 10.0f + 129.51576f + 0.5f);
    }
    return static_cast<int>(tf * -3.4139f / 10.0f + 196.45f + 0.5f);
}

void PutTap(uint8_t* payload, const RawLayout& layout, int phase, size_t pixel, int a, int b) {
    uint8_t* at = payload + phase * layout.blockSize + pixel * 4;
    PutLe16(at, static_cast<uint16_t>(a << 4));
    PutLe16(at + 2, static_cast<uint16_t>(b << 4));
}

// Pixel of a phase block that holds the given payload offset.
size_t PixelAt(const RawLayout& layout, size_t offset) { return (offset % layout.blockSize) / 4; }

bool IsExposurePixel(const RawLayout& layout, size_t pixel) {
    for (size_t offset : layout.exposure) {
        if (offset != 0 && PixelAt(layout, offset) == pixel) {
            return true;
        }
    }
    return false;
}

std::vector<uint8_t> BuildRawPayload(const Scene& scene, bool binned, uint8_t depthRange, uint16_t temperatureRaw) {
    const RawLayout& layout = Layout(binned);
    std::vector<uint8_t> payload(4 * layout.blockSize, 0);
    const double factor = kPhaseFactor[depthRange];
    const double period = kTwoPi * factor;
    const int offset = TemperatureOffset(temperatureRaw, depthRange);
    size_t pixel = 0;
    for (int y = 0; y < layout.height; ++y) {
        for (int x = 0; x < layout.width; ++x, ++pixel) {
            const uint16_t depth = scene.DepthAt(x, y, layout.width, layout.height);
            // The host adds the temperature offset to phase x factor, truncating;
            // aim at the middle of the millimetre.
            double wrapped = std::fmod(depth - offset + 0.5, period);
            if (wrapped < 0) {
                wrapped += period;
            }
            const double phase = wrapped / factor;
            const int s = Amplitude(depth);
            // I = 4u drives atan2's first argument, Q = 4v its second.
            const int u = static_cast<int>(std::lround(s * std::sin(phase)));
            const int v = static_cast<int>(std::lround(s * std::cos(phase)));
            PutTap(payload.data(), layout, 0, pixel, s + u, s - u);
            PutTap(payload.data(), layout, 2, pixel, s - u, s + u);
            if (IsExposurePixel(layout, pixel)) {
                // The exposure bytes overwrite tap A of phase 1 here; tap B copies
                // it per frame, so phase 1 adds nothing and phase 3 carries all of Q.
                PutTap(payload.data(), layout, 1, pixel, kQuadratureMean, kQuadratureMean);
                PutTap(payload.data(), layout, 3, pixel, kQuadratureMean - 2 * v, kQuadratureMean + 2 * v);
            } else {
                PutTap(payload.data(), layout, 1, pixel, kQuadratureMean + v, kQuadratureMean - v);
                PutTap(payload.data(), layout, 3, pixel, kQuadratureMean - v, kQuadratureMean + v);
            }
        }
    }
    for (int phase = 0; phase < 4; ++phase) {
        payload[layout.markers[phase]] = static_cast<uint8_t>(phase);
    }
    payload[layout.temperatureHigh] = static_cast<uint8_t>((temperatureRaw >> 8) & 0x3);  // bits 8-9
    payload[layout.temperatureLow] = static_cast<uint8_t>(temperatureRaw);
    return payload;
}

std::vector<uint8_t> BuildComputedPayload(const Scene& scene, bool binned) {
    const int width = binned ? 320 : 640;
    const int height = binned ? 240 : 480;
    const size_t n = static_cast<size_t>(width) * height;
    std::vector<uint8_t> payload(5 * n);
    uint8_t* depthPlane = payload.data();
    uint8_t* irPlane = depthPlane + 2 * n;
    uint8_t* confidencePlane = irPlane + n;
    size_t i = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, ++i) {
            const uint16_t depth = scene.DepthAt(x, y, width, height);
            const int s = Amplitude(depth);
            PutLe16(depthPlane + 2 * i, depth);
            irPlane[i] = static_cast<uint8_t>(s / 4);
            PutLe16(confidencePlane + 2 * i, static_cast<uint16_t>(4 * s));
        }
    }
    return payload;
}

// The sensor counts exposure in clock ticks, 120 per microsecond.
uint32_t ExposureCount(uint32_t exposureTime) {
    const uint64_t count = static_cast<uint64_t>(exposureTime) * 120;
    if (count > 0xFFFFFFFFu) {
        throw std::invalid_argument("exposure time too long for the sensor count");
    }
    return static_cast<uint32_t>(count);
}

// Writes the count most significant byte first, then makes tap B of each
// overwritten pixel equal its tap A.
void PatchExposure(uint8_t* payload, uint32_t count) {
    const RawLayout& layout = kRawBinned;
    uint8_t bytes[4];
    PutLe32(bytes, count);
    for (int i = 0; i < 4; ++i) {
        const size_t offset = layout.exposure[i];
        payload[offset] = bytes[3 - i];
        uint8_t* tapA = payload + offset - offset % 4;
        tapA[2] = tapA[0];
        tapA[3] = tapA[1];
    }
}

}  // namespace

uint16_t UnambiguousDistanceMm(uint8_t depthRange) {
    if (depthRange >= kRawDepthRanges) {
        throw std::invalid_argument("raw records exist for depth ranges 0 to 5 only");
    }
    return static_cast<uint16_t>(std::lround(kTwoPi * kPhaseFactor[depthRange]));
}

std::string DepthRangesHelp() {
    std::string text;
    for (uint8_t range = 0; range < kRawDepthRanges; ++range) {
        text += "  " + std::to_string(range) + "  up to " + std::to_string(UnambiguousDistanceMm(range)) + " mm\n";
    }
    return text;
}

std::string RawWrapNotice(const Scene& scene, uint8_t depthRange) {
    const int farthest = scene.FarthestMm();
    const int distance = UnambiguousDistanceMm(depthRange);
    if (farthest <= distance) {
        return "";
    }
    return "the scene reaches " + std::to_string(farthest) + " mm, beyond depth range " + std::to_string(depthRange) +
           "'s " + std::to_string(distance) + " mm: raw depth wraps there (" + std::to_string(farthest) +
           " mm reads about " + std::to_string(farthest % distance) + " mm)";
}

void ToFRecords::AppendComputed(std::vector<uint8_t>& out, const Scene& scene, bool binned, uint8_t depthRange) {
    if (depthRange > 0x0F) {
        throw std::invalid_argument("depth range does not fit 4 bits");
    }
    if (!m_computed || m_computed->scene != scene || m_computed->binned != binned) {
        m_computed.reset();  // drop the old planes before building the new ones
        m_computed.emplace(Entry{scene, binned, 0, 0, BuildComputedPayload(scene, binned)});
    }
    const std::vector<uint8_t>& payload = m_computed->payload;
    AppendRecordHead(out, binned ? kComputedBinnedRecordType : kComputedFullRecordType,
                     static_cast<uint32_t>(payload.size()), depthRange);
    out.insert(out.end(), payload.begin(), payload.end());
}

const std::vector<uint8_t>& ToFRecords::RawPayload(const Scene& scene, bool binned, uint8_t depthRange,
                                                   uint16_t temperatureRaw) {
    for (const Entry& entry : m_raw) {
        if (entry.scene == scene && entry.binned == binned && entry.depthRange == depthRange &&
            entry.temperatureRaw == temperatureRaw) {
            return entry.payload;
        }
    }
    if (m_raw.size() == kRawCacheSize) {
        m_raw.erase(m_raw.begin());
    }
    m_raw.push_back(
        Entry{scene, binned, depthRange, temperatureRaw, BuildRawPayload(scene, binned, depthRange, temperatureRaw)});
    return m_raw.back().payload;
}

void ToFRecords::AppendRaw(std::vector<uint8_t>& out, const Scene& scene, bool binned, uint8_t depthRange,
                           uint16_t temperatureRaw, uint32_t exposureTime) {
    if (depthRange >= kRawDepthRanges) {
        throw std::invalid_argument("raw records exist for depth ranges 0 to 5 only");
    }
    const uint32_t count = ExposureCount(exposureTime);
    const std::vector<uint8_t>& payload = RawPayload(scene, binned, depthRange, temperatureRaw);
    AppendRecordHead(out, binned ? kRawBinnedRecordType : kRawFullRecordType, static_cast<uint32_t>(payload.size()),
                     depthRange);
    const size_t start = out.size();
    out.insert(out.end(), payload.begin(), payload.end());
    if (binned) {
        PatchExposure(out.data() + start, count);
    }
}

}  // namespace camsim
