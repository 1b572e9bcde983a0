#pragma once
#include <cstdint>

#include "ToFRecordLayout.h"

// The head of a ToF sensor record as the kit hands it over, read with signed sizes so that
// a record shorter than it claims never passes a length check.
struct ToFRecordHead {
    static constexpr int kSize = static_cast<int>(tofrecord::kHeadSize);

    uint8_t type = 0;
    int32_t length = 0;  // the 24-bit payload length

    // False when the record is too short to hold a head.
    static bool Read(const uint8_t* record, int size, ToFRecordHead& out);

    // One of the four ToF record types.
    bool IsToF() const { return tofrecord::PayloadLength(type) != 0; }
    // The payload length is the one its type carries.
    bool HasExpectedLength() const { return IsToF() && static_cast<size_t>(length) == tofrecord::PayloadLength(type); }
};
