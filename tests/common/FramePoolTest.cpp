#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "FramePool.h"

namespace {

bool AllZero(const Frame* frame) {
    return std::all_of(frame->data, frame->data + frame->capacity, [](uint8_t b) { return b == 0; });
}

void Fill(Frame* frame) {
    frame->frameIndex = 7;
    frame->length = frame->capacity;
    frame->exposureTime = 1.5f;
    frame->depthRange = 3;
    frame->width = 640;
    frame->height = 480;
    frame->hasFrameType = HAS_DEPTH_FRAME | HAS_IR_FRAME;
    frame->timestamp = 123456789;
    if (frame->data != nullptr) {
        std::fill(frame->data, frame->data + frame->capacity, 0xAB);
    }
}

void ExpectCleared(const Frame* frame) {
    EXPECT_EQ(frame->frameIndex, 0u);
    EXPECT_EQ(frame->length, 0u);
    EXPECT_EQ(frame->exposureTime, 0.0f);
    EXPECT_EQ(frame->depthRange, 0u);
    EXPECT_EQ(frame->width, 0u);
    EXPECT_EQ(frame->height, 0u);
    EXPECT_EQ(frame->hasFrameType, 0u);
    EXPECT_EQ(uint64_t{frame->timestamp}, 0u);  // copied: the packed field is not aligned
    if (frame->data != nullptr) {
        EXPECT_TRUE(AllZero(frame));
    }
}

struct TypeCase {
    int type;
    uint32_t capacity;
    PixelFormat format;
};

class FramePoolTypes : public ::testing::TestWithParam<TypeCase> {};

TEST_P(FramePoolTypes, FramesHaveTheTypesBufferAndFormat) {
    const TypeCase c = GetParam();
    const FrameType type = static_cast<FrameType>(c.type);
    FramePool pool(type, 2);
    EXPECT_EQ(pool.Count(), 2u);
    EXPECT_EQ(pool.FreeCount(), 2u);
    for (int i = 0; i < 2; ++i) {
        Frame* frame = pool.AllocFrame(type);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->frameType, type);
        EXPECT_EQ(frame->pixelFormat, c.format);
        EXPECT_EQ(frame->capacity, c.capacity);
        EXPECT_EQ(frame->data == nullptr, c.capacity == 0);
        ExpectCleared(frame);
    }
    EXPECT_EQ(pool.AllocFrame(type), nullptr);
}

// Frames without a buffer (capacity 0) must survive being filled in and recycled.
TEST_P(FramePoolTypes, RecycleClearsAndKeepsTheBuffer) {
    const TypeCase c = GetParam();
    const FrameType type = static_cast<FrameType>(c.type);
    FramePool pool(type, 1);
    Frame* frame = pool.AllocFrame(type);
    ASSERT_NE(frame, nullptr);
    uint8_t* const data = frame->data;
    Fill(frame);
    EXPECT_TRUE(pool.RecycleFrame(frame));
    ExpectCleared(frame);
    EXPECT_EQ(frame->frameType, type);
    EXPECT_EQ(frame->pixelFormat, c.format);
    EXPECT_EQ(static_cast<uint8_t*>(frame->data), data);
    EXPECT_EQ(frame->capacity, c.capacity);
    EXPECT_EQ(pool.AllocFrame(type), frame);
}

INSTANTIATE_TEST_SUITE_P(
    AllTypes, FramePoolTypes,
    ::testing::Values(TypeCase{-2, 4945925, PIXEL_FORMAT_RAW}, TypeCase{-1, 2073600, PIXEL_FORMAT_RAW},
                      TypeCase{0, 614400, PIXEL_FORMAT_DEPTH_MM16}, TypeCase{1, 614400, PIXEL_FORMAT_GRAY8},
                      TypeCase{3, 6220800, PIXEL_FORMAT_RGB}, TypeCase{8, 614400, PIXEL_FORMAT_GRAY16},
                      TypeCase{2, 0, PIXEL_FORMAT_RAW}, TypeCase{4, 0, PIXEL_FORMAT_RAW},
                      TypeCase{5, 0, PIXEL_FORMAT_RAW}, TypeCase{6, 0, PIXEL_FORMAT_RAW},
                      TypeCase{7, 0, PIXEL_FORMAT_RAW}, TypeCase{42, 0, PIXEL_FORMAT_RAW}),
    [](const ::testing::TestParamInfo<TypeCase>& info) {
        const int type = info.param.type;
        return (type < 0 ? "Minus" : "Type") + std::to_string(type < 0 ? -type : type);
    });

