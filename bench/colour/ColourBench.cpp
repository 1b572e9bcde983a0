// The colour plug-in's decode of one JPEG record, from ProcessData to its frame-ready notice,
// beside TurboJPEG alone decoding the same JPEG with one reused handle, measured in the same
// run. The parts that make up the difference are measured on their own below.
// "per_pixel" is the time per pixel.
#include <benchmark/benchmark.h>

#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "FakeCommonControl.h"
#include "FakeConsumer.h"
#include "FrameQueue.h"
#include "IdentityPreProcess.h"
#include "JpegDecoder.h"
#include "RC1720.h"
#include "RecordEnvelope.h"

namespace {

constexpr int kRecordHead = static_cast<int>(camsim::kRecordHeadSize);
constexpr int kExposureBytes = 4;
constexpr std::chrono::seconds kNoticeTimeout{2};

struct Size {
    int width;
    int height;
    uint8_t recordType;
};

Size SizeOf(const benchmark::State& state) {
    return state.range(0) == 640 ? Size{640, 480, '4'} : Size{1600, 1200, '6'};
}

void PerPixel(benchmark::State& state, const Size& size) {
    state.counters["per_pixel"] =
        benchmark::Counter(static_cast<double>(size.width) * size.height,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

struct TjDestroy {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDestroy>;

// A camera-like picture: gradients under fine noise, so the entropy decoder has real work
// (a flat scene decodes faster than any camera image would).
std::vector<uint8_t> Jpeg(const Size& size) {
    std::vector<uint8_t> rgb(static_cast<size_t>(size.width) * size.height * 3);
    uint32_t noise = 0x9E3779B9u;
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            uint8_t* at = &rgb[(static_cast<size_t>(y) * size.width + x) * 3];
            noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
            const int grain = static_cast<int>(noise & 31) - 16;
            at[0] = static_cast<uint8_t>(std::clamp(x * 255 / size.width + grain, 0, 255));
            at[1] = static_cast<uint8_t>(std::clamp(y * 255 / size.height + grain, 0, 255));
            at[2] = static_cast<uint8_t>(std::clamp(((x ^ y) & 0xFF) / 2 + 64 + grain, 0, 255));
        }
    }
    TjHandle handle(tjInitCompress());
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    if (!handle || tjCompress2(handle.get(), rgb.data(), size.width, 0, size.height, TJPF_RGB, &jpeg, &jpegSize,
                               TJSAMP_420, 90, 0) != 0) {
        tjFree(jpeg);
        throw std::runtime_error("tjCompress2 failed");
    }
    std::vector<uint8_t> out(jpeg, jpeg + jpegSize);
    tjFree(jpeg);
    return out;
}

// The camera's record: head, JPEG, exposure as a 32-bit float.
std::vector<uint8_t> Record(const Size& size, const std::vector<uint8_t>& jpeg) {
    std::vector<uint8_t> record;
    camsim::AppendRecordHead(record, size.recordType, static_cast<uint32_t>(jpeg.size() + kExposureBytes), 0);
    record.insert(record.end(), jpeg.begin(), jpeg.end());
    const float exposure = 0.033f;
    uint32_t bits = 0;
    std::memcpy(&bits, &exposure, sizeof(bits));
    camsim::AppendLe32(record, bits);
    return record;
}

// The plug-in on its own "Color" thread, undistortion off, streaming.
struct Plugin {
    Plugin() {
        colour.Init(&control, &consumer, &preProcess);
        colour.SetDistortionCorrectionEnabled(false);
        colour.SetStream(true);
        colour.SetOpenState(true);
    }
    ~Plugin() { colour.SetOpenState(false); }

    // One record in; true once its frame was announced.
    bool Feed(std::vector<uint8_t>& record, uint32_t index) {
        FrameSyncInfo info{};
        info.frameIndex = index;
        info.hasFrameType = HAS_COLOR_FRAME;
        colour.ProcessData(record.data(), static_cast<int>(record.size()), info);
        return consumer.WaitForNotices(index, kNoticeTimeout);
    }
    bool GiveBack() {
        Frame* frame = nullptr;
        if (colour.GetFrame(FRAME_COLOR, &frame) != 0) return false;
        colour.RecycleFrame(frame);
        return true;
    }

    testsupport::FakeCommonControl control;
    testsupport::FakeConsumer consumer;
    testsupport::IdentityPreProcess preProcess;
    RC1720 colour;
};

void BM_PluginDecode(benchmark::State& state) {
    const Size size = SizeOf(state);
    std::vector<uint8_t> record = Record(size, Jpeg(size));
    Plugin plugin;
    uint32_t index = 1;
    // A first frame outside the loop, so the thread is waiting for records when timing starts.
    if (!plugin.Feed(record, index) || !plugin.GiveBack()) state.SkipWithError("no frame from the plug-in");
    for (auto _ : state) {
        if (!plugin.Feed(record, ++index)) {
            state.SkipWithError("no frame from the plug-in");
            break;
        }
        state.PauseTiming();
        plugin.GiveBack();
        state.ResumeTiming();
    }
    PerPixel(state, size);
}

// The baseline: TurboJPEG alone, one handle, into a plain buffer.
void BM_TurboJpeg(benchmark::State& state) {
    const Size size = SizeOf(state);
    std::vector<uint8_t> jpeg = Jpeg(size);
    std::vector<uint8_t> pixels(static_cast<size_t>(size.width) * size.height * 3);
    TjHandle handle(tjInitDecompress());
    for (auto _ : state) {
        if (tjDecompress2(handle.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()), pixels.data(), size.width,
                          0, size.height, TJPF_BGR, 0) != 0) {
            state.SkipWithError(tjGetErrorStr2(handle.get()));
            break;
        }
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    PerPixel(state, size);
}

// Part of the difference: the plug-in's decoder, which opens a decompressor per image.
void BM_ModuleDecoder(benchmark::State& state) {
    const Size size = SizeOf(state);
    std::vector<uint8_t> jpeg = Jpeg(size);
    std::vector<uint8_t> pixels(static_cast<size_t>(size.width) * size.height * 3);
    for (auto _ : state) {
        if (rc1720::Mjpeg2Rgb_new(jpeg.data(), size.width, size.height, static_cast<uint32_t>(jpeg.size()),
                                  pixels.data(), static_cast<uint32_t>(pixels.size()), PIXEL_FORMAT_BGR,
                                  "bench") != 0) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    PerPixel(state, size);
}

// Part of the difference, off the timed path above: a pooled frame's recycle, which zero-fills
// the whole buffer whatever the image size.
void BM_FrameRecycle(benchmark::State& state, FrameType type) {
    const Size size = SizeOf(state);
    FrameQueue queue(type, 2, 2);
    for (auto _ : state) {
        Frame* frame = queue.AllocFrame(type);
        benchmark::DoNotOptimize(frame);
        queue.RecycleFrame(frame);
    }
    PerPixel(state, size);
}

}  // namespace

BENCHMARK(BM_PluginDecode)->Arg(640)->Arg(1600)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_TurboJpeg)->Arg(640)->Arg(1600)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ModuleDecoder)->Arg(640)->Arg(1600)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FrameRecycle, colour, FRAME_COLOR)->Arg(640)->Arg(1600)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FrameRecycle, raw, FRAME_RAW_COLOR)->Arg(640)->Arg(1600)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
