#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "CameraRig.h"
#include "DataFrame.h"
#include "Scene.h"
#include "ToFRecords.h"

namespace camsim {
namespace {

// The record walk and the four-phase decode below are written from the wire
// layout on purpose, independently of the encoders.
struct Record {
    uint8_t type;
    uint32_t length;
    uint8_t sensorByte;
    size_t payload;  // offset of the payload in the data frame
};

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = (v << 8) | b[at + i];
    }
    return v;
}

std::vector<Record> Walk(const std::vector<uint8_t>& frame) {
    std::vector<Record> records;
    size_t at = 0;
    while (at + 5 <= frame.size()) {
        const Record r{frame[at], Le(frame, at, 4) >> 8, frame[at + 4], at + 5};
        EXPECT_LE(r.payload + r.length, frame.size());
        records.push_back(r);
        at = r.payload + r.length;
    }
    EXPECT_EQ(at, frame.size()) << "stray bytes after the last record";
    return records;
}

std::vector<uint8_t> Build(const FrameParams& params) { return BuildDataFramePayload(params); }

Record OnlyToF(const std::vector<Record>& records) {
    EXPECT_EQ(records.size(), 2u);
    return records.back();
}

// ---- record heads and lengths ------------------------------------------------

struct HeadCase {
    ToFRecordKind kind;
    uint8_t dataMode;
    uint8_t range;
    uint8_t type;
    uint32_t length;
};

class ToFHead : public ::testing::TestWithParam<HeadCase> {};

TEST_P(ToFHead, TypeLengthAndRangeByte) {
    const HeadCase c = GetParam();
    FrameParams p;
    p.tofKind = c.kind;
    p.dataMode = c.dataMode;
    p.depthRange = c.range;
    const std::vector<uint8_t> frame = Build(p);
    const Record& r = OnlyToF(Walk(frame));
    EXPECT_EQ(r.type, c.type);
    EXPECT_EQ(r.length, c.length);
    EXPECT_EQ(r.sensorByte & 0x0F, c.range);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ToFHead,
                         ::testing::Values(HeadCase{ToFRecordKind::Computed, 0, 0, 0xB6, 1536000},
                                           HeadCase{ToFRecordKind::Computed, 13, 3, 0xB6, 1536000},
                                           HeadCase{ToFRecordKind::Computed, 14, 5, 0xB7, 384000},
                                           HeadCase{ToFRecordKind::Computed, 18, 6, 0xB7, 384000},
                                           HeadCase{ToFRecordKind::Raw, 2, 0, 0xB1, 4945920},
                                           HeadCase{ToFRecordKind::Raw, 10, 5, 0xB1, 4945920},
                                           HeadCase{ToFRecordKind::Raw, 15, 2, 0xB2, 1244160},
                                           HeadCase{ToFRecordKind::Raw, 17, 4, 0xB2, 1244160}));

TEST(ToFRecords, RawMarkersTemperatureAndExposureBytes) {
    struct Case {
        uint8_t dataMode;
        std::vector<size_t> markers;
        size_t tempHigh, tempLow;
    };
    const Case cases[] = {{0, {1231433, 2467913, 3704393, 4940873}, 1233977, 1233981},
                          {14, {308553, 619593, 930633, 1241673}, 309817, 309821}};
    for (const Case& c : cases) {
        FrameParams p;
        p.tofKind = ToFRecordKind::Raw;
        p.dataMode = c.dataMode;
        p.temperatureRaw = 0x2A7;
        p.exposureTime = 0x123456;
        const std::vector<uint8_t> frame = Build(p);
        const size_t base = OnlyToF(Walk(frame)).payload;
        for (size_t k = 0; k < 4; ++k) {
            EXPECT_EQ(frame[base + c.markers[k]], k) << "mode " << int(c.dataMode) << " marker " << k;
        }
        EXPECT_EQ(frame[base + c.tempHigh] & 3, 0x2);
        EXPECT_EQ(frame[base + c.tempLow], 0xA7);
        if (c.dataMode == 14) {
            uint32_t v = 0;
            for (size_t at : {313717, 313721, 313725, 313729}) {
                v = (v << 8) | frame[base + at];
            }
            EXPECT_EQ(v, 0x123456u * 120u);
        }
    }
}

