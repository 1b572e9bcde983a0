// Each depth filter on a 640 x 480 frame, beside a memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "Filter.h"

namespace {

constexpr uint16_t kWidth = 640;
constexpr uint16_t kHeight = 480;
constexpr uint32_t kPixels = kWidth * kHeight;

// A tilted wall from 800 to 2000 mm with a few millimetres of noise and 2 % invalid pixels.
std::vector<uint16_t> Scene(uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 4.0);
    std::uniform_real_distribution<double> share(0.0, 1.0);
    std::vector<uint16_t> pixels(kPixels);
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            const double depth = 800.0 + 1200.0 * x / kWidth + 200.0 * y / kHeight + noise(random);
            pixels[y * kWidth + x] = share(random) < 0.02 ? 0 : static_cast<uint16_t>(depth);
        }
    }
    return pixels;
}

// A frame over its own buffer, refilled from the scene before each filter run.
struct DepthFrame {
    explicit DepthFrame(const std::vector<uint16_t>& source) : scene(source), pixels(source) {
        frame.frameType = FRAME_DEPTH;
        frame.width = kWidth;
        frame.height = kHeight;
        frame.data = reinterpret_cast<uint8_t*>(pixels.data());
        frame.capacity = kPixels * sizeof(uint16_t);
        frame.length = frame.capacity;
    }
    void Restore() { std::memcpy(pixels.data(), scene.data(), kPixels * sizeof(uint16_t)); }

    std::vector<uint16_t> scene;
    std::vector<uint16_t> pixels;
    Frame frame{};
};

// A calibration folder holding a factor file, removed at exit.
class FactorFolder {
public:
    FactorFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "bench-filter-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
        std::mt19937 random(7);
        std::uniform_int_distribution<int> factor(7000, 9500);
        std::vector<uint16_t> factors(kPixels);
        for (uint16_t& f : factors) {
            f = static_cast<uint16_t>(factor(random));
        }
        FILE* file = std::fopen((m_path + "/ConfidenceFactor.bin").c_str(), "wb");
        if (file != nullptr) {
            std::fwrite(factors.data(), sizeof(uint16_t), factors.size(), file);
            std::fclose(file);
        }
    }
    ~FactorFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

const FactorFolder& Factors() {
    static const FactorFolder folder;
    return folder;
}

void PerPixel(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPixels * sizeof(uint16_t));
    state.counters["per_pixel"] =
        benchmark::Counter(kPixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

std::unique_ptr<Filter> MakeFilter() {
    auto filter = std::make_unique<Filter>(Factors().Path());
    filter->SetMeasuringRange(0, 2498, 0);
    return filter;
}

template <typename Run>
void FilterLoop(benchmark::State& state, Filter& filter, DepthFrame& depth, Run run) {
    for (auto _ : state) {
        state.PauseTiming();
        depth.Restore();
        state.ResumeTiming();
        run(filter, depth.frame);
        benchmark::DoNotOptimize(depth.pixels.data());
        benchmark::ClobberMemory();
    }
    PerPixel(state);
}

void BM_MemcpyBaseline(benchmark::State& state) {
    const std::vector<uint16_t> source = Scene(1);
    std::vector<uint16_t> target(kPixels);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), kPixels * sizeof(uint16_t));
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    PerPixel(state);
}
BENCHMARK(BM_MemcpyBaseline);

void BM_TimeFilter(benchmark::State& state) {
    auto filter = MakeFilter();
    DepthFrame previous(Scene(2));
    filter->TimeFilter(previous.frame);
    DepthFrame depth(Scene(3));
    FilterLoop(state, *filter, depth, [](Filter& f, Frame& frame) { f.TimeFilter(frame); });
}
BENCHMARK(BM_TimeFilter);

void BM_TimeFilterWide(benchmark::State& state) {
    auto filter = MakeFilter();
    filter->SetTimeFilterParams({1, 20});  // a strength whose p * 2^k leaves 32 bits
    DepthFrame previous(Scene(2));
    filter->TimeFilter(previous.frame);
    DepthFrame depth(Scene(3));
    FilterLoop(state, *filter, depth, [](Filter& f, Frame& frame) { f.TimeFilter(frame); });
}
BENCHMARK(BM_TimeFilterWide);

void BM_FlyingPixelFilter(benchmark::State& state) {
    auto filter = MakeFilter();
    DepthFrame depth(Scene(4));
    FilterLoop(state, *filter, depth, [](Filter& f, Frame& frame) { f.FlyingPixelFilter(frame); });
}
BENCHMARK(BM_FlyingPixelFilter);

void BM_SpatialFilter(benchmark::State& state) {
    auto filter = MakeFilter();
    filter->SetSpatialFilterParams({1, 7, 50, 1});
    DepthFrame depth(Scene(5));
    FilterLoop(state, *filter, depth, [](Filter& f, Frame& frame) { f.SpatialFilter(frame); });
}
BENCHMARK(BM_SpatialFilter);

void BM_FillHoleFilter(benchmark::State& state) {
    auto filter = MakeFilter();
    DepthFrame depth(Scene(6));
    FilterLoop(state, *filter, depth, [](Filter& f, Frame& frame) { f.FillHoleFilter(frame); });
}
BENCHMARK(BM_FillHoleFilter);

// Argument: the confidence frame's exposure in microseconds (0 for full-resolution raw records).
void BM_ConfidenceFilter(benchmark::State& state) {
    auto filter = MakeFilter();
    DepthFrame depth(Scene(7));
    std::mt19937 random(8);
    std::uniform_int_distribution<int> amplitude(20, 3000);
    std::vector<uint16_t> values(kPixels);
    for (uint16_t& v : values) {
        v = static_cast<uint16_t>(amplitude(random));
    }
    DepthFrame confidence(values);
    confidence.frame.frameType = FRAME_CONFIDENCE;
    confidence.frame.exposureTime = static_cast<float>(state.range(0));
    FilterLoop(state, *filter, depth, [&](Filter& f, Frame& frame) { f.ConfidenceFilter(frame, confidence.frame); });
}
BENCHMARK(BM_ConfidenceFilter)->Arg(0)->Arg(1000);

// What the decoder runs per raw record with the default settings.
void BM_DefaultChain(benchmark::State& state) {
    auto filter = MakeFilter();
    DepthFrame previous(Scene(2));
    filter->TimeFilter(previous.frame);
    DepthFrame depth(Scene(3));
    std::vector<uint16_t> values(kPixels, 800);
    DepthFrame confidence(values);
    FilterLoop(state, *filter, depth, [&](Filter& f, Frame& frame) {
        f.TimeFilter(frame);
        f.Depth(frame);
        f.ConfidenceFilter(frame, confidence.frame);
    });
}
BENCHMARK(BM_DefaultChain);

}  // namespace

BENCHMARK_MAIN();
