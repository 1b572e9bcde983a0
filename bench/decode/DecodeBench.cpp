// Decode stages at 640 by 480, each beside a memcpy of the same bytes measured in the same run,
// so the figures read as ratios to memory bandwidth. "per_pixel" is the time per pixel.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "IdentityPreProcess.h"
#include "RecordDecoders.h"
#include "Scene.h"
#include "ToFRecords.h"
#include "TofDecode.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr size_t kPixels = static_cast<size_t>(kWidth) * kHeight;
constexpr uint16_t kDepthMax[6] = {1249, 1874, 2498, 3123, 3747, 7495};
constexpr uint16_t kEffectDepthMax[6] = {1249, 1874, 2498, 3123, 3747, 4500};
constexpr uint16_t kEffectDepthMin[6] = {450, 450, 450, 450, 450, 450};
// A box in front of a wall: the filters see edges, not only a flat plane.
const camsim::Scene kScene = camsim::Scene::Box(2000, 900);

void PerPixel(benchmark::State& state) {
    state.counters["per_pixel"] = benchmark::Counter(
        static_cast<double>(kPixels), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

std::vector<uint8_t> RawRecord() {
    camsim::ToFRecords records;
    std::vector<uint8_t> out;
    records.AppendRaw(out, kScene, false, 2, 0x1F0, 1000);
    return out;
}

std::vector<uint8_t> ComputedRecord() {
    camsim::ToFRecords records;
    std::vector<uint8_t> out;
    records.AppendComputed(out, kScene, false, 2);
    return out;
}

void MemcpyBytes(benchmark::State& state, size_t bytes) {
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    PerPixel(state);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// Three frames with their own buffers, as the pools give them.
struct OwnFrames {
    OwnFrames() {
        for (int i = 0; i < 3; ++i) {
            buffers[i] = std::make_unique<uint8_t[]>(2 * kPixels);
            frames[i] = Frame{};
            frames[i].data = buffers[i].get();
            frames[i].capacity = 2 * kPixels;
        }
        frames[1].frameType = FRAME_IR;
        frames[2].frameType = FRAME_CONFIDENCE;
    }
    DecodeTargets Targets() { return DecodeTargets{frames[0], frames[1], frames[2]}; }
    std::unique_ptr<uint8_t[]> buffers[3];
    Frame frames[3];
};

void BM_MemcpyRawRecord(benchmark::State& state) { MemcpyBytes(state, tofrecord::PayloadLength(0xB1)); }

void BM_RawDecode(benchmark::State& state) {
    const std::vector<uint8_t> record = RawRecord();
    OwnFrames frames;
    const RawRecordSettings settings{2, kDepthMax[2], nullptr, true, nullptr};
    for (auto _ : state) {
        DecodeTargets targets = frames.Targets();
        benchmark::DoNotOptimize(DecodeRawRecord(record.data() + 5, tofrecord::kRawFullLayout, settings, targets));
        benchmark::ClobberMemory();
    }
    PerPixel(state);
}

void BM_MemcpyComputedRecord(benchmark::State& state) { MemcpyBytes(state, tofrecord::PayloadLength(0xB6)); }

void BM_ComputedDecode(benchmark::State& state) {
    const std::vector<uint8_t> record = ComputedRecord();
    OwnFrames frames;
    for (auto _ : state) {
        DecodeTargets targets = frames.Targets();
        benchmark::DoNotOptimize(DecodeComputedRecord(record.data() + 5, tofrecord::kComputedFullLayout, 2, targets));
        benchmark::ClobberMemory();
    }
    PerPixel(state);
}

// The chains are fed through DecodeOne; the producer only takes the raw frames back.
class LoopProducer : public Producer {
public:
    int GetRawData(Frame** out) override {
        *out = nullptr;
        return -1;
    }
    int RecycleRawFrame(Frame*) override { return 0; }
};

// A decoder with the default filters, an identity preprocessing object and a confidence-factor
// file, so that every stage of the chain runs.
class Chain {
public:
    Chain() : m_folder(MakeFolder()) {
        std::vector<uint16_t> factors(kPixels, 8192);
        FILE* file = std::fopen((m_folder + "ConfidenceFactor.bin").c_str(), "wb");
        if (file != nullptr) {
            std::fwrite(factors.data(), 2, factors.size(), file);
            std::fclose(file);
        }
        m_decode = std::make_unique<TofDecode>(&m_producer, m_folder);
        m_decode->Init(nullptr, &m_preprocess);
        m_decode->InitRangeValue(kDepthMax, kEffectDepthMax, kEffectDepthMin);
    }
    ~Chain() {
        m_decode.reset();
        std::filesystem::remove_all(m_folder);
    }

    void Run(benchmark::State& state, std::vector<uint8_t>& record) {
        for (auto _ : state) {
            Frame raw{};
            raw.frameType = FRAME_RAW_TOF;
            raw.data = record.data();
            raw.length = raw.capacity = static_cast<uint32_t>(record.size());
            raw.hasFrameType = HAS_DEPTH_FRAME | HAS_IR_FRAME | HAS_CONFIDENCE_FRAME;
            if (!m_decode->DecodeOne(&raw)) {
                state.SkipWithError("record not decoded");
                break;
            }
            for (FrameType type : {FRAME_DEPTH, FRAME_IR, FRAME_CONFIDENCE}) {
                Frame* frame = nullptr;
                m_decode->GetFrame(type, &frame);
                m_decode->RecycleFrame(frame);
            }
        }
        PerPixel(state);
    }

private:
    static std::string MakeFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "bench_decode.XXXXXX").string();
        const char* made = mkdtemp(&pattern[0]);
        return made != nullptr ? std::string(made) + "/" : "./";
    }

    std::string m_folder;
    LoopProducer m_producer;
    testsupport::IdentityPreProcess m_preprocess;
    std::unique_ptr<TofDecode> m_decode;
};

void BM_RawChain(benchmark::State& state) {
    std::vector<uint8_t> record = RawRecord();
    Chain chain;
    chain.Run(state, record);
}

void BM_ComputedChain(benchmark::State& state) {
    std::vector<uint8_t> record = ComputedRecord();
    Chain chain;
    chain.Run(state, record);
}

void BM_MemcpyPointCloud(benchmark::State& state) { MemcpyBytes(state, kPixels * sizeof(Vector3f)); }

void BM_PointCloud(benchmark::State& state) {
    const std::vector<uint8_t> record = ComputedRecord();
    std::vector<uint8_t> depth(record.begin() + 5, record.begin() + 5 + 2 * kPixels);
    Frame frame{};
    frame.frameType = FRAME_DEPTH;
    frame.data = depth.data();
    frame.length = static_cast<uint32_t>(depth.size());
    frame.width = kWidth;
    frame.height = kHeight;
    std::vector<Vector3f> points(kPixels);
    LoopProducer producer;
    TofDecode decode(&producer, "/nonexistent/");
    const double intrinsic[9] = {520, 0, 321.5, 0, 521, 239.5, 0, 0, 1};
    decode.InitDepthFrame2WorldTab(intrinsic, nullptr, kWidth, kHeight);
    for (auto _ : state) {
        benchmark::DoNotOptimize(decode.ConvertDepthFrameToPointCloudVector(&frame, points.data()));
        benchmark::ClobberMemory();
    }
    PerPixel(state);
}

}  // namespace

BENCHMARK(BM_MemcpyRawRecord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawDecode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyComputedRecord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComputedDecode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawChain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComputedChain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyPointCloud)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PointCloud)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
