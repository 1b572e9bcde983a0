// One data frame's payload walked as the ToF-and-colour receive path walks it, with the
// built plug-ins' record intake (CheckImgData, ProcessData) behind the dispatch.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ColorRecordDispatch.h"
#include "Color_API.h"
#include "DeviceErrorList.h"
#include "FakeCommonControl.h"
#include "FakeConsumer.h"
#include "FuzzCheck.h"
#include "IdentityPreProcess.h"
#include "RecordWalker.h"
#include "ToFRecordLayout.h"
#include "ToF_API.h"

namespace {

using fuzzcheck::Check;

// Checks every record the walk offers against the data frame it came from.
class CheckedDispatch : public RecordDispatch {
public:
    explicit CheckedDispatch(RecordDispatch& inner) : m_inner(inner) {}
    void Frame(const uint8_t* payload, int size) {
        m_begin = payload;
        m_end = payload + size;
    }
    void Begin() override { m_inner.Begin(); }
    int Offer(uint8_t* record, int remaining, int length) override {
        Check(record >= m_begin && record + 5 <= m_end, "offered record outside the data frame");
        Check(record + remaining == m_end, "remaining bytes do not reach the end of the data frame");
        Check(length >= 5 && length <= remaining, "offered record longer than the data frame");
        const int answer = m_inner.Offer(record, remaining, length);
        Check(answer == -255 || answer == -1 || (answer >= 0 && (answer & ~0x0F) == 0),
              "answer neither frame-kind bits nor a refusal:", std::to_string(answer));
        // A ToF record is taken exactly when it has its type's length; a colour record when it
        // carries any payload.
        const size_t tofPayload = tofrecord::PayloadLength(record[0]);
        if (tofPayload != 0) {
            Check((answer == -1) == (static_cast<size_t>(length) != tofrecord::kHeadSize + tofPayload),
                  "a ToF record's length decides its answer:", std::to_string(length));
        } else if (record[0] == '4' || record[0] == '6' || record[0] == '7') {
            Check((answer == -1) == (length == 5), "a colour record's length decides its answer");
        }
        return answer;
    }
    bool Claimed() const override { return m_inner.Claimed(); }
    void Deliver(const FrameSyncInfo& info) override { m_inner.Deliver(info); }

private:
    RecordDispatch& m_inner;
    const uint8_t* m_begin = nullptr;
    const uint8_t* m_end = nullptr;
};

struct Plugins {
    testsupport::FakeCommonControl control;
    testsupport::FakeConsumer consumer;
    testsupport::IdentityPreProcess preProcess;
    std::unique_ptr<ToF_API> tof;
    std::unique_ptr<Color_API> color;
};

Plugins* g_plugins = nullptr;

// The payload sizes of the ToF records, so that the fuzzer can reach whole records.
constexpr uint32_t kToFLengths[] = {4945920, 1244160, 1536000, 384000};

// Input: a mode byte. Mode 0: the rest is the payload as the camera sent it. Otherwise the rest
// is a list of records, each a head (type, 24-bit length, depth-range byte), a fill selector and
// the record's first bytes; the selector picks the payload's size (as declared, one short or long,
// or a ToF record's size), the rest of it is zeros.
void BuildPayload(fuzzcheck::Reader& in, std::vector<uint8_t>& payload) {
    payload.clear();
    const uint8_t mode = in.Byte();
    if (mode == 0) {
        payload = in.Rest();
        return;
    }
    // A data frame of a ToF record, a colour record and host records is at most a few MB.
    for (int records = 0; in.Remaining() > 0 && records < 8 && payload.size() < 8u * 1024 * 1024; ++records) {
        const uint8_t type = in.Byte();
        uint32_t length = in.Byte();
        length |= static_cast<uint32_t>(in.Word()) << 8;
        const uint8_t range = in.Byte();
        const uint8_t fill = in.Byte();
        const std::vector<uint8_t> first = in.Bytes(in.Byte());
        if ((fill & 0x0C) == 0x0C) length = kToFLengths[fill & 3];
        uint32_t body = std::min<uint32_t>(length, 8u * 1024 * 1024);
        if ((fill & 0x30) == 0x10 && body > 0) --body;
        if ((fill & 0x30) == 0x20) ++body;
        payload.insert(payload.end(), {type, uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16), range});
        const size_t start = payload.size();
        payload.resize(start + body, 0);
        std::copy_n(first.begin(), std::min<size_t>(first.size(), body), payload.begin() + start);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static const std::string logDir = fuzzcheck::MakeRunFolder("walk");
    auto getToF = reinterpret_cast<GetToFFunction>(fuzzcheck::LoadSymbol(TOF_PLUGIN_PATH, "Get_ToF"));
    auto getColor = reinterpret_cast<GetColorFunction>(fuzzcheck::LoadSymbol(COLOR_PLUGIN_PATH, "Get_Color"));
    g_plugins = new Plugins;
    g_plugins->tof.reset(getToF(logDir.c_str()));
    g_plugins->color.reset(getColor(logDir.c_str()));
    Check(g_plugins->tof != nullptr && g_plugins->color != nullptr, "a plug-in factory gave nothing");
    g_plugins->tof->Init(&g_plugins->control, &g_plugins->consumer, &g_plugins->preProcess);
    g_plugins->color->Init(&g_plugins->control, &g_plugins->consumer, &g_plugins->preProcess);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::Reader in(data, size);
    // Kept between inputs: fresh pages for megabytes of records would cost more than the walk.
    static std::vector<uint8_t> payload;
    BuildPayload(in, payload);
    Check(payload.size() <= static_cast<size_t>(INT32_MAX), "payload too large");

    ColorRecordDispatch dispatch(*g_plugins->tof, *g_plugins->color);
    CheckedDispatch checked(dispatch);
    checked.Frame(payload.data(), static_cast<int>(payload.size()));
    DeviceErrorList errors("fuzz");
    RecordWalker walker(checked, errors, "fuzz");
    const WalkResult result = walker.Walk(payload.data(), static_cast<int>(payload.size()));
    Check((result.frameTypeBits & ~0x0F) == 0, "frame-kind bits beyond depth, IR, colour and confidence");
    if (checked.Claimed()) checked.Deliver(FrameSyncInfo{1, result.frameTypeBits, result.timestamp});

    QlDeviceErrorInfo info;
    std::memset(&info, 0x5A, sizeof(info));
    const int count = errors.GetErrMsg(&info);
    Check(count >= 0 && count <= static_cast<int>(DeviceErrorList::kMaxMessages) && count == info.count,
          "error count out of range");
    for (int i = 0; i < count; ++i) fuzzcheck::CheckTerminated(info.errMsg[i], "device error text");
    return 0;
}