// ---- four-phase decode -------------------------------------------------------

float AtanOptimize(float y, float x) {
    if (y == 0.0f) {
        return x < 0.0f ? 3.1415927f : 0.0f;
    }
    const float a = std::fabs(y) + 1e-10f;
    float r, base;
    if (x < 0.0f) {
        r = (x + a) / (a - x);
        base = 2.3561945f;
    } else {
        r = (x - a) / (x + a);
        base = 0.7853982f;
    }
    const float angle = (0.1963f * r * r - 0.9817f) * r + base;
    return y > 0.0f ? angle : -angle;
}

const float kFactor[6] = {198.80605f, 298.20908f, 397.6121f, 497.0151f, 596.41815f, 1192.8363f};
const int kMaxDepth[6] = {1249, 1874, 2498, 3123, 3747, 7495};
const int kTolerance[6] = {5, 6, 7, 8, 9, 15};

std::vector<int> DecodeRaw(const std::vector<uint8_t>& frame, const Record& r, int width, int height) {
    const size_t block = r.length / 4;
    const size_t base = r.payload;
    const int range = r.sensorByte & 0x0F;
    const size_t tempAt = width == 640 ? 1233977 : 309817;
    const int raw = ((frame[base + tempAt] & 3) << 8) | frame[base + tempAt + 4];
    const int t = static_cast<int>((10.0 * raw - 2960) / 5.4 + 250);
    const int offset = range == 0 ? static_cast<int>(t * -1.9f / 10 + 129.51576f + 0.5f)
                                  : static_cast<int>(t * -3.4139f / 10 + 196.45f + 0.5f);
    std::vector<int> depth(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < depth.size(); ++i) {
        int a[4], b[4];
        for (int k = 0; k < 4; ++k) {
            a[k] = static_cast<int>(Le(frame, base + k * block + 4 * i, 2)) >> 4;
            b[k] = static_cast<int>(Le(frame, base + k * block + 4 * i + 2, 2)) >> 4;
        }
        const int I = (a[0] - b[0]) - (a[2] - b[2]);
        const int Q = (a[1] - b[1]) - (a[3] - b[3]);
        float phase = AtanOptimize(static_cast<float>(I), static_cast<float>(Q));
        if (phase < 0) {
            phase += 6.2831855f;
        }
        int d = static_cast<int16_t>(static_cast<int>(phase * kFactor[range]) + offset);
        if (d < 0) {
            d += kMaxDepth[range];
        } else if (d > kMaxDepth[range]) {
            d -= kMaxDepth[range];
        }
        depth[i] = d;
    }
    return depth;
}

struct RawCase {
    int range;
    uint16_t wall;
    uint16_t temperatureRaw;
};

class RawDecode : public ::testing::TestWithParam<RawCase> {};

TEST_P(RawDecode, FlatWallDecodesToItsDistanceFullAndBinned) {
    const RawCase c = GetParam();
    for (uint8_t mode : {0, 15}) {
        FrameParams p;
        p.scene = Scene::Wall(c.wall);
        p.tofKind = ToFRecordKind::Raw;
        p.dataMode = mode;
        p.depthRange = static_cast<uint8_t>(c.range);
        p.temperatureRaw = c.temperatureRaw;
        p.exposureTime = 20000;  // puts non-zero bytes into the binned exposure field
        const std::vector<uint8_t> frame = Build(p);
        const Record& r = OnlyToF(Walk(frame));
        const int width = mode == 0 ? 640 : 320;
        const std::vector<int> depth = DecodeRaw(frame, r, width, width * 3 / 4);
        int worst = 0;
        for (int d : depth) {
            worst = std::max(worst, std::abs(d - c.wall));
        }
        EXPECT_LE(worst, kTolerance[c.range]) << "range " << c.range << " wall " << c.wall << " mode " << int(mode);
    }
}

