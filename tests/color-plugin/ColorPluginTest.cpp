// The colour plug-in as the kit meets it: loaded with dlopen, driven through Color_API.
#include <dlfcn.h>
#include <turbojpeg.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Color_API.h"
#include "FakeCommonControl.h"
#include "FakeConsumer.h"
#include "IdentityPreProcess.h"
#include "TempDir.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// A JPEG of one solid colour.
Bytes SolidJpeg(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = r;
        pixels[i + 1] = g;
        pixels[i + 2] = b;
    }
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(tjCompress2(handle, pixels.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_444, 95, 0), 0);
    Bytes out(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

// A colour record as the kit hands it over: type, 24-bit length, one unread byte, payload.
Bytes Record(uint8_t type, const Bytes& jpeg, float exposure) {
    const uint32_t length = static_cast<uint32_t>(jpeg.size() + 4);
    Bytes record(5 + length);
    record[0] = type;
    record[1] = static_cast<uint8_t>(length);
    record[2] = static_cast<uint8_t>(length >> 8);
    record[3] = static_cast<uint8_t>(length >> 16);
    if (!jpeg.empty()) std::memcpy(record.data() + 5, jpeg.data(), jpeg.size());
    std::memcpy(record.data() + 5 + jpeg.size(), &exposure, 4);
    return record;
}

class ColorPlugin {
public:
    ColorPlugin() {
        m_library = dlopen(COLOR_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(m_library, nullptr) << dlerror();
        auto factory = reinterpret_cast<GetColorFunction>(dlsym(m_library, "Get_Color"));
        EXPECT_NE(factory, nullptr);
        m_api.reset(factory(m_logs.Path().c_str()));
    }
    ~ColorPlugin() {
        m_api.reset();
        dlclose(m_library);
    }
    Color_API* operator->() { return m_api.get(); }
    const testsupport::TempDir& Logs() const { return m_logs; }

private:
    testsupport::TempDir m_logs;
    void* m_library = nullptr;
    std::unique_ptr<Color_API> m_api;
};

class ColorPluginTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(plugin->Init(&control, &consumer, &preprocess), 0); }
    // Streams one record and waits for its frame; null when none came.
    Frame* Decode(const Bytes& record, uint32_t index = 7) {
        const size_t before = consumer.Notices().size();
        // Stream first: a thread that starts with the stream off drops what it finds queued.
        plugin->SetStream(true);
        plugin->SetOpenState(true);
        Bytes copy = record;
        plugin->ProcessData(copy.data(), static_cast<int>(copy.size()), FrameSyncInfo{index, HAS_COLOR_FRAME, 1234});
        if (!consumer.WaitForNotices(before + 1, 10s)) return nullptr;  // generous: sanitizer builds decode slowly
        Frame* frame = nullptr;
        EXPECT_EQ(plugin->GetFrame(FRAME_COLOR, &frame), 0);
        return frame;
    }

    ColorPlugin plugin;
    testsupport::FakeCommonControl control;
    testsupport::FakeConsumer consumer;
    testsupport::IdentityPreProcess preprocess;
};

TEST(ColorPluginLoadTest, ExportsOnlyTheFactoryAndWritesItsOwnLog) {
    ColorPlugin plugin;
    EXPECT_NE(testsupport::ReadFile(plugin.Logs().File("rc1720.txt")).find("Version:1.1.11"), std::string::npos);
}

TEST_F(ColorPluginTest, InitRefusesMissingObjects) {
    EXPECT_EQ(plugin->Init(nullptr, &consumer, &preprocess), -1);
    EXPECT_EQ(plugin->Init(&control, nullptr, &preprocess), -1);
    EXPECT_EQ(plugin->Init(&control, &consumer, nullptr), -1);
}

struct CheckCase {
    const char* name;
    Bytes head;
    bool enabled;
    int expected;
};

