#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Payload.h"
#include "ReceiveFixture.h"

namespace receivetest {
namespace {

constexpr uint8_t kComputed = 0xB7;
constexpr uint8_t kOther = 0xB1;

class RecordWalkTest : public ReceiveFixture {
protected:
    void Walk(Payload& payload) { path->ProcessData(static_cast<int>(payload.bytes.size()), payload.bytes.data()); }

    std::vector<std::string> Errors() {
        QlDeviceErrorInfo info;
        const int count = path->GetErrMsg(&info);
        EXPECT_EQ(count, info.count);
        std::vector<std::string> texts;
        for (int i = 0; i < count; ++i) texts.emplace_back(info.errMsg[i]);
        return texts;
    }
};

TEST_F(RecordWalkTest, HostRecordsAreTakenAndTheToFRecordReachesThePlugInWithItsHead) {
    tof.Answer(kComputed, 3);
    Payload p;
    p.Timestamp(0x1122334455667788ULL).Errors({"lens dirty"}).Computed(1500);
    Walk(p);

    const auto got = tof.Deliveries();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].record, p.RecordBytes(0));
    EXPECT_EQ(got[0].info.frameIndex, 1u);
    EXPECT_EQ(got[0].info.hasFrameType, 3u);
    EXPECT_EQ(got[0].info.timestamp, 0x1122334455667788ULL);
    EXPECT_EQ(tof.Offered(), std::vector<uint8_t>{kComputed});
    EXPECT_EQ(Errors(), std::vector<std::string>{"lens dirty"});
}

// One case of a data frame walked once: what the plug-in answers, what it is offered and
// which record (index into the payload's sensor records) it finally receives.
struct WalkCase {
    const char* name;
    std::function<void(Payload&)> build;
    std::vector<std::pair<uint8_t, int>> answers;
    std::vector<uint8_t> offered;
    int delivered;  // -1: nothing reaches the plug-in
    uint32_t bits;
    uint64_t timestamp;
    const char* logLine;  // expected in the log, or null
};