INSTANTIATE_TEST_SUITE_P(Ranges, RawDecode,
                         ::testing::Values(RawCase{0, 1000, 296}, RawCase{0, 40, 296},  // below the offset: wraps
                                           RawCase{0, 1200, 420}, RawCase{1, 1500, 296}, RawCase{1, 300, 150},
                                           RawCase{2, 2000, 296}, RawCase{3, 2500, 296}, RawCase{3, 900, 600},
                                           RawCase{4, 3000, 296}, RawCase{5, 6000, 296}, RawCase{5, 7000, 800}));

// Each range tells distances apart up to its maximum depth: a wall inside decodes to its
// distance, one beyond it folds back by that distance, as the host's wrap expects.
TEST(RawDecode, WallsInsideAndBeyondEachRange) {
    for (int range = 0; range < 6; ++range) {
        EXPECT_EQ(UnambiguousDistanceMm(static_cast<uint8_t>(range)), kMaxDepth[range]) << range;
        const int inside = kMaxDepth[range] * 4 / 5;
        const int beyond = kMaxDepth[range] + 251;
        for (int wall : {inside, beyond}) {
            FrameParams p;
            p.scene = Scene::Wall(static_cast<uint16_t>(wall));
            p.tofKind = ToFRecordKind::Raw;
            p.depthRange = static_cast<uint8_t>(range);
            const std::vector<uint8_t> frame = Build(p);
            const std::vector<int> depth = DecodeRaw(frame, OnlyToF(Walk(frame)), 640, 480);
            const int expected = wall > kMaxDepth[range] ? wall - kMaxDepth[range] : wall;
            int worst = 0;
            for (int d : depth) {
                worst = std::max(worst, std::abs(d - expected));
            }
            EXPECT_LE(worst, kTolerance[range]) << "range " << range << " wall " << wall;
            EXPECT_EQ(RawWrapNotice(p.scene, static_cast<uint8_t>(range)).empty(), wall == inside) << wall;
        }
    }
    EXPECT_NE(RawWrapNotice(Scene::Wall(1500), 0).find("251 mm"), std::string::npos);
}

TEST(RawDecode, BoxSceneDecodesPixelByPixel) {
    const Scene scene = Scene::Box(1800, 700);
    FrameParams p;
    p.scene = scene;
    p.tofKind = ToFRecordKind::Raw;
    p.depthRange = 1;
    const std::vector<uint8_t> frame = Build(p);
    const std::vector<int> depth = DecodeRaw(frame, OnlyToF(Walk(frame)), 640, 480);
    int worst = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            worst = std::max(worst, std::abs(depth[y * 640 + x] - scene.DepthAt(x, y, 640, 480)));
        }
    }
    EXPECT_LE(worst, kTolerance[1]);
    EXPECT_EQ(scene.DepthAt(320, 240, 640, 480), 700);
    EXPECT_EQ(scene.DepthAt(10, 10, 640, 480), 1800);
}

// ---- camera-computed records -------------------------------------------------

TEST(ComputedRecords, DepthPlaneIsTheSceneExactly) {
    const Scene scenes[] = {Scene::Ramp(500, 4000), Scene::Box(2000, 600)};
    for (const Scene& scene : scenes) {
        for (uint8_t mode : {0, 16}) {
            FrameParams p;
            p.scene = scene;
            p.dataMode = mode;
            const std::vector<uint8_t> frame = Build(p);
            const Record& r = OnlyToF(Walk(frame));
            const int w = mode == 0 ? 640 : 320, h = w * 3 / 4;
            size_t mismatches = 0;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    mismatches += Le(frame, r.payload + 2 * (y * w + x), 2) != scene.DepthAt(x, y, w, h);
                }
            }
            EXPECT_EQ(mismatches, 0u);
            // IR and confidence follow the depth plane and are not empty.
            EXPECT_NE(frame[r.payload + 2 * w * h], 0);
            EXPECT_NE(Le(frame, r.payload + 3 * w * h, 2), 0u);
        }
    }
}