TEST_F(ColorPluginTest, CheckImgDataTable) {
    const CheckCase cases[] = {
        {"640x480", {'4', 1, 0, 0, 0}, true, 4},   {"1600x1200", {'6', 0, 0, 1, 0}, true, 4},
        {"800x600", {'7', 9, 0, 0, 0}, true, 4},   {"switched off", {'6', 1, 0, 0, 0}, false, 0},
        {"length 0", {'6', 0, 0, 0, 0}, true, -1}, {"not colour", {0xB6, 1, 0, 0, 0}, true, -255},
        {"type 5", {'5', 1, 0, 0, 0}, true, -255}, {"head cut short", {'6', 1, 0}, true, -1},
    };
    for (const CheckCase& c : cases) {
        plugin->SetFrameEnable(FRAME_COLOR, c.enabled);
        Bytes head = c.head;
        EXPECT_EQ(plugin->CheckImgData(head.data(), static_cast<int>(head.size())), c.expected) << c.name;
    }
}

TEST_F(ColorPluginTest, FullSizeRecordDecodesWithItsExposure) {
    Frame* frame = Decode(Record('6', SolidJpeg(1600, 1200, 10, 200, 30), 0.033f), 42);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->frameType, FRAME_COLOR);
    EXPECT_EQ(frame->width, 1600);
    EXPECT_EQ(frame->height, 1200);
    EXPECT_EQ(frame->length, 5760000u);
    EXPECT_FLOAT_EQ(frame->exposureTime, 33.0f);
    EXPECT_EQ(frame->frameIndex, 42u);
    EXPECT_EQ(static_cast<uint64_t>(frame->timestamp), 1234u);
    EXPECT_EQ(consumer.Notices(), std::vector<HasFrameType>{HAS_COLOR_FRAME});
    EXPECT_EQ(plugin->RecycleFrame(frame), 0);
}

TEST_F(ColorPluginTest, ByteOrderFollowsThePixelFormat) {
    const Bytes red = Record('4', SolidJpeg(640, 480, 255, 0, 0), 0.01f);
    struct Case {
        PixelFormat format;
        int redByte;
    } cases[] = {{PIXEL_FORMAT_RGB, 0}, {PIXEL_FORMAT_BGR, 2}};
    uint32_t index = 1;
    for (const Case& c : cases) {
        plugin->SetPixelFormat(c.format);
        Frame* frame = Decode(red, index++);
        ASSERT_NE(frame, nullptr) << c.format;
        const uint8_t* centre = frame->data + (240 * 640 + 320) * 3;
        EXPECT_GT(centre[c.redByte], 240) << c.format;
        EXPECT_LT(centre[2 - c.redByte], 15) << c.format;
        EXPECT_EQ(frame->pixelFormat, c.format);
        plugin->RecycleFrame(frame);
    }
}

TEST_F(ColorPluginTest, OtherPixelFormatsGiveNoFrame) {
    for (PixelFormat format : {PIXEL_FORMAT_GRAY16, PIXEL_FORMAT_DEPTH_MM16, static_cast<PixelFormat>(9)}) {
        plugin->SetPixelFormat(format);
        plugin->SetStream(true);
        plugin->SetOpenState(true);
        Bytes record = Record('4', SolidJpeg(640, 480, 1, 2, 3), 0.01f);
        plugin->ProcessData(record.data(), static_cast<int>(record.size()), FrameSyncInfo{1, 4, 0});
        EXPECT_FALSE(consumer.WaitForNotices(1, 300ms)) << format;
    }
}

TEST_F(ColorPluginTest, WrongSizedJpegGivesNoFrameButLaterRecordsDecode) {
    plugin->SetStream(true);
    plugin->SetOpenState(true);
    Bytes wrong = Record('4', SolidJpeg(800, 600, 1, 2, 3), 0.01f);
    plugin->ProcessData(wrong.data(), static_cast<int>(wrong.size()), FrameSyncInfo{1, 4, 0});
    Bytes notJpeg = Record('4', Bytes(100, 0x11), 0.01f);
    plugin->ProcessData(notJpeg.data(), static_cast<int>(notJpeg.size()), FrameSyncInfo{2, 4, 0});
    EXPECT_FALSE(consumer.WaitForNotices(1, 300ms));
    Frame* frame = Decode(Record('4', SolidJpeg(640, 480, 1, 2, 3), 0.01f), 3);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->frameIndex, 3u);
    plugin->RecycleFrame(frame);
    EXPECT_NE(testsupport::ReadFile(plugin.Logs().File("rc1720.txt"))
                  .find("width or height is not right width:640 height:480, 800 , 600"),
              std::string::npos);
}

