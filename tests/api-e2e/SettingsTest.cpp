// Settings set through the exported functions and read back from the camera, as a table.
#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "E2eSupport.h"

namespace {

using namespace apie2e;

struct SettingCase {
    const char* name;
    bool colourCamera;
    std::function<int(QlDeviceHandle)> set;
    // Reads the setting back; fills `why` when it is not what was set.
    std::function<int(QlDeviceHandle, const camsim::CameraState&, std::string& why)> check;
};

void PrintTo(const SettingCase& c, std::ostream* os) { *os << c.name; }

std::string Mismatch(const char* what, long long got, long long want) {
    return got == want ? std::string() : std::string(what) + " " + std::to_string(got) + " != " + std::to_string(want);
}

class Settings : public KitWithCamera, public ::testing::WithParamInterface<SettingCase> {};

TEST_P(Settings, SetThenGetGivesTheValue) {
    OpenCamera(GetParam().colourCamera ? ColourCamera() : ToFOnlyCamera());
    ASSERT_EQ(GetParam().set(handle), 0) << LogText();
    std::string why;
    ASSERT_EQ(GetParam().check(handle, sim->State(), why), 0) << LogText();
    EXPECT_EQ(why, "");
}

const SettingCase kCases[] = {
    {"WorkModeSoftwareTrigger", false, [](QlDeviceHandle h) { return QL_SetWorkMode(h, 2); },
     [](QlDeviceHandle h, const camsim::CameraState& s, std::string& why) {
         int32_t mode = -1;
         const int ret = QL_GetWorkMode(h, &mode);
         why = Mismatch("mode", mode, 2) + Mismatch("camera", s.workMode, 2);
         return ret;
     }},
    {"WorkModeHardwareTrigger", false, [](QlDeviceHandle h) { return QL_SetWorkMode(h, 1); },
     [](QlDeviceHandle h, const camsim::CameraState& s, std::string& why) {
         int32_t mode = -1;
         const int ret = QL_GetWorkMode(h, &mode);
         why = Mismatch("mode", mode, 1) + Mismatch("camera", s.workMode, 1);
         return ret;
     }},
    {"FrameRate", false, [](QlDeviceHandle h) { return QL_SetFrameRate(h, 15); },
     [](QlDeviceHandle h, const camsim::CameraState& s, std::string& why) {
         int32_t fps = 0;
         const int ret = QL_GetFrameRate(h, &fps);
         why = Mismatch("fps", fps, 15) + Mismatch("camera", s.frameRate, 15);
         return ret;
     }},
    {"IRGain", false, [](QlDeviceHandle h) { return QL_SetIRGMMGain(h, 200); },
     [](QlDeviceHandle h, const camsim::CameraState& s, std::string& why) {
         uint8_t gain = 0;
         const int ret = QL_GetIRGMMGain(h, &gain);
         why = Mismatch("gain", gain, 200) + Mismatch("camera", s.irGain, 200);
         return ret;
     }},
    {"ToFExposureTime", false,
     [](QlDeviceHandle h) {
         return QL_SetExposureTime(h, SENSOR_TYPE_TOF, {1, 2});
     },
     [](QlDeviceHandle h, const camsim::CameraState&, std::string& why) {
         ExposureTimeParams params{1, -1};
         const int ret = QL_GetExposureTime(h, SENSOR_TYPE_TOF, &params);
         why = Mismatch("time", params.exposureTime, 2) + Mismatch("mode untouched", params.mode, 1);
         return ret;
     }},
    {"HDROn", false, [](QlDeviceHandle h) { return QL_SetHDRModeEnabled(h, true); },
     [](QlDeviceHandle h, const camsim::CameraState&, std::string& why) {
         bool on = false;
         const int ret = QL_GetHDRModeEnabled(h, &on);
         why = Mismatch("hdr", on, 1);
         return ret;
     }},
    {"TimeFilter", false,
     [](QlDeviceHandle h) {
         return QL_SetTimeFilterParams(h, {3, 1});
     },
     [](QlDeviceHandle h, const camsim::CameraState&, std::string& why) {
         QlTimeFilterParams p{-1, 9};
         const int ret = QL_GetTimeFilterParams(h, &p);
         why = Mismatch("threshold", p.threshold, 3) + Mismatch("enable", p.enable, 1);
         return ret;
     }},
    {"ConfidenceFilter", false,
     [](QlDeviceHandle h) {
         return QL_SetConfidenceFilterParams(h, {25, 1});
     },
     [](QlDeviceHandle h, const camsim::CameraState&, std::string& why) {
         QlConfidenceFilterParams p{-1, 9};
         const int ret = QL_GetConfidenceFilterParams(h, &p);
         why = Mismatch("threshold", p.threshold, 25) + Mismatch("enable", p.enable, 1);
         return ret;
     }},
    {"FlyingPixelFilterOff", false,
     [](QlDeviceHandle h) {
         return QL_SetFlyingPixelFilterParams(h, {7, 0});
     },
     [](QlDeviceHandle h, const camsim::CameraState&, std::string& why) {
         QlFlyingPixelFilterParams p{-1, 9};
         const int ret = QL_GetFlyingPixelFilterParams(h, &p);
         why = Mismatch("threshold", p.threshold, 7) + Mismatch("enable", p.enable, 0);
         return ret;
     }},
    {"FillHoleFilter", false,
     [](QlDeviceHandle h) {
         return QL_SetFillHoleFilterParams(h, {4, 2, 3, 1});
     },
     [](QlDeviceHandle h, const camsim::CameraState&, std::string& why) {
         QlFillHoleFilterParams p{-1, -1, -1, 9};
         const int ret = QL_GetFillHoleFilterParams(h, &p);
         why = Mismatch("validCount", p.validCount, 4) + Mismatch("deviationShift", p.deviationShift, 2) +
               Mismatch("iterations", p.iterations, 3) + Mismatch("enable", p.enable, 1);
         return ret;
     }},
    {"FillHoleFilterEnableKeepsTheRest", false,
     [](QlDeviceHandle h) {
         const int ret = QL_SetFillHoleFilterParams(h, {4, 2, 3, 1});
         return ret != 0 ? ret : QL_SetFillHoleFilterEnabled(h, false);
     },
     [](QlDeviceHandle h, const camsim::CameraState&, std::string& why) {
         QlFillHoleFilterParams p{-1, -1, -1, 9};
         bool on = true;
         int ret = QL_GetFillHoleFilterEnabled(h, &on);
         if (ret == 0) ret = QL_GetFillHoleFilterParams(h, &p);
         why = Mismatch("enabled", on, 0) + Mismatch("validCount", p.validCount, 4) +
               Mismatch("iterations", p.iterations, 3) + Mismatch("enable", p.enable, 0);
         return ret;
     }},
    {"SpatialFilter", false,
     [](QlDeviceHandle h) {
         return QL_SetSpatialFilterParams(h, {5, 10, 2, 1});
     },
     [](QlDeviceHandle h, const camsim::CameraState&, std::string& why) {
         QlSpatialFilterParams p{-1, -1, -1, 9};
         const int ret = QL_GetSpatialFilterParams(h, &p);
         why = Mismatch("validCount", p.validCount, 5) + Mismatch("deviationPercent", p.deviationPercent, 10) +
               Mismatch("iterations", p.iterations, 2) + Mismatch("enable", p.enable, 1);
         return ret;
     }},
    {"SpatialFilterDisabled", false, [](QlDeviceHandle h) { return QL_SetSpatialFilterEnabled(h, false); },
     [](QlDeviceHandle h, const camsim::CameraState&, std::string& why) {
         bool on = true;
         const int ret = QL_GetSpatialFilterEnabled(h, &on);
         why = Mismatch("enabled", on, 0);
         return ret;
     }},
    {"InputTriggerSignal", false,
     [](QlDeviceHandle h) {
         return QL_SetInputSignalParamsForHWTrigger(h, {300, 1000, 1});
     },
     [](QlDeviceHandle h, const camsim::CameraState& s, std::string& why) {
         QlInputSignalParamsForHWTrigger p{0, 0, 0};
         const int ret = QL_GetInputSignalParamsForHWTrigger(h, &p);
         const camsim::McuParameters cam = s.mcu.count(1) ? s.mcu.at(1) : camsim::McuParameters{};
         why = Mismatch("width", p.width, 300) + Mismatch("interval", p.interval, 1000) +
               Mismatch("polarity", p.polarity, 1) + Mismatch("camera width", cam.width, 300) +
               Mismatch("camera interval", cam.intervalOrDelay, 1000);
         return ret;
     }},
    {"OutputSignal", false,
     [](QlDeviceHandle h) {
         return QL_SetOutputSignalParams(h, {50, 20, 0});
     },
     [](QlDeviceHandle h, const camsim::CameraState& s, std::string& why) {
         QlOutputSignalParams p{1, 1, 1};
         const int ret = QL_GetOutputSignalParams(h, &p);
         const camsim::McuParameters cam = s.mcu.count(2) ? s.mcu.at(2) : camsim::McuParameters{};
         why = Mismatch("width", p.width, 50) + Mismatch("delay", p.delay, 20) + Mismatch("polarity", p.polarity, 0) +
               Mismatch("camera delay", cam.intervalOrDelay, 20);
         return ret;
     }},
    {"ColourResolution", true,
     [](QlDeviceHandle h) {
         ResolutionList list{};
         const int ret = QlGetSupportedResolutionList(h, SENSOR_TYPE_COLOR, &list);
         if (ret != 0) return ret;
         if (list.count < 2) return -1000;
         return QL_SetColorResolution(h, list.resolution[list.count - 1].width, list.resolution[list.count - 1].height);
     },
     [](QlDeviceHandle h, const camsim::CameraState& s, std::string& why) {
         ResolutionList list{};
         int ret = QlGetSupportedResolutionList(h, SENSOR_TYPE_COLOR, &list);
         int32_t w = 0, hh = 0;
         if (ret == 0) ret = QL_GetColorResolution(h, &w, &hh);
         const QlResolution want = list.resolution[list.count > 0 ? list.count - 1 : 0];
         why = Mismatch("width", w, want.width) + Mismatch("height", hh, want.height) +
               Mismatch("camera width", s.colour.width, want.width);
         return ret;
     }},
    {"ColourManualExposure", true,
     [](QlDeviceHandle h) {
         const int ret = QL_SetExposureControlMode(h, SENSOR_TYPE_COLOR, 1);
         return ret != 0 ? ret : QL_SetExposureTime(h, SENSOR_TYPE_COLOR, {1, 5000});
     },
     [](QlDeviceHandle h, const camsim::CameraState&, std::string& why) {
         int32_t mode = -1;
         int ret = QL_GetExposureControlMode(h, SENSOR_TYPE_COLOR, &mode);
         ExposureTimeParams params{1, 0};
         if (ret == 0) ret = QL_GetExposureTime(h, SENSOR_TYPE_COLOR, &params);
         why = Mismatch("mode", mode, 1) + Mismatch("time", params.exposureTime, 5000);
         return ret;
     }},
    {"ColourGain", true,
     [](QlDeviceHandle h) {
         const int ret = QL_SetExposureControlMode(h, SENSOR_TYPE_COLOR, 1);
         return ret != 0 ? ret : QL_SetColorGain(h, 2.5f);
     },
     [](QlDeviceHandle h, const camsim::CameraState&, std::string& why) {
         float gain = 0;
         const int ret = QL_GetColorGain(h, &gain);
         why = Mismatch("gain x100", static_cast<long long>(gain * 100 + 0.5f), 250);
         return ret;
     }},
    {"ToFSettingOnColourCamera", true, [](QlDeviceHandle h) { return QL_SetIRGMMGain(h, 33); },
     [](QlDeviceHandle h, const camsim::CameraState&, std::string& why) {
         uint8_t gain = 0;
         const int ret = QL_GetIRGMMGain(h, &gain);
         why = Mismatch("gain", gain, 33);
         return ret;
     }},
};

INSTANTIATE_TEST_SUITE_P(Pairs, Settings, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SettingCase>& info) {
                             return std::string(info.param.name);
                         });