TEST(Scene, RampEndsAndParsing) {
    const Scene ramp = Scene::Ramp(500, 4000);
    EXPECT_EQ(ramp.DepthAt(0, 0, 640, 480), 500);
    EXPECT_EQ(ramp.DepthAt(639, 479, 640, 480), 4000);
    // Binned pixel centres sit a little inside the full image's last column.
    EXPECT_NEAR(ramp.DepthAt(319, 0, 320, 240), 4000, 50);

    struct Case {
        const char* text;
        bool valid;
        Scene expected;
    };
    const Scene none = Scene::Wall(1);
    const Case cases[] = {{"wall:1500", true, Scene::Wall(1500)},
                          {"box:1500,800", true, Scene::Box(1500, 800)},
                          {"ramp:4000,500", true, Scene::Ramp(4000, 500)},
                          {"box:800,1500", false, none},
                          {"wall:0", false, none},
                          {"wall:65001", false, none},
                          {"wall:", false, none},
                          {"wall:15x", false, none},
                          {"wall:-5", false, none},
                          {"box:1500", false, none},
                          {"box:1500,", false, none},
                          {"ramp:1,2,3", false, none},
                          {"disc:100", false, none},
                          {"1500", false, none}};
    for (const Case& c : cases) {
        const std::optional<Scene> parsed = Scene::Parse(c.text);
        EXPECT_EQ(parsed.has_value(), c.valid) << c.text;
        if (parsed && c.valid) {
            EXPECT_TRUE(*parsed == c.expected) << c.text;
        }
    }
}

// ---- colour records ----------------------------------------------------------

TEST(ColourRecords, JpegOfTheSceneSizeThenExposureFloat) {
    struct Case {
        ColourResolution resolution;
        uint8_t type;
        int width, height;
    };
    const Case cases[] = {{ColourResolution::R640x480, '4', 640, 480},
                          {ColourResolution::R800x600, '7', 800, 600},
                          {ColourResolution::R1600x1200, '6', 1600, 1200}};
    const Scene scene = Scene::Box(3000, 1000);
    for (const Case& c : cases) {
        FrameParams p;
        p.scene = scene;
        p.tofKind = ToFRecordKind::None;
        p.colour = true;
        p.colourResolution = c.resolution;
        p.colourExposure = 0.033f;
        const std::vector<uint8_t> frame = Build(p);
        const std::vector<Record> records = Walk(frame);
        ASSERT_EQ(records.size(), 2u);
        const Record& r = records[1];
        EXPECT_EQ(r.type, c.type);
        ASSERT_GT(r.length, 4u);
        EXPECT_EQ(frame[r.payload], 0xFF);
        EXPECT_EQ(frame[r.payload + 1], 0xD8);
        float exposure = 0;
        const uint32_t bits = Le(frame, r.payload + r.length - 4, 4);
        std::memcpy(&exposure, &bits, 4);
        EXPECT_EQ(exposure, 0.033f);

        // The host hands the whole payload, trailing float included, to the decoder.
        tjhandle tj = tjInitDecompress();
        ASSERT_NE(tj, nullptr);
        int w = 0, h = 0, sub = 0, space = 0;
        ASSERT_EQ(tjDecompressHeader3(tj, frame.data() + r.payload, r.length, &w, &h, &sub, &space), 0);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
        ASSERT_EQ(tjDecompress2(tj, frame.data() + r.payload, r.length, rgb.data(), w, 0, h, TJPF_RGB, 0), 0);
        tjDestroy(tj);
        // A pixel well inside the box and one of the wall keep their colours.
        for (auto [x, y] : {std::pair<int, int>{c.width / 2 + 5, c.height / 2 + 5}, {c.width / 20, c.height / 20}}) {
            const Rgb want = scene.ColourAt(x, y, c.width, c.height);
            const uint8_t* got = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            EXPECT_NEAR(got[0], want.r, 12);
            EXPECT_NEAR(got[1], want.g, 12);
            EXPECT_NEAR(got[2], want.b, 12);
        }
    }
}