TEST_F(ColorPluginTest, TruncatedJpegStillDeliversButGarbageDoesNot) {
    Bytes jpeg = SolidJpeg(640, 480, 50, 60, 70);
    jpeg.resize(jpeg.size() * 2 / 3);  // cut: TurboJPEG warns and fills the rest
    Frame* frame = Decode(Record('4', jpeg, 0.01f));
    ASSERT_NE(frame, nullptr);
    plugin->RecycleFrame(frame);
}

struct IntakeCase {
    const char* name;
    std::function<Bytes(Bytes)> spoil;
};

TEST_F(ColorPluginTest, BadIntakeSizesAreDroppedUncopied) {
    const Bytes good = Record('4', SolidJpeg(640, 480, 1, 2, 3), 0.01f);
    const IntakeCase cases[] = {
        {"length beyond the data",
         [](Bytes r) {
             r.resize(r.size() - 1);
             return r;
         }},
        {"head only",
         [](Bytes r) {
             r.resize(5);
             return r;
         }},
        {"three bytes",
         [](Bytes r) {
             r.resize(3);
             return r;
         }},
        {"longer than a raw frame",
         [](Bytes r) {
             r[1] = 0xFF;
             r[2] = 0xFF;
             r[3] = 0xFF;
             r.resize(0x1000000 + 5);
             return r;
         }},
        {"foreign type",
         [](Bytes r) {
             r[0] = 0xB6;
             return r;
         }},
    };
    plugin->SetStream(true);
    plugin->SetOpenState(true);
    for (const IntakeCase& c : cases) {
        Bytes record = c.spoil(good);
        EXPECT_EQ(plugin->ProcessData(record.data(), static_cast<int>(record.size()), FrameSyncInfo{1, 4, 0}), -1)
            << c.name;
    }
    EXPECT_FALSE(consumer.WaitForNotices(1, 300ms));
    EXPECT_EQ(plugin->ProcessData(nullptr, 10, FrameSyncInfo{}), -1);
}

TEST_F(ColorPluginTest, StreamOffTakesNothing) {
    plugin->SetOpenState(true);
    Bytes record = Record('4', SolidJpeg(640, 480, 1, 2, 3), 0.01f);
    plugin->ProcessData(record.data(), static_cast<int>(record.size()), FrameSyncInfo{1, 4, 0});
    EXPECT_FALSE(consumer.WaitForNotices(1, 300ms));
    EXPECT_FALSE(plugin->IsFrameReady(FRAME_COLOR));
}

TEST_F(ColorPluginTest, CloseWakesTheDecodeThreadAtOnce) {
    plugin->SetOpenState(true);
    std::this_thread::sleep_for(20ms);  // the thread now waits for a record
    const auto start = std::chrono::steady_clock::now();
    plugin->SetOpenState(false);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 150ms);
}

struct ProfileCase {
    const char* name;
    const char* json;
    int count;
    QlResolution first;
};