// A confirmed set is its two exchanges on loopback, with no wait for the camera to acknowledge
// the set before its read-back goes out (a delayed acknowledgement costs 40 ms and more).
TEST_F(KitWithCamera, ConfirmedSetsDoNotWaitForAcknowledgements) {
    constexpr auto kBound = std::chrono::milliseconds(20);
    OpenCamera(ToFOnlyCamera());
    std::vector<std::chrono::steady_clock::duration> took;
    for (int i = 0; i < 9; ++i) {
        const int range = i % 2;
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(QL_SetProperty(handle, "Py_DepthRange", &range, sizeof(range)), 0);
        took.push_back(std::chrono::steady_clock::now() - start);
    }
    std::sort(took.begin(), took.end());
    EXPECT_LT(took[took.size() / 2], kBound);
}

// Colour pixel format: the colour frames come in the format asked for.
class ColourFormat : public KitWithCamera, public ::testing::WithParamInterface<PixelFormat> {};

TEST_P(ColourFormat, ColourFramesCarryTheFormat) {
    OpenCamera(ColourCamera());
    ASSERT_EQ(QL_SetColorPixelFormat(handle, GetParam()), 0);
    ASSERT_EQ(QL_StartStream(handle), 0);
    ASSERT_NE(NextGroup(FRAME_READY_COLOR) & FRAME_READY_COLOR, 0u);
    QlFrame colour{};
    ASSERT_EQ(QL_GetFrame(handle, FRAME_COLOR, &colour), 0);
    EXPECT_EQ(Val(colour.pixelFormat), GetParam());
    // The scene's colour at the centre, in the byte order of the format (within JPEG tolerance).
    const camsim::Rgb want =
        ColourCamera().scene.ColourAt(colour.width / 2, colour.height / 2, colour.width, colour.height);
    const uint8_t* px = colour.pFrameData + 3 * (size_t(colour.height / 2) * colour.width + colour.width / 2);
    const uint8_t first = GetParam() == PIXEL_FORMAT_RGB ? want.r : want.b;
    const uint8_t last = GetParam() == PIXEL_FORMAT_RGB ? want.b : want.r;
    EXPECT_NEAR(px[0], first, 24);
    EXPECT_NEAR(px[2], last, 24);
}

INSTANTIATE_TEST_SUITE_P(Formats, ColourFormat, ::testing::Values(PIXEL_FORMAT_RGB, PIXEL_FORMAT_BGR),
                         [](const ::testing::TestParamInfo<PixelFormat>& info) {
                             return std::string(info.param == PIXEL_FORMAT_RGB ? "RGB" : "BGR");
                         });

}  // namespace
