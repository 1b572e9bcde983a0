#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "BaseDevice.h"
#include "CameraScript.h"
#include "DeviceTestSupport.h"
#include "LogCapture.h"
#include "ScriptedIO.h"

namespace {

using devicetest::CameraScript;
using Bytes = std::vector<uint8_t>;

// The base device alone over a scripted camera: its property table and work-mode change.
class BasePropertyTest : public ::testing::Test {
protected:
    BasePropertyTest() {
        auto owned = std::make_unique<testsupport::ScriptedIO>();
        io = owned.get();
        io->deviceSN = "SN01";
        io->SetResponder(camera.Responder());
        device = std::make_unique<BaseDevice>(devicetest::MakeDeviceInfo(), std::move(owned),
                                              [](linktiming::milliseconds) {});
    }

    testsupport::LogCapture log;
    CameraScript camera;
    testsupport::ScriptedIO* io = nullptr;
    std::unique_ptr<BaseDevice> device;
};

struct SizeCase {
    const char* key;
    int size;
    bool set;
    int result;
    size_t commands;  // sent to the camera
};

TEST_F(BasePropertyTest, KeysAndSizes) {
    const SizeCase cases[] = {
        {"Py_Intrinsic", 76, false, 0, 2},
        {"Py_Intrinsic", 75, false, -255, 0},
        {"Py_Intrinsic", 77, true, -255, 0},
        {"Py_Distortion", 68, false, 0, 2},
        {"Py_Distortion", 67, true, -255, 0},
        {"Py_Rotation", 71, false, -255, 0},
        {"Py_Rotation", 73, true, -255, 0},
        {"Py_Translation", 25, false, -255, 0},
        {"Py_Translation", 23, true, -255, 0},
        {"Py_Serialnumber", 16, false, -9, 0},
        {"Py_Serialnumber", 17, false, 0, 1},
        {"Py_Serialnumber", 16, true, -255, 0},
        {"Py_DHCPEnable", 2, false, -15, 0},
        {"Py_DHCPEnable", 2, true, -255, 0},
        {"Py_DHCPEnable", 1, true, 0, 1},
        {"Py_FactoryMode", 19, false, -15, 0},
        {"Py_FactoryMode", 19, true, -255, 0},
        {"Py_FactoryMode", 20, false, 0, 1},
        {"Py_MCUparameters", 5, false, -15, 0},
        {"Py_MCUparameters", 7, true, -255, 0},
        {"Py_MACAddress", 18, false, 0, 1},
        {"Py_SubnetMask", 16, false, 0, 1},
        {"Py_IP", 16, false, 0, 1},
        {"Py_IP", 8, true, 0, 1},
        {"Py_NoSuchKey", 4, false, -255, 0},
        {"Py_NoSuchKey", 4, true, -255, 0},
        {"Py_intrinsic", 76, false, -255, 0},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " size " + std::to_string(c.size) + (c.set ? " set" : " get"));
        io->ClearSent();
        std::vector<uint8_t> data(size_t(c.size) + 1, 0);
        // An address text for the network keys; the ToF sensor for the calibration records.
        if (c.size >= 8) std::memcpy(data.data(), "10.0.0.9", 8);
        if (std::string(c.key) == "Py_Intrinsic" || std::string(c.key) == "Py_Distortion") {
            const int32_t sensor = SENSOR_TYPE_TOF;
            std::memcpy(data.data(), &sensor, sizeof(sensor));
        }
        const int ret =
            c.set ? device->SetProperty(c.key, data.data(), c.size) : device->GetProperty(c.key, data.data(), c.size);
        EXPECT_EQ(ret, c.result);
        EXPECT_EQ(io->SentCommands().size(), c.commands);
    }
}

