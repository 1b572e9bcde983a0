#include <cstring>
#include <vector>

#include "DecodeFixture.h"

namespace {

// fx = fy = 500, cx = 320, cy = 240 as the nine values of the camera matrix.
constexpr double kIntrinsic[9] = {500, 0, 320, 0, 500, 240, 0, 0, 1};

class PointCloud : public DecodeTest {
protected:
    void SetUp() override {
        Make();
        pixels.assign(640 * 480, 0);
        frame = DepthFrame(640, 480);
    }

    Frame DepthFrame(uint16_t width, uint16_t height) {
        pixels.resize(static_cast<size_t>(width) * height);
        Frame f{};
        f.frameType = FRAME_DEPTH;
        f.data = reinterpret_cast<uint8_t*>(pixels.data());
        f.length = static_cast<uint32_t>(pixels.size() * 2);
        f.width = width;
        f.height = height;
        return f;
    }

    void Set(int x, int y, uint16_t d) { pixels[static_cast<size_t>(y) * frame.width + x] = d; }
    const Vector3f& At(int x, int y) const { return points[static_cast<size_t>(y) * frame.width + x]; }

    std::vector<uint16_t> pixels;
    Frame frame{};
    std::vector<Vector3f> points = std::vector<Vector3f>(640 * 480, Vector3f{7, 7, 7});
};

bool IsPositiveZero(const Vector3f& p) {
    const Vector3f zero{0.0f, 0.0f, 0.0f};
    return std::memcmp(&p, &zero, sizeof(p)) == 0;
}

TEST_F(PointCloud, PixelsBecomePointsInMillimetres) {
    ASSERT_EQ(decode->InitDepthFrame2WorldTab(kIntrinsic, nullptr, 0, 0), 0);
    Set(320, 240, 1000);
    Set(0, 0, 1000);
    Set(420, 240, 2000);
    Set(639, 479, 65534);
    Set(1, 0, 0xFFFF);
    ASSERT_EQ(decode->ConvertDepthFrameToPointCloudVector(&frame, points.data()), 0);
    EXPECT_EQ(At(320, 240).x, 0.0f);
    EXPECT_EQ(At(320, 240).y, 0.0f);
    EXPECT_EQ(At(320, 240).z, 1000.0f);
    EXPECT_EQ(At(0, 0).x, -640.0f);
    EXPECT_EQ(At(0, 0).y, -480.0f);
    EXPECT_EQ(At(420, 240).x, 400.0f);
    EXPECT_EQ(At(639, 479).x, static_cast<float>((639 - 320) / 500.0 * 65534));
    EXPECT_EQ(At(639, 479).y, static_cast<float>((479 - 240) / 500.0 * 65534));
    EXPECT_EQ(At(639, 479).z, 65534.0f);
    // Invalid pixels are exactly (+0, +0, +0), also where a factor is negative.
    EXPECT_TRUE(IsPositiveZero(At(1, 0)));
    EXPECT_TRUE(IsPositiveZero(At(2, 0)));
}

TEST_F(PointCloud, BinnedModesUseTheBinnedSize) {
    decode->SetDataMode(15);
    ASSERT_EQ(decode->InitDepthFrame2WorldTab(kIntrinsic, nullptr, 640, 480), 0);
    EXPECT_EQ(decode->ConvertDepthFrameToPointCloudVector(&frame, points.data()), -15);
    frame = DepthFrame(320, 240);
    Set(0, 0, 1000);
    ASSERT_EQ(decode->ConvertDepthFrameToPointCloudVector(&frame, points.data()), 0);
    EXPECT_EQ(At(0, 0).x, -640.0f);
}

struct RefusalCase {
    const char* name;
    FrameType type;
    uint16_t width;
    uint16_t height;
    uint32_t lengthCut;  // bytes taken off the valid length
};

class PointCloudRefusal : public PointCloud, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(PointCloudRefusal, GivesMinus15AndWritesNothing) {
    const RefusalCase c = GetParam();
    ASSERT_EQ(decode->InitDepthFrame2WorldTab(kIntrinsic, nullptr, 0, 0), 0);
    frame = DepthFrame(c.width, c.height);
    frame.frameType = c.type;
    frame.length -= c.lengthCut;
    EXPECT_EQ(decode->ConvertDepthFrameToPointCloudVector(&frame, points.data()), -15);
    EXPECT_EQ(points[0].x, 7.0f);
}

INSTANTIATE_TEST_SUITE_P(Frames, PointCloudRefusal,
                         ::testing::Values(RefusalCase{"IrFrame", FRAME_IR, 640, 480, 0},
                                           RefusalCase{"BinnedFrameInMode0", FRAME_DEPTH, 320, 240, 0},
                                           RefusalCase{"Wider", FRAME_DEPTH, 641, 480, 0},
                                           RefusalCase{"ShortLength", FRAME_DEPTH, 640, 480, 2}),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(PointCloud, NullArguments) {
    ASSERT_EQ(decode->InitDepthFrame2WorldTab(kIntrinsic, nullptr, 0, 0), 0);
    EXPECT_EQ(decode->ConvertDepthFrameToPointCloudVector(nullptr, points.data()), -5);
    EXPECT_EQ(decode->ConvertDepthFrameToPointCloudVector(&frame, nullptr), -12);
    Frame noData = frame;
    noData.data = nullptr;
    EXPECT_EQ(decode->ConvertDepthFrameToPointCloudVector(&noData, points.data()), -5);
}

TEST_F(PointCloud, WithoutAUsableTableNothingIsWritten) {
    EXPECT_EQ(decode->ConvertDepthFrameToPointCloudVector(&frame, points.data()), -255);  // never built

    const double zeroFocal[9] = {0, 0, 320, 0, 0, 240, 0, 0, 1};
    ASSERT_EQ(decode->InitDepthFrame2WorldTab(kIntrinsic, nullptr, 0, 0), 0);
    EXPECT_EQ(decode->InitDepthFrame2WorldTab(zeroFocal, nullptr, 0, 0), -15);  // drops the old table too
    EXPECT_EQ(decode->ConvertDepthFrameToPointCloudVector(&frame, points.data()), -255);
    EXPECT_EQ(decode->InitDepthFrame2WorldTab(nullptr, nullptr, 0, 0), -15);

    // A table built for full resolution does not serve a binned mode.
    ASSERT_EQ(decode->InitDepthFrame2WorldTab(kIntrinsic, nullptr, 0, 0), 0);
    decode->SetDataMode(14);
    frame = DepthFrame(320, 240);
    EXPECT_EQ(decode->ConvertDepthFrameToPointCloudVector(&frame, points.data()), -255);
    EXPECT_EQ(points[0].x, 7.0f);
}

}  // namespace
