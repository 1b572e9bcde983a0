#include <gtest/gtest.h>

#include <vector>

#include "CommandHandler.h"
#include "Framing.h"
#include "LittleEndian.h"

namespace camsim {
namespace {

using Bytes = std::vector<uint8_t>;

Command Parse(const Bytes& frame) {
    Command c;
    size_t consumed = 0;
    EXPECT_EQ(ParseCommandFrame(frame.data(), frame.size(), c, consumed), ParseStatus::Complete);
    EXPECT_EQ(consumed, frame.size());
    return c;
}

TEST(Framing, StreamOnSetIsTwelveBytesAndGetsNoReply) {
    const Bytes wire = {0xAA, 0, 0, 0, 0x04, 0, 0, 0, 0xAA, 0x1B, 0x01, 0x01};
    const uint8_t on = 1;
    EXPECT_EQ(BuildCommandFrame(0x1B, &on, 1), wire);

    const Command c = Parse(wire);
    EXPECT_EQ(c.id, 0x1B);
    EXPECT_EQ(c.payload, Bytes{1});
    CommandHandler handler;
    EXPECT_FALSE(handler.Handle(c).has_value());
    EXPECT_TRUE(handler.State().streamOn);
}

TEST(Framing, StreamGetIsAnsweredWithItsIdInBodyByteOne) {
    const Bytes request = {0xAA, 0, 0, 0, 0x05, 0, 0, 0, 0xAA, 0x9B, 0x02, 0x00, 0x00};
    CommandHandler handler;
    const auto reply = handler.Handle(Parse(request));
    ASSERT_TRUE(reply.has_value());
    const Bytes frame = BuildReplyFrame(reply->id, reply->payload);
    const Bytes expected = {0xAA, 0, 0, 0, 0x05, 0, 0, 0, 0xAA, 0x9B, 0x02, 0x00, 0x00};
    EXPECT_EQ(frame, expected);
}

TEST(Framing, LongPayloadAnnounces67AndCarries64Bytes) {
    Bytes payload(100);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i);
    const Bytes frame = BuildCommandFrame(0x19, payload.data(), payload.size());
    ASSERT_EQ(frame.size(), 75u);
    EXPECT_EQ(GetLe32(frame.data() + 4), 67u);
    EXPECT_EQ(frame[10], 64);
    const Command c = Parse(frame);
    EXPECT_EQ(c.payload, Bytes(payload.begin(), payload.begin() + 64));
}

TEST(Framing, PartialFramesNeedMoreAndTwoFramesParseOneByOne) {
    const uint8_t a = 1, b = 0;
    Bytes stream = BuildCommandFrame(0x1B, &a, 1);
    const Bytes second = BuildCommandFrame(0x82, &b, 1);
    stream.insert(stream.end(), second.begin(), second.end());
    Command c;
    size_t consumed = 0;
    for (size_t cut = 0; cut < 12; ++cut)
        EXPECT_EQ(ParseCommandFrame(stream.data(), cut, c, consumed), ParseStatus::NeedMore) << cut;
    ASSERT_EQ(ParseCommandFrame(stream.data(), stream.size(), c, consumed), ParseStatus::Complete);
    EXPECT_EQ(c.id, 0x1B);
    ASSERT_EQ(ParseCommandFrame(stream.data() + consumed, stream.size() - consumed, c, consumed),
              ParseStatus::Complete);
    EXPECT_EQ(c.id, 0x82);
    EXPECT_EQ(c.payload, Bytes{0});
}

TEST(Framing, MalformedHeadsAreRefused) {
    struct Case {
        const char* name;
        Bytes frame;
    };
    const Case cases[] = {
        {"type word not 0xAA", {0x01, 0, 0, 0, 0x04, 0, 0, 0, 0xAA, 0x1B, 0x01, 0x01}},
        {"length below the body head", {0xAA, 0, 0, 0, 0x02, 0, 0, 0, 0xAA, 0x1B}},
        {"length above 67", {0xAA, 0, 0, 0, 0x44, 0, 0, 0}},
        {"huge length", {0xAA, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"marker not 0xAA", {0xAA, 0, 0, 0, 0x04, 0, 0, 0, 0xAB, 0x1B, 0x01, 0x01}},
        {"payload length disagrees with the head", {0xAA, 0, 0, 0, 0x04, 0, 0, 0, 0xAA, 0x1B, 0x02, 0x01}},
    };
    for (const Case& tc : cases) {
        Command c;
        size_t consumed = 0;
        EXPECT_EQ(ParseCommandFrame(tc.frame.data(), tc.frame.size(), c, consumed), ParseStatus::Malformed) << tc.name;
    }
}

TEST(Framing, ReplyDataIsBoundedByItsOneByteLength) {
    const Bytes frame = BuildReplyFrame(0x93, Bytes(300, 7));
    EXPECT_EQ(frame.size(), kFrameHeadSize + kCommandBodyHeadSize + kMaxReplyData);
    EXPECT_EQ(frame[10], kMaxReplyData);
    Command c;
    size_t consumed = 0;
    ASSERT_EQ(ParseReplyFrame(frame.data(), frame.size(), c, consumed), ParseStatus::Complete);
    EXPECT_EQ(c.payload.size(), kMaxReplyData);
}

TEST(Framing, DataFrameHeadIsTypeOneAndLength) {
    EXPECT_EQ(BuildDataFrameHead(0x01020304), (Bytes{1, 0, 0, 0, 4, 3, 2, 1}));
    EXPECT_EQ(BuildDataFrameHead(0, 3), (Bytes{3, 0, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace camsim