// ---- the two cameras' geometry -------------------------------------------------

bool IsBoxColour(Rgb c) { return c.r > c.b + 60; }

// Both cameras see one 3-D scene: a depth pixel moved into the colour camera with the rig's
// calibration lands on the box's colour exactly when it is a box pixel. Pixels near the box's
// edges are left out: there the colour camera, 25 mm aside, sees round the box differently.
TEST(Geometry, ColourCameraSeesTheBoxWhereTheDepthPixelsOfTheBoxMap) {
    const Scene scene = Scene::Box(1800, 1200);
    const CameraRig& rig = Rig();
    const auto nearEdge = [](int v, int low, int high) { return std::abs(v - low) <= 5 || std::abs(v - high) <= 5; };
    for (auto [width, height] : {std::pair<int, int>{640, 480}, {800, 600}, {1600, 1200}}) {
        const Pinhole colour = rig.colour.ScaledTo(width, height);
        int checked = 0;
        int boxSeen = 0;
        int mismatches = 0;
        for (int y = 0; y < 480; y += 7) {
            for (int x = 0; x < 640; x += 7) {
                if (nearEdge(x, 160, 480) || nearEdge(y, 120, 360)) {
                    continue;
                }
                const uint16_t d = scene.DepthAt(x, y, 640, 480);
                const Point3 ray = rig.depth.Ray(x, y);
                double u = 0, v = 0;
                colour.Project(rig.ToColour(Point3{ray.x * d, ray.y * d, ray.z * d}), u, v);
                const int cu = static_cast<int>(std::lround(u)), cv = static_cast<int>(std::lround(v));
                if (cu < 0 || cv < 0 || cu >= width || cv >= height) {
                    continue;
                }
                ++checked;
                const bool box = d == 1200;
                boxSeen += box;
                mismatches += IsBoxColour(scene.ColourAt(cu, cv, width, height)) != box;
            }
        }
        EXPECT_GT(checked, 4000) << width;
        EXPECT_GT(boxSeen, 1000) << width;
        EXPECT_EQ(mismatches, 0) << width;
    }
}

// The colour camera's calibration is its full sensor's; smaller readouts scale it.
TEST(Geometry, ColourCalibrationIsForTheFullSensorAndScalesWithTheReadout) {
    const CameraRig& rig = Rig();
    EXPECT_EQ(rig.colour.width, 1600);
    EXPECT_EQ(rig.colour.height, 1200);
    const Pinhole small = rig.colour.ScaledTo(640, 480);
    EXPECT_DOUBLE_EQ(small.fx, rig.colour.fx * 0.4);
    EXPECT_DOUBLE_EQ(small.cy, rig.colour.cy * 0.4);
    const Pinhole medium = rig.colour.ScaledTo(800, 600);
    EXPECT_DOUBLE_EQ(medium.cx, rig.colour.cx * 0.5);
    // The wall's depth is the same z in both cameras: the rig has no rotation and no z offset.
    EXPECT_EQ(Scene::Wall(1500).DepthAt(0, 0, 640, 480), 1500);
    EXPECT_EQ(rig.depthToColour[2], 0.0);
}

// ---- host records and the whole frame ------------------------------------------

