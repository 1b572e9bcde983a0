#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "DecodeKernels.h"
#include "DepthOracle.h"

namespace {

TEST(Atan2Optimize, AxesAndQuadrants) {
    EXPECT_EQ(tofdecode::atan2_optimize(0.0f, -1.0f), 3.1415927f);
    EXPECT_EQ(tofdecode::atan2_optimize(0.0f, 1.0f), 0.0f);
    EXPECT_EQ(tofdecode::atan2_optimize(0.0f, 0.0f), 0.0f);
    EXPECT_NEAR(tofdecode::atan2_optimize(1.0f, 0.0f), 1.5707964f, 1e-3);
    EXPECT_NEAR(tofdecode::atan2_optimize(-1.0f, 0.0f), -1.5707964f, 1e-3);
    EXPECT_NEAR(tofdecode::atan2_optimize(-3.0f, -3.0f), -2.3561945f, 1e-3);
}

// The vectorisable form must give the literal formula's bits for every tap difference.
TEST(Atan2Optimize, EqualsTheFormulaOverTheWholeTapRange) {
    for (int y = -8190; y <= 8190; y += 7) {
        for (int x = -8190; x <= 8190; x += 13) {
            const float fy = static_cast<float>(y), fx = static_cast<float>(x);
            const float got = tofdecode::atan2_optimize(fy, fx);
            const float want = oracle::Atan2(fy, fx);
            ASSERT_EQ(std::memcmp(&got, &want, sizeof(float)), 0) << y << "," << x;
        }
    }
}

struct UnwrapCase {
    uint16_t cur;
    uint16_t ref;
    uint16_t expected;
};

class Unwrap : public ::testing::TestWithParam<UnwrapCase> {};

TEST_P(Unwrap, AgainstReferenceWithRange0) {
    const UnwrapCase c = GetParam();
    uint16_t depth = c.cur;
    tofdecode::UnwrapAgainstReference(&depth, &c.ref, 1, 1249);
    EXPECT_EQ(depth, c.expected);
    EXPECT_EQ(oracle::Unwrap(c.cur, c.ref, 1249), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Unwrap,
                         ::testing::Values(UnwrapCase{500, 3000, 2998},    // k = 2
                                           UnwrapCase{900, 3000, 0xFFFF},  // k = 2 gives 3398
                                           UnwrapCase{900, 0, 900},        // no reference
                                           UnwrapCase{1000, 1100, 1000},   // k = 0, near enough
                                           UnwrapCase{1200, 60, 0xFFFF},   // k truncates to 0: too far
                                           UnwrapCase{1249, 1250, 1249}));

// The tolerance lies between 124 and 125 mm: the table has pixels on both sides of it, after no
// move and after a move by whole periods, and pixels that a looser tolerance keeps.
TEST(UnwrapTolerance, PixelsOnBothSidesOfTheLimit) {
    constexpr int kMaxDepth = 1249;
    constexpr uint16_t kInvalid = 0xFFFF;
    struct Case {
        uint16_t cur, ref, expected;
    };
    const Case cases[] = {
        {1124, 1000, 1124},      // 124 above: kept
        {876, 1000, 876},        // 124 below: kept
        {1125, 1000, kInvalid},  // 125 above
        {875, 1000, kInvalid},   // 125 below
        {875, 2000, 2124},       // moved one period up, 124 above
        {876, 2000, kInvalid},   // moved one period up, 125 above
        {626, 3000, 3124},       // moved two periods up, 124 above
        {627, 3000, kInvalid},   // moved two periods up, 125 above
        {378, 3000, 2876},       // moved two periods up, 124 below
        {377, 3000, kInvalid},   // moved two periods up, 125 below
        {1200, 1000, kInvalid},  // 200 away
        {800, 1000, kInvalid},   // 200 away
        {551, 2000, kInvalid},   // moved one period up, 200 below
        {1249, 1000, kInvalid},  // 249 away
        {1250, 1000, kInvalid},  // 250 away
    };
    std::vector<uint16_t> depth, reference;
    for (const Case& c : cases) {
        uint16_t one = c.cur;
        tofdecode::UnwrapAgainstReference(&one, &c.ref, 1, kMaxDepth);
        EXPECT_EQ(one, c.expected) << "cur " << c.cur << " ref " << c.ref;
        depth.push_back(c.cur);
        reference.push_back(c.ref);
    }
    // The same pixels in one frame.
    tofdecode::UnwrapAgainstReference(depth.data(), reference.data(), depth.size(), kMaxDepth);
    for (size_t i = 0; i < depth.size(); ++i) {
        EXPECT_EQ(depth[i], cases[i].expected) << "pixel " << i;
    }
}

TEST(ConvertIrTo8Bit, InPlaceWithTheGainsLowByte) {
    std::vector<uint16_t> values;
    for (int v = 0; v < 5000; v += 3) {
        values.push_back(static_cast<uint16_t>(v));
    }
    for (int gain : {64, 255, 0x140, 0}) {
        std::vector<uint8_t> buffer(values.size() * 2);
        std::memcpy(buffer.data(), values.data(), buffer.size());
        tofdecode::ConvertIrTo8Bit(buffer.data(), values.size(), gain);
        for (size_t i = 0; i < values.size(); ++i) {
            ASSERT_EQ(buffer[i], oracle::Ir8(values[i], gain)) << gain << " " << i;
        }
    }
}

TEST(ApplyRangeOffset, IndexesBeyondTheTableTakeTheLastEntry) {
    const std::vector<uint16_t> table = {10, 11, 12};
    std::vector<uint16_t> depth = {0, 2, 3, 65535};
    tofdecode::ApplyRangeOffset(depth.data(), depth.size(), table.data(), table.size());
    EXPECT_EQ(depth, (std::vector<uint16_t>{10, 12, 12, 12}));
}

}  // namespace

namespace {

// The root only changes at perfect squares, so checking each side of every square up to the
// largest amplitude covers the whole range.
TEST(FloorSqrt, EqualsTheTruncatedDoubleRootUpTo2Pow27) {
    const auto reference = [](int v) { return static_cast<int>(std::sqrt(static_cast<double>(v))); };
    for (int k = 0; k * k <= (1 << 27); ++k) {
        for (int v : {k * k - 1, k * k, k * k + 1}) {
            if (v >= 0 && v <= (1 << 27)) {
                ASSERT_EQ(tofdecode::FloorSqrt(v), reference(v)) << v;
            }
        }
    }
    EXPECT_EQ(tofdecode::FloorSqrt(2 * 8190 * 8190), 11582);
}

}  // namespace

namespace {

class RawPixelBuilds : public ::testing::TestWithParam<tofdecode::PixelIsa> {};

// Taps over the whole 16-bit range (IR clamps, the widest I and Q) through every build of the
// loop this processor runs.
TEST_P(RawPixelBuilds, EqualTheFormulaOnRandomTaps) {
    const tofdecode::PixelIsa isa = GetParam();
    if (!tofdecode::IsSupported(isa)) {
        GTEST_SKIP() << "this processor lacks the instruction set";
    }
    constexpr size_t kBlock = 311040, kPixels = 320 * 240;
    std::vector<uint8_t> payload(4 * kBlock);
    uint32_t seed = 12345;
    for (uint8_t& byte : payload) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(seed >> 16);
    }
    payload[309817] = 0x01;
    payload[309821] = 0xF0;
    std::vector<uint16_t> background(kPixels);
    for (size_t i = 0; i < kPixels; ++i) {
        background[i] = static_cast<uint16_t>((i * 37) % 4200);
    }
    const std::vector<uint16_t>* backgrounds[] = {nullptr, &background};
    for (const std::vector<uint16_t>* bg : backgrounds) {
        for (int range : {0, 3, 5}) {
            const oracle::Planes expected =
                oracle::DecodeRaw(oracle::RawInput{payload.data(), true, range, 1874, true, bg, nullptr});
            const uint8_t* phase[4] = {payload.data(), payload.data() + kBlock, payload.data() + 2 * kBlock,
                                       payload.data() + 3 * kBlock};
            const tofdecode::RawPixelParams params{tofdecode::kPhaseFactor[range],
                                                   oracle::TemperatureOffset(payload.data(), true, range), 1874,
                                                   bg != nullptr ? bg->data() : nullptr};
            std::vector<uint16_t> depth(kPixels), ir(kPixels), confidence(kPixels);
            tofdecode::DecodeRawPixels(phase, kPixels, params, depth.data(), ir.data(), confidence.data(), isa);
            EXPECT_EQ(depth, expected.depth) << range;
            EXPECT_EQ(ir, expected.ir) << range;
            EXPECT_EQ(confidence, expected.confidence) << range;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, RawPixelBuilds,
                         ::testing::Values(tofdecode::PixelIsa::Baseline, tofdecode::PixelIsa::Avx2,
                                           tofdecode::PixelIsa::Avx512),
                         [](const ::testing::TestParamInfo<tofdecode::PixelIsa>& info) {
                             return info.param == tofdecode::PixelIsa::Baseline ? std::string("Baseline")
                                    : info.param == tofdecode::PixelIsa::Avx2   ? std::string("Avx2")
                                                                                : std::string("Avx512");
                         });

}  // namespace