TEST_F(ColorPluginTest, ResolutionListFromTheProfile) {
    const ProfileCase cases[] = {
        {"three",
         R"({"colorSensor":[{"type":"rc1720","resolutionList":["640_480","800_600","1600_1200"]}]})",
         3,
         {640, 480}},
        {"seven capped",
         R"({"colorSensor":[{"type":"rc1720","resolutionList":["1_2","3_4","5_6","7_8","9_10","11_12","13_14"]}]})",
         6,
         {1, 2}},
        {"first match wins",
         R"({"colorSensor":[{"type":"other","resolutionList":["1_1"]},{"type":"rc1720","resolutionList":["2_2"]},{"type":"rc1720","resolutionList":["3_3","4_4"]}]})",
         1,
         {2, 2}},
        {"prefix is not the name", R"({"colorSensor":[{"type":"rc17200","resolutionList":["1_1"]}]})", 0, {0, 0}},
        {"wrong types", R"({"colorSensor":{"type":"rc1720"}})", 0, {0, 0}},
        {"list not an array", R"({"colorSensor":[{"type":"rc1720","resolutionList":"640_480"}]})", 0, {0, 0}},
        {"not json", "{", 0, {0, 0}},
        {"array root", "[1,2]", 0, {0, 0}},
        {"unparsable text keeps its pair", R"({"colorSensor":[{"type":"rc1720","resolutionList":["x"]}]})", 1, {0, 0}},
    };
    testsupport::TempDir dir;
    for (const ProfileCase& c : cases) {
        ColorPlugin fresh;
        testsupport::WriteFile(dir.File("p.json"), c.json);
        EXPECT_EQ(fresh->SetConfigFilePath(dir.File("p.json").c_str()), 0) << c.name;
        ResolutionList list{};
        ASSERT_EQ(fresh->GetResolutionList(&list), 0);
        EXPECT_EQ(list.count, c.count) << c.name;
        EXPECT_EQ(list.resolution[0].width, c.first.width) << c.name;
        EXPECT_EQ(list.resolution[0].height, c.first.height) << c.name;
    }
    EXPECT_EQ(plugin->SetConfigFilePath(nullptr), -1);
    EXPECT_EQ(plugin->SetConfigFilePath(dir.File("missing.json").c_str()), 0);
    EXPECT_EQ(plugin->GetResolutionList(nullptr), -12);
}

// A resolution reply: sub-id, one byte, width and height.
Bytes ResolutionReply(int width, int height) {
    return {0x02,
            0,
            static_cast<uint8_t>(width),
            static_cast<uint8_t>(width >> 8),
            static_cast<uint8_t>(height),
            static_cast<uint8_t>(height >> 8)};
}

TEST_F(ColorPluginTest, IntrinsicsScaleWithTheResolution) {
    const double K[9] = {1000, 0, 800, 0, 1001, 600, 0, 0, 1};
    const double D[8] = {};
    struct Case {
        int width, height;
        double scale;
    } cases[] = {{640, 480, 0.4}, {800, 600, 0.5}, {1600, 1200, 1.0}, {640, 360, 1.0}};
    plugin->SetDistortionCorrectionEnabled(false);
    for (const Case& c : cases) {
        control.Push(0, ResolutionReply(c.width, c.height));
        ASSERT_EQ(plugin->SetIntrinsicParams(K, D), 0);
        double out[9];
        ASSERT_EQ(plugin->GetIntrinsic(out), 0);
        EXPECT_DOUBLE_EQ(out[0], 1000 * c.scale) << c.width;
        EXPECT_DOUBLE_EQ(out[2], 800 * c.scale) << c.width;
        EXPECT_DOUBLE_EQ(out[4], 1001 * c.scale) << c.width;
        EXPECT_DOUBLE_EQ(out[5], 600 * c.scale) << c.width;
        EXPECT_DOUBLE_EQ(out[8], 1) << c.width;
    }
}

TEST_F(ColorPluginTest, FailedResolutionReadKeepsThePreviousOne) {
    const double K[9] = {1000, 0, 800, 0, 1000, 600, 0, 0, 1};
    const double D[8] = {};
    plugin->SetDistortionCorrectionEnabled(false);
    control.Push(0, ResolutionReply(800, 600));
    plugin->SetIntrinsicParams(K, D);
    control.Push(-104);
    plugin->SetIntrinsicParams(K, D);
    double out[9];
    plugin->GetIntrinsic(out);
    EXPECT_DOUBLE_EQ(out[0], 500);
}

TEST_F(ColorPluginTest, SetResolutionOnlyFromTheList) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("p.json"),
                           R"({"colorSensor":[{"type":"rc1720","resolutionList":["640_480","800_600","1600_1200"]}]})");
    plugin->SetConfigFilePath(dir.File("p.json").c_str());
    EXPECT_EQ(plugin->SetResolution(1280, 720), -15);
    EXPECT_TRUE(control.SentCommands().empty());
    control.Push(0);
    control.Push(0, ResolutionReply(800, 600));
    EXPECT_EQ(plugin->SetResolution(800, 600), 0);
    EXPECT_EQ(control.SentCommands()[0].payload, (Bytes{0x02, 0x01, 0x20, 0x03, 0x58, 0x02, 0, 0}));
}