TEST(DataFrame, RecordsInOrderWithTheirEnvelopes) {
    FrameParams p;
    p.scene = Scene::Wall(1234);
    p.tofKind = ToFRecordKind::Computed;
    p.depthRange = 2;
    p.colour = true;
    p.timestamp = 0x0102030405060708ull;
    p.errors = {"lens hot", "", std::string(70, 'x')};
    const std::vector<uint8_t> frame = Build(p);
    const std::vector<Record> records = Walk(frame);
    ASSERT_EQ(records.size(), 4u);

    EXPECT_EQ(records[0].type, 0x1F);
    EXPECT_EQ(records[0].length, 8u);
    EXPECT_EQ(Le(frame, records[0].payload, 4), 0x05060708u);
    EXPECT_EQ(Le(frame, records[0].payload + 4, 4), 0x01020304u);

    const Record& errors = records[1];
    EXPECT_EQ(errors.type, 0x31);
    EXPECT_EQ(errors.length, 4u + (4 + 8) + 4 + (4 + 70));
    EXPECT_EQ(Le(frame, errors.payload, 4), 3u);
    size_t at = errors.payload + 4;
    for (const std::string& text : p.errors) {
        ASSERT_EQ(Le(frame, at, 4), text.size());
        EXPECT_EQ(std::string(frame.begin() + at + 4, frame.begin() + at + 4 + text.size()), text);
        at += 4 + text.size();
    }
    EXPECT_EQ(at, errors.payload + errors.length);

    EXPECT_EQ(records[2].type, 0xB6);
    EXPECT_EQ(records[2].sensorByte, 2);
    EXPECT_EQ(records[3].type, '4');
}

TEST(DataFrame, TimestampOnlyWhenNothingElseIsAsked) {
    FrameParams p;
    p.tofKind = ToFRecordKind::None;
    p.timestamp = 42;
    const std::vector<uint8_t> frame = Build(p);
    ASSERT_EQ(frame.size(), 13u);
    EXPECT_EQ(Walk(frame)[0].type, 0x1F);
    EXPECT_EQ(Le(frame, 5, 4), 42u);
}

TEST(DataFrame, ReusedBufferKeepsItsStorageAndTakesTheNewValues) {
    DataFrameBuilder builder;
    std::vector<uint8_t> buffer;
    FrameParams p;
    p.tofKind = ToFRecordKind::Raw;
    p.dataMode = 15;
    p.colour = true;
    builder.Build(p, buffer);
    const uint8_t* storage = buffer.data();
    const size_t size = buffer.size();
    p.timestamp = 99;
    p.exposureTime = 500;
    builder.Build(p, buffer);
    EXPECT_EQ(buffer.data(), storage);
    EXPECT_EQ(buffer.size(), size);
    EXPECT_EQ(Le(buffer, 5, 4), 99u);
    EXPECT_EQ(buffer, BuildDataFramePayload(p)) << "cached tables must give the same bytes as a fresh builder";
}

TEST(DataFrame, AlternateRangeOnOddFrames) {
    FrameParams p;
    p.tofKind = ToFRecordKind::Raw;
    p.dataMode = 9;
    p.depthRange = 5;
    p.alternateDepthRange = 0;
    DataFrameBuilder builder;
    std::vector<uint8_t> buffer;
    for (uint32_t counter : {0u, 1u, 2u, 3u}) {
        p.frameCounter = counter;
        builder.Build(p, buffer);
        EXPECT_EQ(buffer[13 + 4] & 0x0F, counter % 2 ? 0 : 5) << counter;
    }
}

TEST(DataFrame, ParametersThatCannotBeEncodedAreRefused) {
    FrameParams raw;
    raw.tofKind = ToFRecordKind::Raw;
    raw.depthRange = 6;
    EXPECT_THROW(Build(raw), std::invalid_argument);

    FrameParams exposure;
    exposure.tofKind = ToFRecordKind::Raw;
    exposure.dataMode = 14;
    exposure.exposureTime = 0xFFFFFFFFu;
    EXPECT_THROW(Build(exposure), std::invalid_argument);

    FrameParams computed;
    computed.depthRange = 16;
    EXPECT_THROW(Build(computed), std::invalid_argument);

    FrameParams errors;
    errors.errors.assign(65, "e");
    EXPECT_THROW(Build(errors), std::invalid_argument);
    errors.errors = {std::string(1025, 'e')};
    EXPECT_THROW(Build(errors), std::invalid_argument);
}

}  // namespace
}  // namespace camsim
