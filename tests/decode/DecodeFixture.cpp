#include "DecodeFixture.h"

#include <cstring>

std::vector<uint8_t> RawRecord(const camsim::Scene& scene, bool binned, uint8_t range, uint16_t temperature,
                               uint32_t exposure) {
    camsim::ToFRecords records;
    std::vector<uint8_t> out;
    records.AppendRaw(out, scene, binned, range, temperature, exposure);
    return out;
}

std::vector<uint8_t> ComputedRecord(const camsim::Scene& scene, bool binned, uint8_t range) {
    camsim::ToFRecords records;
    std::vector<uint8_t> out;
    records.AppendComputed(out, scene, binned, range);
    return out;
}

std::vector<uint8_t> ZeroTapRecord(bool binned, uint8_t range, uint16_t temperature) {
    // Built by hand: the simulator writes no taps of zero.
    const size_t block = binned ? 311040 : 1236480;
    const size_t markers[4] = {binned ? 308553u : 1231433u, binned ? 619593u : 2467913u, binned ? 930633u : 3704393u,
                               binned ? 1241673u : 4940873u};
    const size_t payload = 4 * block;
    std::vector<uint8_t> record(5 + payload, 0);
    record[0] = binned ? 0xB2 : 0xB1;
    record[1] = static_cast<uint8_t>(payload);
    record[2] = static_cast<uint8_t>(payload >> 8);
    record[3] = static_cast<uint8_t>(payload >> 16);
    record[4] = range;
    for (int k = 0; k < 4; ++k) {
        record[5 + markers[k]] = static_cast<uint8_t>(k);
    }
    record[5 + (binned ? 309817 : 1233977)] = static_cast<uint8_t>(temperature >> 8);
    record[5 + (binned ? 309821 : 1233981)] = static_cast<uint8_t>(temperature);
    return record;
}

Frame RawFrameOver(std::vector<uint8_t>& record, uint32_t index, HasFrameType bits) {
    Frame frame{};
    frame.frameType = FRAME_RAW_TOF;
    frame.pixelFormat = PIXEL_FORMAT_RAW;
    frame.data = record.data();
    frame.length = static_cast<uint32_t>(record.size());
    frame.capacity = static_cast<uint32_t>(record.size());
    frame.frameIndex = index;
    frame.hasFrameType = bits;
    frame.timestamp = 1000 + index;
    return frame;
}

std::vector<uint16_t> Pixels16(const Frame& frame) {
    std::vector<uint16_t> pixels(static_cast<size_t>(frame.width) * frame.height);
    std::memcpy(pixels.data(), frame.data, pixels.size() * 2);
    return pixels;
}

std::vector<uint8_t> Pixels8(const Frame& frame) {
    return std::vector<uint8_t>(frame.data, frame.data + static_cast<size_t>(frame.width) * frame.height);
}

void DecodeTest::TearDown() {
    if (decode) {
        for (Frame* frame : taken) {
            decode->RecycleFrame(frame);
        }
    }
}

TofDecode& DecodeTest::Make(APIImgPreProcess* preprocess) {
    decode = std::make_unique<TofDecode>(&producer, Folder());
    decode->Init(&consumer, preprocess);
    return *decode;
}

void DecodeTest::WriteTable(const std::string& name, const std::vector<uint16_t>& values) const {
    std::string bytes(values.size() * 2, '\0');
    std::memcpy(&bytes[0], values.data(), bytes.size());
    testsupport::WriteFile(dir.File(name), bytes);
}

bool DecodeTest::Decode(std::vector<uint8_t>& record, uint32_t index, HasFrameType bits) {
    Frame raw = RawFrameOver(record, index, bits);
    return decode->DecodeOne(&raw);
}

Frame* DecodeTest::Take(FrameType type) {
    Frame* frame = nullptr;
    if (decode->IsFrameReady(type) && decode->GetFrame(type, &frame) == 0) {
        taken.push_back(frame);
    }
    return frame;
}

void DecodeTest::DecodeAndDrop(std::vector<uint8_t>& record) {
    ASSERT_TRUE(Decode(record));
    for (FrameType type : {FRAME_DEPTH, FRAME_IR, FRAME_CONFIDENCE}) {
        Frame* frame = nullptr;
        ASSERT_EQ(decode->GetFrame(type, &frame), 0);
        decode->RecycleFrame(frame);
    }
}

oracle::Planes DecodeTest::Expected(const std::vector<uint8_t>& record, int maxDepth, bool temperatureOffset,
                                    const std::vector<uint16_t>* background, const std::vector<uint16_t>* table) const {
    oracle::RawInput input{
        record.data() + 5, record[0] == 0xB2, record[4] & 0x0F, maxDepth, temperatureOffset, background, table};
    return oracle::DecodeRaw(input);
}
