#include <gtest/gtest.h>

#include <vector>

#include "PreProcTestImages.h"

namespace {

using namespace preproc_test;

enum class Operation { Flip, Rotate };

struct OrientationCase {
    const char* name;
    Operation operation;
    int code;
    int width, height;        // after the operation
    std::vector<int> pixels;  // which pixel of the 3x2 image (numbered 1 to 6) lands where
};

// The 3x2 image   1 2 3
//                 4 5 6
const OrientationCase kCases[] = {
    {"mirrorLeftRight", Operation::Flip, 1, 3, 2, {3, 2, 1, 6, 5, 4}},
    {"mirrorTopBottom", Operation::Flip, 0, 3, 2, {4, 5, 6, 1, 2, 3}},
    {"mirrorBoth", Operation::Flip, -1, 3, 2, {6, 5, 4, 3, 2, 1}},
    {"clockwise", Operation::Rotate, 0, 2, 3, {4, 1, 5, 2, 6, 3}},
    {"halfTurn", Operation::Rotate, 1, 3, 2, {6, 5, 4, 3, 2, 1}},
    {"counterClockwise", Operation::Rotate, 2, 2, 3, {3, 6, 2, 5, 1, 4}},
};

const ALG_ElemType kTypes[] = {ALG_ELEM_8U, ALG_ELEM_16U, ALG_ELEM_8UC3};

int Bytes(ALG_ElemType type) { return type == ALG_ELEM_8U ? 1 : type == ALG_ELEM_16U ? 2 : 3; }

// Pixel k (1 to 6) holds the bytes 16k, 16k + 1, ...
Image Numbered(ALG_ElemType type) {
    Image image(type, 3, 2);
    for (int k = 1; k <= 6; ++k)
        for (int b = 0; b < Bytes(type); ++b)
            image.Bytes()[(k - 1) * Bytes(type) + b] = static_cast<uint8_t>(16 * k + b);
    return image;
}

int Apply(APIImgPreProcess& preProcess, Operation operation, PreProcImage* image, int code) {
    return operation == Operation::Flip ? preProcess.Flip(image, code) : preProcess.Rotate(image, code);
}

class Orientation : public ::testing::TestWithParam<std::tuple<OrientationCase, ALG_ElemType>> {};

TEST_P(Orientation, MovesEveryPixelWhole) {
    const auto& [c, type] = GetParam();
    auto preProcess = MakePreProcess();
    Image image = Numbered(type);
    PreProcImage* descriptor = image.Descriptor();
    ASSERT_EQ(Apply(*preProcess, c.operation, descriptor, c.code), 0);
    EXPECT_EQ(descriptor->width, c.width);
    EXPECT_EQ(descriptor->height, c.height);
    EXPECT_EQ(descriptor->elemType, type);
    Image expected(type, c.width, c.height);
    for (size_t at = 0; at < c.pixels.size(); ++at)
        for (int b = 0; b < Bytes(type); ++b)
            expected.Bytes()[at * Bytes(type) + b] = static_cast<uint8_t>(16 * c.pixels[at] + b);
    EXPECT_EQ(image.Bytes(), expected.Bytes());
}

INSTANTIATE_TEST_SUITE_P(Table, Orientation,
                         ::testing::Combine(::testing::ValuesIn(kCases), ::testing::ValuesIn(kTypes)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::to_string(Bytes(std::get<1>(info.param)) * 8) + "bit";
                         });

TEST(OrientationTurns, FourQuarterTurnsGiveTheImageBack) {
    auto preProcess = MakePreProcess();
    Image image = CoordinateImage(37, 23);
    const auto before = image.Bytes();
    PreProcImage* descriptor = image.Descriptor();
    for (int i = 0; i < 4; ++i) ASSERT_EQ(preProcess->Rotate(descriptor, 0), 0);
    EXPECT_EQ(descriptor->width, 37);
    EXPECT_EQ(descriptor->height, 23);
    EXPECT_EQ(image.Bytes(), before);
    ASSERT_EQ(preProcess->Rotate(descriptor, 0), 0);
    ASSERT_EQ(preProcess->Rotate(descriptor, 2), 0);
    EXPECT_EQ(image.Bytes(), before);
}

struct RefusedCase {
    const char* name;
    Operation operation;
    int code;
};

class RefusedOrientation : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedOrientation, LeavesTheImageAsItWas) {
    auto preProcess = MakePreProcess();
    Image image = Numbered(ALG_ELEM_16U);
    const auto before = image.Bytes();
    PreProcImage* descriptor = image.Descriptor();
    EXPECT_EQ(Apply(*preProcess, GetParam().operation, descriptor, GetParam().code), -1);
    EXPECT_EQ(descriptor->width, 3);
    EXPECT_EQ(descriptor->height, 2);
    EXPECT_EQ(image.Bytes(), before);
}

INSTANTIATE_TEST_SUITE_P(Codes, RefusedOrientation,
                         ::testing::Values(RefusedCase{"flip2", Operation::Flip, 2},
                                           RefusedCase{"flipMinus2", Operation::Flip, -2},
                                           RefusedCase{"rotate3", Operation::Rotate, 3},
                                           RefusedCase{"rotateMinus255", Operation::Rotate, -255}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OrientationArguments, UnusableImagesAreRefused) {
    auto preProcess = MakePreProcess();
    EXPECT_EQ(preProcess->Flip(nullptr, 1), -1);
    EXPECT_EQ(preProcess->Rotate(nullptr, 0), -1);
    PreProcImage noData{nullptr, ALG_ELEM_8U, 3, 2};
    EXPECT_EQ(preProcess->Flip(&noData, 1), -1);
    uint8_t pixels[6] = {};
    PreProcImage empty{pixels, ALG_ELEM_8U, 0, 2};
    EXPECT_EQ(preProcess->Rotate(&empty, 0), -1);
}

}  // namespace