TEST_F(RecordWalkTest, WalkCases) {
    const WalkCase cases[] = {
        {"the later claim wins, with the bits of both",
         [](Payload& p) { p.Record(kComputed, 16).Record(kOther, 24); },
         {{kComputed, 1}, {kOther, 2}},
         {kComputed, kOther},
         1,
         3,
         0,
         nullptr},
        {"a later timestamp replaces an earlier one",
         [](Payload& p) { p.Timestamp(5).Record(kComputed, 8).Timestamp(9); },
         {{kComputed, 2}},
         {kComputed},
         0,
         2,
         9,
         nullptr},
        {"answer 0 skips the record and the walk goes on",
         [](Payload& p) { p.Record(kOther, 8).Record(kComputed, 8); },
         {{kOther, 0}, {kComputed, 8}},
         {kOther, kComputed},
         1,
         8,
         0,
         nullptr},
        {"a timestamp of length 4 stops the walk and the earlier claim still goes",
         [](Payload& p) { p.Record(kComputed, 8).Record(0x1F, 4).Record(kOther, 8); },
         {{kComputed, 3}, {kOther, 1}},
         {kComputed},
         0,
         3,
         0,
         "typeId:0x1f lenth:4 unUsed:17"},
        {"three stray bytes end the walk with the head line",
         [](Payload& p) {
             p.Record(kComputed, 8).Raw({1, 2, 3});
         },
         {{kComputed, 1}},
         {kComputed},
         0,
         1,
         0,
         "bufferSize:16  unUsed:3   RAWDATAHEADER:5   <"},
        {"a data frame shorter than a head",
         [](Payload& p) {
             p.Raw({kComputed, 1, 0, 0});
         },
         {{kComputed, 1}},
         {},
         -1,
         0,
         0,
         "bufferSize:4  unUsed:4   RAWDATAHEADER:5   <"},
        {"a record longer than the data frame stops the walk",
         [](Payload& p) {
             p.Record(kComputed, 8);
             camsim::AppendRecordHead(p.bytes, kOther, 100, 0);
             p.Raw(std::vector<uint8_t>(10, 0));
         },
         {{kComputed, 1}, {kOther, 1}},
         {kComputed},
         0,
         1,
         0,
         "typeId:177 dataLenth.lenth:100   unUsed:10   >"},
        {"a plug-in error stops the walk",
         [](Payload& p) { p.Record(kComputed, 8).Record(kOther, 8).Record(kComputed, 8); },
         {{kComputed, 1}, {kOther, -1}},
         {kComputed, kOther},
         0,
         1,
         0,
         "hasType:-1 is error"},
        {"types 44 and 46 are skipped unseen",
         [](Payload& p) { p.ShortRecord(7).Record(0x2E, 3).Record(kComputed, 8); },
         {{kComputed, 2}},
         {kComputed},
         1,
         2,
         0,
         nullptr},
        {"a record of length 0 ends the data frame exactly",
         [](Payload& p) { p.Record(kComputed, 0); },
         {{kComputed, 1}},
         {kComputed},
         0,
         1,
         0,
         nullptr},
        {"a frame of nothing but host records reaches no plug-in",
         [](Payload& p) { p.Timestamp(3).Errors({"x"}); },
         {},
         {},
         -1,
         0,
         0,
         nullptr},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingToF fresh;
        auto pre = std::make_unique<testsupport::IdentityPreProcess>();
        ImageProc_ToF walkPath(*control, fresh, std::move(pre), [this] { return now.load(); });
        for (const auto& [type, answer] : c.answers) fresh.Answer(type, answer);
        Payload p;
        c.build(p);
        log.Mark();
        walkPath.ProcessData(static_cast<int>(p.bytes.size()), p.bytes.data());

        EXPECT_EQ(fresh.Offered(), c.offered);
        const auto got = fresh.Deliveries();
        if (c.delivered < 0) {
            EXPECT_TRUE(got.empty());
        } else {
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(got[0].record, p.RecordBytes(static_cast<size_t>(c.delivered)));
            EXPECT_EQ(got[0].info.frameIndex, 1u);
            EXPECT_EQ(got[0].info.hasFrameType, c.bits);
            EXPECT_EQ(got[0].info.timestamp, c.timestamp);
        }
        if (c.logLine != nullptr) {
            EXPECT_TRUE(log.Contains(c.logLine)) << log.Text();
        }
    }
}

TEST_F(RecordWalkTest, FrameIndexCountsOnlyDataFramesWithAClaim) {
    tof.Answer(kComputed, 1);
    tof.Answer(kOther, 0);
    Payload claimed, declined;
    claimed.Record(kComputed, 4);
    declined.Record(kOther, 4);

    Walk(declined);
    Walk(claimed);
    Walk(declined);
    Walk(claimed);

    const auto got = tof.Deliveries();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].info.frameIndex, 1u);
    EXPECT_EQ(got[1].info.frameIndex, 2u);
}

TEST_F(RecordWalkTest, StreamOffWalksButDeliversNothing) {
    tof.Answer(kComputed, 1);
    Payload p;
    p.Timestamp(42).Errors({"overheat"}).Record(kComputed, 4);

    path->SetStream(false);
    Walk(p);
    EXPECT_TRUE(tof.Deliveries().empty());
    EXPECT_EQ(Errors(), std::vector<std::string>{"overheat"});

    path->SetStream(true);
    Payload next;
    next.Record(kComputed, 4);
    Walk(next);
    const auto got = tof.Deliveries();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].info.frameIndex, 2u);  // the data frame walked while off still counted
    EXPECT_EQ(got[0].info.timestamp, 0u);   // a timestamp belongs to its own data frame
}

TEST_F(RecordWalkTest, TwelveErrorEntriesAreKeptAsTen) {
    std::vector<std::string> texts;
    for (int i = 0; i < 12; ++i) texts.push_back("error " + std::to_string(i));
    Payload p;
    p.Errors(texts);
    Walk(p);

    EXPECT_TRUE(log.Contains("m_iDeviceErrorInfoCount:12 is too long than 10.")) << log.Text();
    EXPECT_EQ(Errors(), std::vector<std::string>(texts.begin(), texts.begin() + 10));
}

