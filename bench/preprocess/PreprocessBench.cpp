// The mappings at the kit's largest sizes, each beside a plain copy of the bytes it writes.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "APIImgPreProcess.h"

namespace {

constexpr int kDepthWidth = 640, kDepthHeight = 480;
constexpr int kColorWidth = 1600, kColorHeight = 1200;

// Both cameras calibrated, 25 mm apart, the colour camera turned by one degree.
std::unique_ptr<APIImgPreProcess> Calibrated() {
    std::unique_ptr<APIImgPreProcess> preProcess(Get_APIImgPreProcess(""));
    std::array<double, 64> block{};
    const double tof[9] = {500, 0, 319.5, 0, 500, 239.5, 0, 0, 1};
    const double color[9] = {1250, 0, 799.5, 0, 1250, 599.5, 0, 0, 1};
    const double a = M_PI / 180.0;
    const double rotation[9] = {std::cos(a), 0, std::sin(a), 0, 1, 0, -std::sin(a), 0, std::cos(a)};
    std::copy(tof, tof + 9, block.begin());
    std::copy(color, color + 9, block.begin() + 17);
    std::copy(rotation, rotation + 9, block.begin() + 34);
    block[43] = 25;
    preProcess->SetCalibrationParams(block.data(), 0);
    return preProcess;
}

// A ramp with a box in front of it.
std::vector<uint16_t> Scene() {
    std::vector<uint16_t> depth(kDepthWidth * kDepthHeight);
    for (int y = 0; y < kDepthHeight; ++y)
        for (int x = 0; x < kDepthWidth; ++x)
            depth[y * kDepthWidth + x] =
                (x > 200 && x < 400 && y > 150 && y < 350) ? 900 : static_cast<uint16_t>(1500 + x);
    return depth;
}

void BM_MapDepthToColor(benchmark::State& state) {
    auto preProcess = Calibrated();
    std::vector<uint16_t> depth = Scene();
    std::vector<uint8_t> color(kColorWidth * kColorHeight * 3), out(kColorWidth * kColorHeight * 2);
    PreProcImage d{reinterpret_cast<uint8_t*>(depth.data()), ALG_ELEM_16U, kDepthWidth, kDepthHeight};
    PreProcImage c{color.data(), ALG_ELEM_8UC3, kColorWidth, kColorHeight};
    for (auto _ : state) {
        PreProcImage o{out.data(), ALG_ELEM_16U, 0, 0};
        if (preProcess->MapDepthToColor(&c, &d, &o) != 0) state.SkipWithError("mapping refused");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(out.size()));
}

void BM_MapColorToDepth(benchmark::State& state) {
    auto preProcess = Calibrated();
    std::vector<uint16_t> depth = Scene();
    std::vector<uint8_t> color(kColorWidth * kColorHeight * 3, 0x5A), out(kDepthWidth * kDepthHeight * 3);
    PreProcImage d{reinterpret_cast<uint8_t*>(depth.data()), ALG_ELEM_16U, kDepthWidth, kDepthHeight};
    PreProcImage c{color.data(), ALG_ELEM_8UC3, kColorWidth, kColorHeight};
    for (auto _ : state) {
        PreProcImage o{out.data(), ALG_ELEM_8UC3, 0, 0};
        if (preProcess->MapColorToDepth(&d, &c, &o) != 0) state.SkipWithError("mapping refused");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(out.size()));
}

// Baseline: copying as many bytes as the mapping writes.
void BM_Memcpy(benchmark::State& state) {
    std::vector<uint8_t> from(state.range(0), 0x5A), to(state.range(0));
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_MapDepthToColor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy)
    ->Arg(kColorWidth* kColorHeight * 2)
    ->Unit(benchmark::kMillisecond)
    ->Name("BM_Memcpy/depthInColorBytes");
BENCHMARK(BM_MapColorToDepth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy)
    ->Arg(kDepthWidth* kDepthHeight * 3)
    ->Unit(benchmark::kMillisecond)
    ->Name("BM_Memcpy/colorInDepthBytes");

BENCHMARK_MAIN();
