#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "DeviceInfo.h"
#include "FileSum.h"
#include "FirmwareImageSpec.h"
#include "ImgHead.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "Upgrade.h"

namespace {

using testsupport::TempDir;
using transfertest::ImageSpec;

constexpr const char* kCameraText = "FW_20240115_V5";

struct Case {
    const char* name;
    ImageSpec image;
    int expected;
    int deviceType = 16;
    const char* cameraText = kCameraText;
    const char* logLine = nullptr;
    const char* alsoLogged = nullptr;
};

class FirmwareImageTest : public ::testing::Test {
protected:
    int Check(const std::string& path, int deviceType = 16, const char* cameraText = kCameraText) {
        DeviceInfo info;
        info.deviceType = deviceType;
        std::strcpy(info.serialNumber, "SN7");
        return upgrade.CheckFirmwareVersion(cameraText, path.c_str(), &info);
    }

    testsupport::LogCapture log;
    TempDir dir;
    Upgrade upgrade;
};

TEST_F(FirmwareImageTest, HeaderFieldsAgainstTheCamera) {
    auto spoilt = [](auto change) {
        ImageSpec spec;
        change(spec);
        return spec;
    };
    const Case cases[] = {
        {"valid", ImageSpec(), 0},
        {"later build date", spoilt([](ImageSpec& s) { s.buildDate = "20240116"; }), 0},
        {"a day older", spoilt([](ImageSpec& s) { s.buildDate = "20240114"; }), -17, 16, kCameraText,
         "version or flash type check failed"},
        {"short build date", spoilt([](ImageSpec& s) { s.buildDate = "20241"; }), -17},
        {"flash type 1", spoilt([](ImageSpec& s) { s.flashType = 1; }), -17},
        {"wrong product group", spoilt([](ImageSpec& s) { s.productType = 18; }), -17, 16, kCameraText,
         "product_type:18 is invalid."},
        {"group 18 for type 19", spoilt([](ImageSpec& s) { s.productType = 18; }), 0, 19},
        {"group 20 for type 21", spoilt([](ImageSpec& s) { s.productType = 20; }), 0, 21},
        {"type 13 needs group 0", ImageSpec(), -17, 13},
        {"group 0 for type 13", spoilt([](ImageSpec& s) { s.productType = 0; }), 0, 13},
        {"higher version", spoilt([](ImageSpec& s) { s.version = 6; }), 0},
        {"lower version", spoilt([](ImageSpec& s) { s.version = 4; }), -16, 16, kCameraText, "Version error  4, 5"},
        {"lower version, wrong length", spoilt([](ImageSpec& s) {
             s.version = 4;
             s.lengthDelta = 1;
         }),
         -17, 16, kCameraText, "size mismatch", "Version error  4, 5"},
        {"length one more", spoilt([](ImageSpec& s) { s.lengthDelta = 1; }), -17},
        {"length one less", spoilt([](ImageSpec& s) { s.lengthDelta = -1; }), -17},
        {"payload sum off", spoilt([](ImageSpec& s) { s.checksumDelta = 1; }), -17, 16, kCameraText, "is mismatch."},
        {"empty payload", spoilt([](ImageSpec& s) { s.payload.clear(); }), 0},
        {"camera text with a prefix", ImageSpec(), 0, 16, "halden-fw-20240115_V5"},
        {"camera version two digits", spoilt([](ImageSpec& s) { s.version = 12; }), 0, 16, "FW_20240115_V12"},
        {"no underscore", ImageSpec(), -17, 16, "FW20240115V5", "oldFW:FW20240115V5 is invalid."},
        {"anchor too early", ImageSpec(), -17, 16, "20240115_V5"},
        {"one character after the anchor", ImageSpec(), -17, 16, "FW_20240115_5"},
        {"no digits after the anchor", ImageSpec(), -17, 16, "FW_20240115_Vx"},
        {"date not digits", ImageSpec(), -17, 16, "FW_2024o115_V5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("fw.img");
        testsupport::WriteFile(path, c.image.Bytes());
        log.Mark();
        EXPECT_EQ(Check(path, c.deviceType, c.cameraText), c.expected);
        for (const char* line : {c.logLine, c.alsoLogged}) {
            if (line) {
                EXPECT_TRUE(log.Contains(line)) << log.Text();
            }
        }
        if (c.expected == 0) {
            EXPECT_EQ(upgrade.GetimgFileLen(), sizeof(IMG_HEAD) + c.image.payload.size());
            EXPECT_EQ(upgrade.GetimgChecksum(), c.image.WholeSum());
        }
    }
}

TEST_F(FirmwareImageTest, SizesAroundTheHeader) {
    ImageSpec spec;
    spec.payload.clear();
    const std::string header = spec.Bytes();
    testsupport::WriteFile(dir.File("511.img"), header.substr(0, 511));
    EXPECT_EQ(Check(dir.File("511.img")), -17);
    EXPECT_TRUE(log.Contains("is too small:511."));

    testsupport::WriteFile(dir.File("512.img"), header);
    EXPECT_EQ(Check(dir.File("512.img")), 0);
    EXPECT_EQ(upgrade.GetimgFileLen(), 512u);
    EXPECT_EQ(upgrade.GetimgChecksum(), FileSum::Unsigned(header.data(), header.size()));
}

TEST_F(FirmwareImageTest, ImageOfFourGibibytesIsRefused) {
    const std::string path = dir.File("huge.img");
    ImageSpec spec;
    spec.payload.clear();
    IMG_HEAD head = spec.Head();
    head.file_length = 1ull << 32;
    testsupport::WriteFile(path, std::string(reinterpret_cast<const char*>(&head), sizeof(head)));
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(1ull << 32)), 0);  // sparse
    EXPECT_EQ(Check(path), -17);
    EXPECT_TRUE(log.Contains("is too large"));
}

TEST_F(FirmwareImageTest, BackslashesBecomeSlashes) {
    ASSERT_EQ(mkdir(dir.File("fw").c_str(), 0755), 0);
    testsupport::WriteFile(dir.File("fw/a.img"), ImageSpec().Bytes());
    const std::string windows = dir.Path() + "\\fw\\a.img";
    EXPECT_EQ(Check(windows), 0);
}

TEST_F(FirmwareImageTest, MissingFileIsRefused) {
    EXPECT_EQ(Check(dir.File("none.img")), -17);
    EXPECT_TRUE(log.Contains("open failed"));
}

TEST_F(FirmwareImageTest, MissingArgumentsAreRefused) {
    EXPECT_EQ(upgrade.CheckFirmwareVersion(kCameraText, dir.File("x").c_str(), nullptr), -17);
    DeviceInfo info;
    EXPECT_EQ(upgrade.CheckFirmwareVersion(nullptr, dir.File("x").c_str(), &info), -17);
    EXPECT_EQ(upgrade.CheckFirmwareVersion(kCameraText, nullptr, &info), -17);
}

// Tests run as root, so the image is made read-only by the mount itself.
TEST_F(FirmwareImageTest, ReadOnlyImageIsValid) {
    const std::string folder = dir.File("ro");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    testsupport::WriteFile(folder + "/a.img", ImageSpec().Bytes());
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
        GTEST_SKIP() << "no private read-only bind mount here: " << std::strerror(errno);
    }
    const int fd = open((folder + "/a.img").c_str(), O_RDWR);
    EXPECT_LT(fd, 0) << "the bind mount is not read-only";
    if (fd >= 0) close(fd);
    EXPECT_EQ(Check(folder + "/a.img"), 0);
    umount(folder.c_str());
}

}  // namespace