TEST(FramePool, AllocOfAnotherTypeIsRefusedWhileFramesAreFree) {
    FramePool pool(FRAME_DEPTH, 3);
    EXPECT_EQ(pool.AllocFrame(FRAME_IR), nullptr);
    EXPECT_EQ(pool.AllocFrame(FRAME_RAW_TOF), nullptr);
    EXPECT_EQ(pool.FreeCount(), 3u);
}

TEST(FramePool, AllocTakesTheOldestFreeFrame) {
    FramePool pool(FRAME_IR, 3);
    Frame* a = pool.AllocFrame(FRAME_IR);
    Frame* b = pool.AllocFrame(FRAME_IR);
    Frame* c = pool.AllocFrame(FRAME_IR);
    ASSERT_TRUE(a && b && c);
    EXPECT_TRUE(pool.RecycleFrame(b));
    EXPECT_TRUE(pool.RecycleFrame(a));
    EXPECT_EQ(pool.AllocFrame(FRAME_IR), b);
    EXPECT_EQ(pool.AllocFrame(FRAME_IR), a);
    EXPECT_EQ(pool.AllocFrame(FRAME_IR), nullptr);
}

TEST(FramePool, RecyclingTwiceListsTheFrameOnce) {
    FramePool pool(FRAME_DEPTH, 2);
    Frame* a = pool.AllocFrame(FRAME_DEPTH);
    Frame* b = pool.AllocFrame(FRAME_DEPTH);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(pool.RecycleFrame(a));
    EXPECT_TRUE(pool.RecycleFrame(a));
    EXPECT_EQ(pool.FreeCount(), 1u);
    EXPECT_EQ(pool.AllocFrame(FRAME_DEPTH), a);
    EXPECT_EQ(pool.AllocFrame(FRAME_DEPTH), nullptr);
}

TEST(FramePool, RefusesNullForeignAndOtherTypeFrames) {
    FramePool pool(FRAME_DEPTH, 1);
    FramePool sameType(FRAME_DEPTH, 1);
    FramePool otherType(FRAME_IR, 1);
    Frame onStack{};
    onStack.frameType = FRAME_DEPTH;
    Frame* foreign = sameType.AllocFrame(FRAME_DEPTH);
    Frame* other = otherType.AllocFrame(FRAME_IR);
    ASSERT_TRUE(foreign && other);
    Fill(foreign);

    EXPECT_FALSE(pool.RecycleFrame(nullptr));
    EXPECT_FALSE(pool.RecycleFrame(&onStack));
    EXPECT_FALSE(pool.RecycleFrame(foreign));
    EXPECT_FALSE(pool.RecycleFrame(other));
    EXPECT_EQ(pool.FreeCount(), 1u);
    EXPECT_EQ(foreign->frameIndex, 7u);  // a refused frame is left untouched
}

// A user that overwrote the buffer fields must not make the clear write past the buffer.
TEST(FramePool, RecycleRestoresTheBufferFieldsBeforeClearing) {
    FramePool pool(FRAME_DEPTH, 1);
    Frame* frame = pool.AllocFrame(FRAME_DEPTH);
    ASSERT_NE(frame, nullptr);
    uint8_t* const data = frame->data;
    frame->capacity = 10 * 614400;
    EXPECT_TRUE(pool.RecycleFrame(frame));
    EXPECT_EQ(frame->capacity, 614400u);
    EXPECT_EQ(static_cast<uint8_t*>(frame->data), data);
}

// Frames still held when the pool goes are freed with it (the leak check of the sanitizer
// build reports them otherwise).
TEST(FramePool, DestroyingThePoolFreesHeldFrames) {
    auto pool = std::make_unique<FramePool>(FRAME_COLOR, 2);
    ASSERT_NE(pool->AllocFrame(FRAME_COLOR), nullptr);
    ASSERT_NE(pool->AllocFrame(FRAME_COLOR), nullptr);
    pool.reset();
}

TEST(FramePool, EmptyPoolGivesNothing) {
    FramePool pool(FRAME_DEPTH, 0);
    EXPECT_EQ(pool.Count(), 0u);
    EXPECT_EQ(pool.AllocFrame(FRAME_DEPTH), nullptr);
}

}  // namespace