TEST_F(BasePropertyTest, IntrinsicRecordCarriesTheSensorThenUnalignedDoubles) {
    uint8_t data[76];
    std::memset(data, 0xEE, sizeof(data));
    const int32_t sensor = SENSOR_TYPE_TOF;
    std::memcpy(data, &sensor, 4);
    ASSERT_EQ(device->GetProperty("Py_Intrinsic", data, sizeof(data)), 0);
    double k[9];
    std::memcpy(k, data + 4, sizeof(k));
    for (int i = 0; i < 9; ++i) EXPECT_EQ(k[i], camera.intrinsic[i]);
    ASSERT_EQ(io->SentCommands().size(), 2u);
    EXPECT_EQ(io->SentCommands()[0].payload, Bytes{0});  // ToF intrinsics, first part
    EXPECT_EQ(io->SentCommands()[1].payload, Bytes{1});

    // The colour sensor's record goes out under the colour sub-ids.
    io->ClearSent();
    const int32_t colour = SENSOR_TYPE_COLOR;
    std::memcpy(data, &colour, 4);
    const double want[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::memcpy(data + 4, want, sizeof(want));
    device->SetProperty("Py_Intrinsic", data, sizeof(data));
    ASSERT_FALSE(io->SentCommands().empty());
    const auto& first = io->SentCommands()[0];
    EXPECT_EQ(first.type, CMDTYPE_SET);
    ASSERT_EQ(first.payload.size(), 1 + 4 * sizeof(double));
    EXPECT_EQ(first.payload[0], 4);
    double sent[4];
    std::memcpy(sent, first.payload.data() + 1, sizeof(sent));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(sent[i], want[i]);
}

TEST_F(BasePropertyTest, DhcpByteIsOneOnlyForOne) {
    const struct {
        std::optional<uint8_t> reported;  // nullopt: the command fails
        int result;
        uint8_t byte;
    } cases[] = {{1, 0, 1}, {2, 0, 0}, {0, 0, 0}, {std::nullopt, -104, 0}};
    for (const auto& c : cases) {
        io->SetResponder([&](const testsupport::ScriptedIO::Sent&) {
            return c.reported ? testsupport::ScriptedIO::Reply{0, Bytes{0x17, *c.reported}}
                              : testsupport::ScriptedIO::Reply{-104, std::nullopt};
        });
        uint8_t data = 0x55;
        EXPECT_EQ(device->GetProperty("Py_DHCPEnable", &data, 1), c.result);
        EXPECT_EQ(data, c.byte);  // written whatever the result
    }
}

TEST_F(BasePropertyTest, TriggerSignalIsAskedByTheCallersFirstByte) {
    io->SetResponder([](const testsupport::ScriptedIO::Sent&) {
        return testsupport::ScriptedIO::Reply{0, Bytes{2, 1, 0x34, 0x12, 0x78, 0x56}};
    });
    MCUParameters p{2, 0, 0, 0};
    ASSERT_EQ(device->GetProperty("Py_MCUparameters", &p, sizeof(p)), 0);
    EXPECT_EQ(io->SentCommands().back().payload[0], 2);
    EXPECT_EQ(p.polarity, 1);
    EXPECT_EQ(p.width, 0x1234);
    EXPECT_EQ(p.intervalOrDelay, 0x5678);
}

TEST_F(BasePropertyTest, NullKeyOrDataIsRefusedBeforeAnyCommand) {
    uint8_t data[4] = {};
    EXPECT_EQ(device->GetProperty(nullptr, data, 4), -12);
    EXPECT_EQ(device->SetProperty("Py_IP", nullptr, 4), -8);
    EXPECT_TRUE(io->SentCommands().empty());
}

TEST_F(BasePropertyTest, DefaultsOfTheBaseAreNotSupported) {
    double k[9];
    bool flag = false;
    ExposureTimeParams exposure{};
    EXPECT_EQ(device->GetCameraIntrinsic(SENSOR_TYPE_TOF, k), -20);
    EXPECT_EQ(device->SetIRGMMGain(3), -20);
    EXPECT_EQ(device->GetFrameReady(10, nullptr), -20);
    EXPECT_EQ(device->SetExposureTime(SENSOR_TYPE_TOF, exposure), -20);
    EXPECT_EQ(device->GetTransformDepthImgToColorCameraEnabled(&flag), -20);
    EXPECT_EQ(device->OnMessage(MessageRemoved), -20);
    EXPECT_TRUE(io->SentCommands().empty());
}

}  // namespace
