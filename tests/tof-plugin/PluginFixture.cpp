#include "PluginFixture.h"

#include <algorithm>
#include <cstring>
#include <ostream>

namespace toftest {

PluginFixture::PluginFixture() {
    m_tof = Plugin::Get().Create();
    if (!m_tof) {
        ADD_FAILURE() << "plug-in not loaded: " << Plugin::Get().LoadError();
        return;
    }
    if (m_tof->Init(&m_camera.control, &m_consumer, &m_preprocess) != 0) {
        ADD_FAILURE() << "Init failed";
    }
    m_camera.control.ClearSent();
}

PluginFixture::~PluginFixture() {
    if (m_tof) {
        m_tof->SetOpenState(false);
    }
    m_tof.reset();
}

std::vector<Wire> PluginFixture::SentLike(const std::vector<Wire>& expected) const {
    std::vector<Wire> out;
    for (const auto& sent : m_camera.control.SentCommands()) {
        Wire wire{sent.cmd, sent.cmdType, sent.payload};
        const size_t at = out.size();
        if (at < expected.size() && wire.payload.size() > expected[at].payload.size()) {
            wire.payload.resize(expected[at].payload.size());
        }
        out.push_back(wire);
    }
    return out;
}

void PluginFixture::ExpectSent(const std::vector<Wire>& expected) const {
    const std::vector<Wire> sent = SentLike(expected);
    ASSERT_EQ(expected.size(), sent.size()) << "commands sent";
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(expected[i], sent[i]) << "command " << i;
    }
}

Bytes PluginFixture::ComputedRecord(const camsim::Scene& scene, bool binned, uint8_t depthRange) {
    Bytes record;
    camsim::ToFRecords().AppendComputed(record, scene, binned, depthRange);
    return record;
}

Bytes PluginFixture::RawRecord(const camsim::Scene& scene, bool binned, uint8_t depthRange) {
    Bytes record;
    camsim::ToFRecords().AppendRaw(record, scene, binned, depthRange, 300, 0);
    return record;
}

void PluginFixture::Feed(Bytes& record, uint32_t frameIndex) {
    const int kinds = m_tof->CheckImgData(record.data(), static_cast<int>(record.size()));
    ASSERT_GE(kinds, 0) << "the plug-in refused the record";
    const FrameSyncInfo info{frameIndex, static_cast<HasFrameType>(kinds), 1000u + frameIndex};
    EXPECT_EQ(-1, m_tof->ProcessData(record.data(), static_cast<int>(record.size()), info));
}

PluginFixture::FrameCopy PluginFixture::NextFrame(FrameType type, int polls) {
    FrameCopy copy;
    // A frame of a working decoder comes within a few waits.
    for (int attempt = 0; attempt < polls && !copy.present; ++attempt) {
        Frame* frame = nullptr;
        if (m_tof->GetFrame(type, &frame) != 0 || frame == nullptr) {
            continue;
        }
        copy.present = true;
        copy.frameIndex = frame->frameIndex;
        copy.pixelFormat = frame->pixelFormat;
        copy.width = frame->width;
        copy.height = frame->height;
        copy.hasFrameType = frame->hasFrameType;
        copy.data.assign(frame->data, frame->data + frame->length);
        m_tof->RecycleFrame(frame);
    }
    return copy;
}

std::ostream& operator<<(std::ostream& out, const Wire& wire) {
    out << "{cmd 0x" << std::hex << wire.cmd << std::dec << ", type " << wire.type << ", payload";
    for (uint8_t byte : wire.payload) out << ' ' << int(byte);
    return out << '}';
}

bool operator==(const Wire& a, const Wire& b) { return a.cmd == b.cmd && a.type == b.type && a.payload == b.payload; }

}  // namespace toftest
