// Wire framing of both camera channels: command frames in, replies and data-frame heads out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace camsim {

constexpr uint32_t kCommandFrameType = 0xAA;
constexpr uint8_t kCommandMarker = 0xAA;
constexpr uint32_t kDataFrameType = 1;
constexpr size_t kFrameHeadSize = 8;        // u32 LE type, u32 LE body length
constexpr size_t kCommandBodyHeadSize = 3;  // marker, id, payload length
constexpr size_t kMaxCommandPayload = 64;   // the host's command buffer
// A reply carries its data length in one byte that the host reads as signed.
constexpr size_t kMaxReplyData = 127;

struct Command {
    uint8_t id = 0;  // as on the wire: bit 7 set asks for a reply
    std::vector<uint8_t> payload;
};

enum class ParseStatus { Complete, NeedMore, Malformed };

// Parses one command frame from the start of a received byte stream. On Complete,
// `consumed` is the frame's size; on Malformed the stream cannot be resynchronised.
ParseStatus ParseCommandFrame(const uint8_t* data, size_t size, Command& out, size_t& consumed);

// Builds a host command frame; only the first 64 payload bytes travel, as on the host.
std::vector<uint8_t> BuildCommandFrame(uint8_t id, const uint8_t* payload, size_t length);

// Builds a reply frame; data beyond kMaxReplyData is not sent.
std::vector<uint8_t> BuildReplyFrame(uint8_t id, const std::vector<uint8_t>& data);

// Parses one reply frame (for host-side test clients); same contract as ParseCommandFrame.
ParseStatus ParseReplyFrame(const uint8_t* data, size_t size, Command& out, size_t& consumed);

// The 8-byte head of a data frame.
std::vector<uint8_t> BuildDataFrameHead(uint32_t payloadLength, uint32_t type = kDataFrameType);

}  // namespace camsim
