#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <vector>

#include "ByteOrder.h"

namespace {

// Values are named by their bits, so a NaN's payload and a zero's sign can be compared.
template <typename To, typename From>
To SameBits(From from) {
    static_assert(sizeof(To) == sizeof(From), "same width");
    To to;
    std::memcpy(&to, &from, sizeof(to));
    return to;
}

template <typename Bits>
struct WireCase {
    const char* name;
    Bits bits;
    std::array<uint8_t, sizeof(Bits)> wire;  // lowest byte first
};

const WireCase<uint32_t> kFloatCases[] = {
    {"One", 0x3F800000u, {0x00, 0x00, 0x80, 0x3F}},
    {"MinusTwoAndAHalf", 0xC0200000u, {0x00, 0x00, 0x20, 0xC0}},
    {"MinusZero", 0x80000000u, {0x00, 0x00, 0x00, 0x80}},
    {"NaNWithPayload", 0x7FC12345u, {0x45, 0x23, 0xC1, 0x7F}},
};

const WireCase<uint64_t> kDoubleCases[] = {
    {"One", 0x3FF0000000000000u, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F}},
    {"MinusTwoAndAHalf", 0xC004000000000000u, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0xC0}},
    {"SmallestSubnormal", 0x0000000000000001u, {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {"NaNWithPayload", 0x7FF80000ABCDEF01u, {0x01, 0xEF, 0xCD, 0xAB, 0x00, 0x00, 0xF8, 0x7F}},
};

// Wire fields sit at odd positions; the bytes around a field must stay as they were.
constexpr size_t kAt = 3;
constexpr uint8_t kAround = 0xA5;

template <typename Value, typename Bits, size_t N>
void ExpectLowestByteFirst(const WireCase<Bits> (&cases)[N], Value (*get)(const uint8_t*),
                           void (*put)(uint8_t*, Value)) {
    for (const WireCase<Bits>& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> wire(kAt + c.wire.size() + 1, kAround);
        std::memcpy(wire.data() + kAt, c.wire.data(), c.wire.size());
        EXPECT_EQ(SameBits<Bits>(get(wire.data() + kAt)), c.bits);

        std::vector<uint8_t> sent(wire.size(), kAround);
        put(sent.data() + kAt, SameBits<Value>(c.bits));
        EXPECT_EQ(sent, wire);
    }
}

TEST(ByteOrderTest, FloatsTravelLowestByteFirst) {
    ExpectLowestByteFirst(kFloatCases, byteorder::GetLeFloat, byteorder::PutLeFloat);
}

TEST(ByteOrderTest, DoublesTravelLowestByteFirst) {
    ExpectLowestByteFirst(kDoubleCases, byteorder::GetLeDouble, byteorder::PutLeDouble);
}

TEST(ByteOrderTest, ExtremeValuesComeBackBitForBit) {
    uint8_t wire[kAt + 8] = {};
    for (float value : {std::numeric_limits<float>::max(), std::numeric_limits<float>::denorm_min(),
                        -std::numeric_limits<float>::infinity(), 3.14159274f}) {
        byteorder::PutLeFloat(wire + kAt, value);
        EXPECT_EQ(SameBits<uint32_t>(byteorder::GetLeFloat(wire + kAt)), SameBits<uint32_t>(value)) << value;
    }
    for (double value : {std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
                         std::numeric_limits<double>::infinity(), -1234.5678901234567}) {
        byteorder::PutLeDouble(wire + kAt, value);
        EXPECT_EQ(SameBits<uint64_t>(byteorder::GetLeDouble(wire + kAt)), SameBits<uint64_t>(value)) << value;
    }
}

}  // namespace