TEST_F(RecordWalkTest, LongTextIsCutTo63Bytes) {
    const std::string text(70, 'w');
    Payload p;
    p.Errors({text, "short"});
    Walk(p);

    EXPECT_TRUE(log.Contains("errMsg:" + text + " is too long than 64.")) << log.Text();
    EXPECT_EQ(Errors(), (std::vector<std::string>{text.substr(0, 63), "short"}));
}

TEST_F(RecordWalkTest, TextsAsLongAsTheirSlotEndInAZero) {
    // One byte short of the slot, the slot's width, one more: each handed out terminated.
    const std::vector<std::string> texts = {std::string(63, 'a'), std::string(64, 'b'), std::string(65, 'c')};
    Payload p;
    p.Errors(texts);
    Walk(p);

    EXPECT_EQ(Errors(), (std::vector<std::string>{texts[0], texts[1].substr(0, 63), texts[2].substr(0, 63)}));
}

// An error-list record written by hand: u32 count, then {u32 length; text} entries.
std::vector<uint8_t> ErrorList(uint32_t count, const std::vector<std::pair<uint32_t, std::string>>& entries,
                               uint32_t recordLength) {
    std::vector<uint8_t> out;
    camsim::AppendRecordHead(out, camsim::kErrorListRecordType, recordLength, 0);
    camsim::AppendLe32(out, count);
    for (const auto& [length, text] : entries) {
        camsim::AppendLe32(out, length);
        out.insert(out.end(), text.begin(), text.end());
    }
    return out;
}

TEST_F(RecordWalkTest, ErrorEntryEndingAtTheRecordEndIsAccepted) {
    tof.Answer(kComputed, 1);
    Payload p;
    p.Raw(ErrorList(1, {{3, "abc"}}, 4 + 4 + 3)).Record(kComputed, 4);
    Walk(p);

    EXPECT_EQ(Errors(), std::vector<std::string>{"abc"});
    EXPECT_EQ(tof.Deliveries().size(), 1u);
}

TEST_F(RecordWalkTest, ErrorEntryPastTheRecordStopsTheWalkAndCountsOnlyParsedTexts) {
    tof.Answer(kComputed, 1);
    Payload old;
    old.Errors({"one", "two", "three"});
    Walk(old);

    // The second entry claims 0xFFFFFFF0 bytes: the offset sum must not wrap.
    Payload p;
    p.Raw(ErrorList(3, {{3, "new"}, {0xFFFFFFF0u, "x"}}, 4 + 4 + 3 + 4 + 1)).Record(kComputed, 4);
    log.Mark();
    Walk(p);

    EXPECT_TRUE(log.Contains("parseErrMsgLen:15 + msgLength:4294967280 > lenth:16.")) << log.Text();
    EXPECT_EQ(Errors(), std::vector<std::string>{"new"});
    EXPECT_TRUE(tof.Deliveries().empty());
}

TEST_F(RecordWalkTest, ErrorListWithMoreEntriesThanBytesStopsBeforeReadingPastIt) {
    Payload p;
    // Announces two entries, carries one, and the data frame ends with the record.
    p.Raw(ErrorList(2, {{2, "ok"}}, 4 + 4 + 2));
    Walk(p);

    EXPECT_TRUE(log.Contains("parseErrMsgLen:14 > lenth:10.")) << log.Text();
    EXPECT_EQ(Errors(), std::vector<std::string>{"ok"});
}

TEST_F(RecordWalkTest, ShortAndEmptyErrorListsAreHandled) {
    Payload old;
    old.Errors({"stale"});
    Walk(old);

    Payload tooShort;
    tooShort.Raw(ErrorList(1, {}, 4));  // a payload of 4 bytes or less is skipped
    Walk(tooShort);
    EXPECT_EQ(Errors(), std::vector<std::string>{"stale"});

    Payload empty;
    empty.Raw(ErrorList(0, {}, 8)).Raw({0, 0, 0, 0});
    Walk(empty);
    EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace receivetest
