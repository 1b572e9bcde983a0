#include "ColourRecords.h"

#include <turbojpeg.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "LittleEndian.h"
#include "RecordEnvelope.h"

namespace camsim {

namespace {

constexpr int kJpegQuality = 90;  // a usual quality: small records that decode close to the scene

struct TjHandleCloser {
    void operator()(void* handle) const { tjDestroy(handle); }
};

struct TjBufferFree {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

std::vector<uint8_t> CompressScene(const Scene& scene, int width, int height) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    uint8_t* at = rgb.data();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb colour = scene.ColourAt(x, y, width, height);
            *at++ = colour.r;
            *at++ = colour.g;
            *at++ = colour.b;
        }
    }
    std::unique_ptr<void, TjHandleCloser> handle(tjInitCompress());
    if (!handle) {
        throw std::runtime_error("tjInitCompress failed");
    }
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    const int result = tjCompress2(handle.get(), rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &jpegSize, TJSAMP_420,
                                   kJpegQuality, 0);
    std::unique_ptr<unsigned char, TjBufferFree> owned(jpeg);
    if (result != 0) {
        throw std::runtime_error(std::string("tjCompress2 failed: ") + tjGetErrorStr2(handle.get()));
    }
    return std::vector<uint8_t>(jpeg, jpeg + jpegSize);
}

}  // namespace

uint8_t ColourRecords::RecordType(ColourResolution resolution) {
    switch (resolution) {
        case ColourResolution::R800x600: return '7';
        case ColourResolution::R1600x1200: return '6';
        case ColourResolution::R640x480: break;
    }
    return '4';
}

int ColourRecords::Width(ColourResolution resolution) {
    switch (resolution) {
        case ColourResolution::R800x600: return 800;
        case ColourResolution::R1600x1200: return 1600;
        case ColourResolution::R640x480: break;
    }
    return 640;
}

int ColourRecords::Height(ColourResolution resolution) { return Width(resolution) * 3 / 4; }

void ColourRecords::Append(std::vector<uint8_t>& out, const Scene& scene, ColourResolution resolution, float exposure) {
    if (!m_cached || m_cached->scene != scene || m_cached->resolution != resolution) {
        m_cached.reset();
        m_cached.emplace(Entry{scene, resolution, CompressScene(scene, Width(resolution), Height(resolution))});
    }
    const std::vector<uint8_t>& jpeg = m_cached->jpeg;
    AppendRecordHead(out, RecordType(resolution), static_cast<uint32_t>(jpeg.size() + 4), 0);
    out.insert(out.end(), jpeg.begin(), jpeg.end());
    AppendLe32(out, FloatBits(exposure));
}

}  // namespace camsim
