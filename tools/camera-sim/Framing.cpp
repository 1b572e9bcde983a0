#include "Framing.h"

#include <algorithm>

#include "LittleEndian.h"

namespace camsim {

namespace {

std::vector<uint8_t> BuildFrame(uint8_t id, const uint8_t* data, size_t length) {
    std::vector<uint8_t> frame;
    PutLe32(frame, 0, kCommandFrameType);
    PutLe32(frame, 4, static_cast<uint32_t>(length + kCommandBodyHeadSize));
    frame.push_back(kCommandMarker);
    frame.push_back(id);
    frame.push_back(static_cast<uint8_t>(length));
    frame.insert(frame.end(), data, data + length);
    return frame;
}

// Both directions share the frame shape; they differ only in the payload bound.
ParseStatus ParseFrame(const uint8_t* data, size_t size, size_t maxPayload, Command& out, size_t& consumed) {
    if (size < kFrameHeadSize) return ParseStatus::NeedMore;
    const uint32_t type = GetLe32(data);
    const uint32_t bodyLength = GetLe32(data + 4);
    if (type != kCommandFrameType || bodyLength < kCommandBodyHeadSize ||
        bodyLength > kCommandBodyHeadSize + maxPayload)
        return ParseStatus::Malformed;
    if (size < kFrameHeadSize + bodyLength) return ParseStatus::NeedMore;
    const uint8_t* body = data + kFrameHeadSize;
    if (body[0] != kCommandMarker || body[2] != bodyLength - kCommandBodyHeadSize) return ParseStatus::Malformed;
    out.id = body[1];
    out.payload.assign(body + kCommandBodyHeadSize, body + bodyLength);
    consumed = kFrameHeadSize + bodyLength;
    return ParseStatus::Complete;
}

}  // namespace

ParseStatus ParseCommandFrame(const uint8_t* data, size_t size, Command& out, size_t& consumed) {
    return ParseFrame(data, size, kMaxCommandPayload, out, consumed);
}

ParseStatus ParseReplyFrame(const uint8_t* data, size_t size, Command& out, size_t& consumed) {
    return ParseFrame(data, size, kMaxReplyData, out, consumed);
}

std::vector<uint8_t> BuildCommandFrame(uint8_t id, const uint8_t* payload, size_t length) {
    return BuildFrame(id, payload, std::min(length, kMaxCommandPayload));
}

std::vector<uint8_t> BuildReplyFrame(uint8_t id, const std::vector<uint8_t>& data) {
    return BuildFrame(id, data.data(), std::min(data.size(), kMaxReplyData));
}

std::vector<uint8_t> BuildDataFrameHead(uint32_t payloadLength, uint32_t type) {
    std::vector<uint8_t> head;
    PutLe32(head, 0, type);
    PutLe32(head, 4, payloadLength);
    return head;
}

}  // namespace camsim
