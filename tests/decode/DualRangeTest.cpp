#include "DecodeFixture.h"
#include "IdentityPreProcess.h"

namespace {

using camsim::Scene;

class DualRange : public DecodeTest {
protected:
    void SetUp() override {
        Make(&preprocess);
        LoadBuiltInRanges();
        decode->SetDataMode(9);
        decode->SetDualRangeParams(DualRangeParams{2, 5, 0, 0});
    }

    // The reference pass: a range-5 frame at the given distance; its depth as decoded.
    std::vector<uint16_t> SendReference(uint16_t wall, bool binned = false) {
        std::vector<uint8_t> record = RawRecord(Scene::Wall(wall), binned, 5);
        EXPECT_TRUE(Decode(record));
        Frame* depth = Take(FRAME_DEPTH);
        Frame* ir = Take(FRAME_IR);
        EXPECT_NE(depth, nullptr);
        EXPECT_NE(ir, nullptr);
        if (depth == nullptr || ir == nullptr) {
            return {};
        }
        // It leaves unfiltered, with 16-bit IR.
        EXPECT_EQ(ir->pixelFormat, PIXEL_FORMAT_GRAY16);
        const std::vector<uint16_t> pixels = Pixels16(*depth);
        EXPECT_EQ(pixels, Expected(record, kDepthMax[5]).depth);
        return pixels;
    }

    testsupport::IdentityPreProcess preprocess;
};

struct FusionCase {
    uint16_t referenceWall;
    uint16_t wall;
};

class DualRangeFusion : public DualRange, public ::testing::WithParamInterface<FusionCase> {};

TEST_P(DualRangeFusion, SecondRangeIsUnwrappedAgainstTheReference) {
    const FusionCase c = GetParam();
    const std::vector<uint16_t> reference = SendReference(c.referenceWall);
    EXPECT_EQ(preprocess.processDepthCalls, 0);

    std::vector<uint8_t> record = RawRecord(Scene::Wall(c.wall), false, 0);
    ASSERT_TRUE(Decode(record));
    Frame* depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(preprocess.processDepthCalls, 1);
    std::vector<uint16_t> expected = Expected(record, kDepthMax[0]).depth;
    for (size_t i = 0; i < expected.size(); ++i) {
        expected[i] = oracle::Unwrap(expected[i], reference[i], kDepthMax[0]);
    }
    EXPECT_EQ(Pixels16(*depth), expected);
}

// A wall near the reference is restored to its distance; one 400 mm away is invalid.
INSTANTIATE_TEST_SUITE_P(Walls, DualRangeFusion,
                         ::testing::Values(FusionCase{3000, 3000}, FusionCase{3000, 3400}, FusionCase{2000, 2010}));

TEST_F(DualRange, FusedWallComesBackNearItsDistance) {
    SendReference(3000);
    std::vector<uint8_t> near = RawRecord(Scene::Wall(3000), false, 0);
    ASSERT_TRUE(Decode(near));
    Frame* depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    for (uint16_t d : Pixels16(*depth)) {
        ASSERT_NEAR(d, 3000, 20);
    }
    std::vector<uint8_t> far = RawRecord(Scene::Wall(3400), false, 0);
    ASSERT_TRUE(Decode(far));
    depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(Pixels16(*depth), std::vector<uint16_t>(640 * 480, 0xFFFF));
}

TEST_F(DualRange, ReferenceOfTheOtherResolutionIsNotFused) {
    SendReference(3000);  // full resolution, mode 9
    decode->SetDataMode(15);
    std::vector<uint8_t> record = RawRecord(Scene::Wall(3000), true, 0);
    ASSERT_TRUE(Decode(record));
    Frame* depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(Pixels16(*depth), Expected(record, kDepthMax[0]).depth);
}

TEST_F(DualRange, FusionOffDecodesEachRangeAlone) {
    decode->SetDualFreqFusionEnable(false);
    std::vector<uint8_t> record = RawRecord(Scene::Wall(3000), false, 5);
    ASSERT_TRUE(Decode(record));
    Frame* ir = Take(FRAME_IR);
    ASSERT_NE(ir, nullptr);
    ASSERT_NE(Take(FRAME_DEPTH), nullptr);
    EXPECT_EQ(ir->pixelFormat, PIXEL_FORMAT_GRAY8);
    EXPECT_EQ(preprocess.processDepthCalls, 1);
    std::vector<uint8_t> second = RawRecord(Scene::Wall(3000), false, 0);
    ASSERT_TRUE(Decode(second));
    Frame* depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(Pixels16(*depth), Expected(second, kDepthMax[0]).depth);
}

TEST_F(DualRange, OutsideTheDualRangeModesFusionCannotBeSwitched) {
    decode->SetDataMode(2);
    decode->SetDualFreqFusionEnable(false);
    decode->SetDataMode(9);
    const std::vector<uint16_t> reference = SendReference(3000);
    EXPECT_FALSE(reference.empty());
}

}  // namespace