struct ExposureCase {
    const char* name;
    bool set;
    ExposureTimeParams params;
    Bytes reply;  // for a get
    int result;
    Bytes sent;  // first command's payload; empty when nothing may be sent
    int32_t readValue;
};

TEST_F(ColorPluginTest, ExposureTable) {
    const ExposureCase cases[] = {
        {"set auto max", true, {0, 33000}, {}, 0, {0x03, 33}, 0},
        {"set manual", true, {1, 33300}, {}, 0, {0x06, 0x4D, 0x01}, 0},
        {"set auto max too long", true, {0, 256000}, {}, -15, {}, 0},
        {"set manual negative", true, {1, -100}, {}, -15, {}, 0},
        {"set other mode", true, {2, 100}, {}, -15, {}, 0},
        {"get manual", false, {1, 0}, {0x06, 0x4D, 0x01}, 0, {0x06, 0, 0}, 33300},
        {"get auto max", false, {0, 0}, {0x03, 33}, 0, {0x03, 0}, 33000},
        {"get camera max", false, {255, 5}, {0x07, 66}, 0, {0x07, 0}, 66000},
        {"get other mode", false, {3, 5}, {}, -15, {}, 5},
    };
    for (const ExposureCase& c : cases) {
        control.ClearSent();
        ExposureTimeParams params = c.params;
        int result;
        if (c.set) {
            // The camera keeps what was set and reads it back.
            auto held = std::make_shared<Bytes>();
            control.SetResponder([held](const testsupport::FakeCommonControl::Sent& s) {
                if (s.cmdType == CMDTYPE_SET) *held = s.payload;
                return testsupport::FakeCommonControl::Reply{0, *held};
            });
            result = plugin->SetExposureTime(params);
        } else {
            const Bytes reply = c.reply;
            control.SetResponder([reply](const testsupport::FakeCommonControl::Sent&) {
                return testsupport::FakeCommonControl::Reply{0, reply};
            });
            result = plugin->GetExposureTime(&params);
            EXPECT_EQ(params.exposureTime, c.readValue) << c.name;
        }
        control.SetResponder(nullptr);
        EXPECT_EQ(result, c.result) << c.name;
        const auto sent = control.SentCommands();
        if (c.sent.empty()) {
            EXPECT_TRUE(sent.empty()) << c.name;
        } else {
            ASSERT_FALSE(sent.empty()) << c.name;
            EXPECT_EQ(sent[0].payload, c.sent) << c.name;
        }
    }
}

TEST_F(ColorPluginTest, FailedExposureReadsReportZeroOrKeepTheValue) {
    ExposureTimeParams manual{1, 7};
    control.Push(-104);
    EXPECT_EQ(plugin->GetExposureTime(&manual), -104);
    EXPECT_EQ(manual.exposureTime, 0);
    ExposureTimeParams max{255, 7};
    control.Push(-104);
    EXPECT_EQ(plugin->GetExposureTime(&max), -104);
    EXPECT_EQ(max.exposureTime, 7);
}

struct PropertyCase {
    const char* name;
    bool set;
    const char* key;
    int size;
    int result;
    size_t commands;
};

TEST_F(ColorPluginTest, PropertyKeyTable) {
    const PropertyCase cases[] = {
        {"brightness get", false, "Py_RGBBrightness", 4, 0, 1},
        {"brightness get size", false, "Py_RGBBrightness", 8, -15, 0},
        {"brightness set too big", true, "Py_RGBBrightness", 4, -15, 0},
        {"firmware get small", false, "Py_RGBFirmwareVersion", 16, -15, 0},
        {"firmware set", true, "Py_RGBFirmwareVersion", 64, -255, 0},
        {"save raw set", true, "Py_SaveRawRGBImg", 1, 0, 0},
        {"save raw get", false, "Py_SaveRawRGBImg", 4, -255, 0},
        {"exposure max get", false, "Py_RGBExposureTimeMax", 8, 0, 1},
        {"exposure max get size", false, "Py_RGBExposureTimeMax", 4, -15, 0},
        {"exposure max set", true, "Py_RGBExposureTimeMax", 8, -255, 0},
        {"version", false, "Py_RGBVersion", 4, -255, 0},
        {"gain get", false, "Py_ColorGain", 4, 0, 1},
        {"unknown", false, "Py_Nothing", 4, -255, 0},
    };
    for (const PropertyCase& c : cases) {
        control.ClearSent();
        uint8_t data[64] = {};
        int big = 300;
        std::memcpy(data, &big, sizeof(big));  // a brightness that does not fit its byte
        const int result = c.set ? plugin->SetProperty(c.key, data, c.size) : plugin->GetProperty(c.key, data, c.size);
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(control.SentCommands().size(), c.commands) << c.name;
    }
}

