// The main road through the exported functions: find, open three ways, stream, close, shut down.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "E2eSupport.h"

namespace {

using namespace apie2e;

struct CameraCase {
    const char* name;
    uint8_t deviceType;
    bool colour;
    const char* productName;
};

void PrintTo(const CameraCase& c, std::ostream* os) { *os << c.name; }

class MainRoad : public KitWithCamera, public ::testing::WithParamInterface<CameraCase> {
protected:
    camsim::CameraOptions Options() const {
        camsim::CameraOptions options = GetParam().colour ? ColourCamera() : ToFOnlyCamera();
        options.deviceType = GetParam().deviceType;
        return options;
    }
    FrameReady Wanted() const {
        return GetParam().colour ? (FRAME_READY_DEPTH | FRAME_READY_COLOR) : FRAME_READY_DEPTH;
    }
    // Pixels whose depth differs from the scene.
    static int DepthMismatches(const QlFrame& depth, const camsim::Scene& scene) {
        int mismatches = 0;
        for (int y = 0; y < kDepthHeight; ++y) {
            for (int x = 0; x < kDepthWidth; ++x) {
                uint16_t d = 0;
                std::memcpy(&d, depth.pFrameData + 2 * (y * kDepthWidth + x), sizeof(d));
                if (d != scene.DepthAt(x, y, kDepthWidth, kDepthHeight)) ++mismatches;
            }
        }
        return mismatches;
    }
};

TEST_P(MainRoad, CameraIsListedWithItsFields) {
    const camsim::CameraOptions options = Options();
    StartKit(options);
    uint32_t count = 0;
    ASSERT_EQ(QL_GetDeviceCount(&count), 0);
    ASSERT_EQ(count, 1u);
    QlDeviceInfo info;
    std::memset(&info, 0xAB, sizeof(info));
    ASSERT_EQ(QL_GetDeviceInfo(0, &info), 0);
    EXPECT_STREQ(info.productName, GetParam().productName);
    EXPECT_EQ(std::string(info.uri), std::string(GetParam().productName) + ":SIM0001");
    EXPECT_STREQ(info.alias, "front");
    EXPECT_STREQ(info.serialNumber, "SIM0001");
    EXPECT_STREQ(info.ip, "127.0.0.2");
    EXPECT_EQ(Val(info.status), QlDeviceAvailable);
    // Text fields are zero-filled after their end.
    EXPECT_EQ(Val(info.ip[16]), 0);
    EXPECT_EQ(Val(info.serialNumber[63]), 0);

    // A list longer than the cameras: only the first record is written.
    QlDeviceInfo list[3];
    std::memset(list, 0xCD, sizeof(list));
    ASSERT_EQ(QL_GetDeviceInfoList(3, list), 0);
    EXPECT_EQ(std::memcmp(&list[0], &info, sizeof(info)), 0);
    const std::vector<unsigned char> untouched(2 * sizeof(QlDeviceInfo), 0xCD);
    EXPECT_EQ(std::memcmp(&list[1], untouched.data(), untouched.size()), 0);
}

TEST_P(MainRoad, OpenByIpUriAndAliasThenStreamAndClose) {
    const camsim::CameraOptions options = Options();
    StartKit(options);
    const std::string uri = std::string(GetParam().productName) + ":SIM0001";

    ASSERT_EQ(QL_OpenDeviceByIP("127.0.0.2", &handle), 0);
    QlDeviceInfo info{};
    ASSERT_TRUE(WaitForListed("SIM0001", QlDeviceOpened, &info));
    EXPECT_EQ(QL_OpenDeviceByUri(uri.c_str(), &handle), -103) << "an opened camera is refused by URI";
    EXPECT_EQ(QL_OpenDeviceByAlias("front", &handle), -103);
    ASSERT_EQ(QL_CloseDevice(&handle), 0);
    EXPECT_EQ(handle, nullptr);

    ASSERT_TRUE(WaitForListed("SIM0001", QlDeviceAvailable)) << "listed again after the close";
    ASSERT_EQ(QL_OpenDeviceByUri(uri.c_str(), &handle), 0);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(QL_CloseDevice(&handle), 0);

    ASSERT_TRUE(WaitForListed("SIM0001", QlDeviceAvailable));
    ASSERT_EQ(QL_OpenDeviceByAlias("front", &handle), 0);
    ASSERT_NE(handle, nullptr);
    FiltersOff();

    ASSERT_EQ(QL_StartStream(handle), 0);
    std::vector<uint32_t> indexes;
    QlFrame depth{};
    for (int i = 0; i < 4; ++i) {
        const FrameReady ready = NextGroup(Wanted());
        ASSERT_EQ(ready & Wanted(), Wanted())
            << "depth" << (GetParam().colour ? " and colour" : "") << " ready together";
        ASSERT_EQ(QL_GetFrame(handle, FRAME_DEPTH, &depth), 0);
        indexes.push_back(depth.frameIndex);
        if (GetParam().colour) {
            QlFrame colour{};
            ASSERT_EQ(QL_GetFrame(handle, FRAME_COLOR, &colour), 0);
            EXPECT_EQ(Val(colour.frameIndex), Val(depth.frameIndex)) << "one group, one index";
            EXPECT_EQ(Val(colour.frameType), FRAME_COLOR);
            EXPECT_GT(Val(colour.width), 0);
            EXPECT_EQ(Val(colour.dataLen), uint32_t(Val(colour.width)) * colour.height * 3);
            EXPECT_NE(Val(colour.pFrameData), nullptr);
        }
    }
    for (size_t i = 1; i < indexes.size(); ++i) EXPECT_GT(indexes[i], indexes[i - 1]);

    EXPECT_EQ(Val(depth.frameType), FRAME_DEPTH);
    EXPECT_EQ(Val(depth.pixelFormat), PIXEL_FORMAT_DEPTH_MM16);
    ASSERT_EQ(Val(depth.width), kDepthWidth);
    ASSERT_EQ(Val(depth.height), kDepthHeight);
    ASSERT_EQ(Val(depth.dataLen), uint32_t(kDepthWidth * kDepthHeight * 2));
    ASSERT_NE(Val(depth.pFrameData), nullptr);
    EXPECT_EQ(DepthMismatches(depth, options.scene), 0);

    ASSERT_EQ(QL_StopStream(handle), 0);
    EXPECT_FALSE(sim->State().streamOn);
    ASSERT_EQ(QL_CloseDevice(&handle), 0);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(QL_Shutdown(), 0);
    initialised = false;
    uint32_t count = 0;
    EXPECT_EQ(QL_GetDeviceCount(&count), -102);
}

TEST_P(MainRoad, TwoHandlesByIpNameOneCamera) {
    OpenCamera(Options());
    QlDeviceHandle second = nullptr;
    ASSERT_EQ(QL_OpenDeviceByIP("127.0.0.2", &second), 0);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, handle);
    ASSERT_TRUE(FramesCome(second)) << "the second handle streams before the close";
    ASSERT_EQ(QL_CloseDevice(&handle), 0);
    int32_t fps = 0;
    EXPECT_EQ(QL_GetFrameRate(second, &fps), -15);
    EXPECT_EQ(FrameCalls(second), kClosed);
    EXPECT_EQ(QL_StartStream(second), -15);
    EXPECT_EQ(QL_CloseDevice(&second), 0);
    EXPECT_EQ(second, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cameras, MainRoad,
                         ::testing::Values(CameraCase{"ToFOnly", 0x11, false, "Torvane-ToF-11"},
                                           CameraCase{"ToFAndColour", 0x12, true, "Torvane-RGBD-12"}),
                         [](const ::testing::TestParamInfo<CameraCase>& info) { return std::string(info.param.name); });

}  // namespace