TEST_F(ColorPluginTest, FirmwareVersionNeverWritesPastTheCallersSize) {
    // The camera's version fills its 30-byte field, or stops short of it; the caller's copy
    // is the text cut to its buffer, always terminated, and nothing beyond its size is touched.
    for (int textLength : {29, 30}) {
        for (int size : {20, 25, 29, 30, 31, 64}) {
            Bytes reply(31, 0);
            reply[0] = 0x01;
            std::fill_n(reply.begin() + 1, textLength, 'F');
            control.Push(0, reply);
            char buffer[80];
            std::memset(buffer, '.', sizeof(buffer));
            EXPECT_EQ(plugin->GetProperty("Py_RGBFirmwareVersion", buffer, size), 0) << size;
            const int kept = std::min(textLength, size - 1);
            EXPECT_EQ(std::string(buffer), std::string(kept, 'F')) << textLength << " in " << size;
            EXPECT_EQ(buffer[size], '.') << textLength << " in " << size;
        }
    }
}

TEST_F(ColorPluginTest, SaveRawDumpsTheNextThreeRecords) {
    testsupport::TempDir dir;
    testsupport::ScopedWorkingDirectory cwd(dir.Path());
    plugin->SetProperty("Py_SaveRawRGBImg", nullptr, 0);
    Bytes record = Record('4', Bytes{0xFF, 0xD8, 1, 2}, 0.5f);
    for (uint32_t index = 1; index <= 4; ++index) {
        plugin->ProcessData(record.data(), static_cast<int>(record.size()), FrameSyncInfo{index, 4, 0});
    }
    for (int index = 1; index <= 3; ++index) {
        EXPECT_EQ(testsupport::ReadFile(dir.File("raw_rgb_" + std::to_string(index) + ".jpg")).size(),
                  record.size() - 5);
    }
    EXPECT_TRUE(testsupport::ReadFile(dir.File("raw_rgb_4.jpg")).empty());
}

TEST_F(ColorPluginTest, DistortionCorrectionByCameraGoesThroughTheDsp) {
    plugin->SetDistortionCorrectionCmd(true);
    control.Push(0);
    Bytes confirm(64, 0);
    confirm[4] = 0;
    control.Push(0, confirm);
    EXPECT_EQ(plugin->SetDistortionCorrectionEnabled(false), 0);
    EXPECT_EQ(control.SentCommands()[0].cmd, 0x19);
    control.Push(-104);
    EXPECT_EQ(plugin->SetDistortionCorrectionEnabled(true), -104);
    control.Push(-104);
    EXPECT_FALSE(plugin->GetDistortionCorrectionEnabled());  // a failed read keeps the flag
    plugin->SetDistortionCorrectionCmd(false);
    control.ClearSent();
    EXPECT_EQ(plugin->SetDistortionCorrectionEnabled(true), 0);
    EXPECT_TRUE(plugin->GetDistortionCorrectionEnabled());
    EXPECT_TRUE(control.SentCommands().empty());
}

TEST_F(ColorPluginTest, FrameSwitchAndFrameTypes) {
    bool enabled = false;
    EXPECT_EQ(plugin->GetFrameEnable(FRAME_COLOR, &enabled), 0);
    EXPECT_TRUE(enabled);
    plugin->SetFrameEnable(FRAME_DEPTH, false);
    EXPECT_EQ(plugin->GetFrameEnable(FRAME_DEPTH, &enabled), 0);
    EXPECT_FALSE(enabled);
    Frame* frame = reinterpret_cast<Frame*>(1);
    EXPECT_EQ(plugin->GetFrame(FRAME_DEPTH, &frame), -1);
    EXPECT_EQ(frame, nullptr);
}

}  // namespace
