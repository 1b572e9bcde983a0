#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "DeviceInfo.h"
#include "FileSum.h"
#include "FirmwareImageSpec.h"
#include "JsonCtl.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "TransferRig.h"
#include "Upgrade.h"
#include "UsbStorageList.h"
#include "WebServer.h"
#include "pathtools.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;
using Entries = std::vector<std::string>;

// The line lsblk gives for a whole disk mounted at `mountPoint`.
std::string Disk(const std::string& mountPoint) { return "sdb      8:16   1  7.5G  0 disk " + mountPoint + "\n"; }

std::string Disks(const Entries& mountPoints) {
    std::string out;
    for (const std::string& point : mountPoints) out += Disk(point);
    return out;
}

void MakeFolder(const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path; }

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// A fake lsblk first on PATH for one test; it prints what Show last wrote.
class FakeLsblk {
public:
    explicit FakeLsblk(const TempDir& dir) : m_output(dir.File("lsblk.out")) {
        MakeFolder(dir.File("bin"));
        WriteFile(dir.File("bin/lsblk"), "#!/bin/sh\ncat '" + m_output + "'\n");
        chmod(dir.File("bin/lsblk").c_str(), 0755);
        Show("");
        const char* path = std::getenv("PATH");
        m_hadPath = path != nullptr;
        m_savedPath = m_hadPath ? path : "";
        setenv("PATH", (dir.File("bin") + ":" + m_savedPath).c_str(), 1);
    }
    ~FakeLsblk() {
        if (m_hadPath)
            setenv("PATH", m_savedPath.c_str(), 1);
        else
            unsetenv("PATH");
    }
    FakeLsblk(const FakeLsblk&) = delete;
    FakeLsblk& operator=(const FakeLsblk&) = delete;

    void Show(const std::string& output) { WriteFile(m_output, output); }

private:
    std::string m_output;
    std::string m_savedPath;
    bool m_hadPath = false;
};

// Takes every free descriptor, so that the next pipe cannot be made.
class NoFreeDescriptors {
public:
    NoFreeDescriptors() {
        getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit low = m_saved;
        low.rlim_cur = std::min<rlim_t>(m_saved.rlim_cur, 256);
        setrlimit(RLIMIT_NOFILE, &low);
        int fd;
        while ((fd = open("/dev/null", O_RDONLY)) >= 0) m_fds.push_back(fd);
    }
    ~NoFreeDescriptors() {
        for (int fd : m_fds) close(fd);
        setrlimit(RLIMIT_NOFILE, &m_saved);
    }

private:
    rlimit m_saved{};
    std::vector<int> m_fds;
};

class UsbStorageListTest : public ::testing::Test {
protected:
    UsbStorageListTest() : lsblk(dir) {}

    testsupport::LogCapture log;
    TempDir dir;
    FakeLsblk lsblk;
};

TEST_F(UsbStorageListTest, MountPointsFromTheListing) {
    const std::string longLine = "sdd      8:48   1    8G  0 disk /media/" + std::string(5000, 'x') + "/media/tail\n";
    struct Row {
        const char* name;
        std::string output;
        Entries expected;
    };
    const Row rows[] = {
        {"a disk under media", Disk("/media/u/STICK"), {"/media/u/STICK"}},
        {"media further on, spaces kept", Disk("/run/media/u/My Stick"), {"/run/media/u/My Stick"}},
        {"two disks in order", Disks({"/media/u/A", "/media/u/B"}), {"/media/u/A", "/media/u/B"}},
        {"a disk outside media", Disk("/") + Disk("/home"), {}},
        {"partitions are not disks", "sdb1     8:17   1  7.5G  0 part /media/u/P\n", {}},
        {"media without a slash", "sdc      8:32   1    8G  0 disk media\n", {}},
        {"windows line end", "sdb      8:16   1  7.5G  0 disk /media/u/A\r\n", {"/media/u/A"}},
        {"last line without a line end", "sdb      8:16   1  7.5G  0 disk /media/u/A", {"/media/u/A"}},
        {"an over-long line is skipped whole", longLine + Disk("/media/u/B"), {"/media/u/B"}},
        {"nothing listed", "", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UsbStorageList list;
        lsblk.Show(row.output);
        list.GetUSBStorageDeviceList(false);
        EXPECT_EQ(list.Entries(), row.expected);
    }
}

TEST_F(UsbStorageListTest, SnapshotLeavesOnlyTheNewlyMounted) {
    UsbStorageList list;
    lsblk.Show(Disks({"/media/u/A", "/media/u/C"}));
    list.GetUSBStorageDeviceList(true);
    EXPECT_TRUE(list.Entries().empty());

    lsblk.Show(Disks({"/media/u/A", "/media/u/B", "/media/u/C"}));
    list.GetUSBStorageDeviceList(false);
    EXPECT_EQ(list.Entries(), (Entries{"/media/u/B"}));

    // The snapshot was used up: A now counts as new.
    lsblk.Show(Disk("/media/u/A"));
    list.GetUSBStorageDeviceList(false);
    EXPECT_EQ(list.Entries(), (Entries{"/media/u/B", "/media/u/A"}));

    list.Clear();
    EXPECT_TRUE(list.Entries().empty());
}

TEST_F(UsbStorageListTest, ListingThatCannotRunLeavesBothListsAlone) {
    UsbStorageList list;
    lsblk.Show(Disk("/media/u/X"));
    list.GetUSBStorageDeviceList(false);
    lsblk.Show(Disk("/media/u/A"));
    list.GetUSBStorageDeviceList(true);
    lsblk.Show(Disks({"/media/u/A", "/media/u/B"}));
    {
        NoFreeDescriptors exhausted;
        list.GetUSBStorageDeviceList(false);
        list.GetUSBStorageDeviceList(true);
    }
    EXPECT_EQ(list.Entries(), (Entries{"/media/u/X"}));
    EXPECT_TRUE(log.Contains("popen lsblk | grep disk failed. ECode:24")) << log.Text();
    // The snapshot still holds A only.
    list.GetUSBStorageDeviceList(false);
    EXPECT_EQ(list.Entries(), (Entries{"/media/u/X", "/media/u/B"}));
}

TEST_F(UsbStorageListTest, IsDirectoryVecExistKeepsTheFolders) {
    MakeFolder(dir.File("stick"));
    WriteFile(dir.File("plain"), "x");
    struct Row {
        const char* name;
        Entries list;
        bool remain;
        Entries expected;
    };
    const Row rows[] = {
        {"mixed", {dir.File("gone"), dir.File("stick"), dir.File("plain")}, true, {dir.File("stick")}},
        {"none exists", {dir.File("gone"), dir.File("plain")}, false, {}},
        {"empty", {}, false, {}},
    };
    Upgrade upgrade;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Entries list = row.list;
        EXPECT_EQ(upgrade.IsDirectoryVecExist(list), row.remain);
        EXPECT_EQ(list, row.expected);
    }
}

enum class Side { Firmware, Json };

void PrintTo(Side side, std::ostream* out) { *out << (side == Side::Firmware ? "Firmware" : "Json"); }

// Storage devices as folders under "media" of a temporary folder, listed by the fake
// lsblk, and both controllers holding a scripted camera's command set.
class UsbRig : public ::testing::Test {
public:
    UsbRig() : cwd(dir.Path()), lsblk(dir) {
        MakeFolder(dir.File("media"));
        MakeFolder(home);
        MakeFolder(home + "/.config");
        homefolder::SetSource([this] { return home; });
    }
    ~UsbRig() override {
        homefolder::SetSource(nullptr);
        WebServer::getInstance()->stop();
    }

    TransferController& Controller(Side side) {
        if (side == Side::Firmware) return upgrade;
        return json;
    }
    int Copy2U(Side side) { return side == Side::Firmware ? upgrade.Copy2U() : json.Copy2U(); }
    static std::string CopyName(Side side) { return side == Side::Firmware ? "Firmware.img" : "config.json"; }
    static std::string CopyOn(Side side, const std::string& stick) { return stick + "/Android/data/" + CopyName(side); }

    void ClearSticks() {
        std::filesystem::remove_all(dir.File("media"));
        MakeFolder(dir.File("media"));
    }
    // A storage device's folder, made.
    std::string Stick(const std::string& name) {
        const std::string path = dir.File("media/" + name);
        MakeFolder(path);
        return path;
    }
    void Mount(Side side, const Entries& sticks) {
        lsblk.Show(Disks(sticks));
        Controller(side).GetUSBStorageDeviceList(false);
    }
    std::string SourcePath(Side side) const { return dir.File(CopyName(side) + ".src"); }

    // The file the controller copies, handed over as the application does: a checked
    // image, or a JSON file. Returns its bytes.
    std::string GiveSource(Side side, const std::string& payload) {
        const std::string path = SourcePath(side);
        if (side == Side::Json) {
            WriteFile(path, payload);
            HandOver(side, path);
            return payload;
        }
        transfertest::ImageSpec spec;
        spec.payload = payload;
        WriteFile(path, spec.Bytes());
        DeviceInfo info;
        info.deviceType = 16;
        std::strcpy(info.serialNumber, "CAM1");
        EXPECT_EQ(upgrade.CheckFirmwareVersion("FW_20240115_V5", path.c_str(), &info), 0);
        HandOver(side, path);
        return spec.Bytes();
    }
    void HandOver(Side side, const std::string& path) {
        if (side == Side::Firmware)
            upgrade.SetImgPath(path.c_str(), camera.protocol.get());
        else
            json.SetImgPath(path.c_str(), camera.protocol.get());
    }

    testsupport::LogCapture log;
    TempDir dir;
    testsupport::ScopedWorkingDirectory cwd;
    FakeLsblk lsblk;
    const std::string home = dir.File("home");
    transfertest::ScriptedCamera camera{transfertest::CameraScript{}};
    Upgrade upgrade;
    JsonCtl json;
};

class UsbCopyTest : public UsbRig, public ::testing::WithParamInterface<Side> {};

struct CopyCase {
    const char* name;
    size_t payload;
    // Makes the storage devices and returns the list lsblk shows.
    std::function<Entries(UsbRig&, Side)> sticks;
    int expected;
    std::vector<bool> copied;  // per stick: holds a copy equal to the source afterwards
    const char* logLine;
};

TEST_P(UsbCopyTest, CopiesToEachStick) {
    const Side side = GetParam();
    auto linkedTo = [](const char* target) {
        return [target](UsbRig& rig, Side s) {
            const std::string stick = rig.Stick("linked");
            MakeFolder(stick + "/Android");
            MakeFolder(stick + "/Android/data");
            EXPECT_EQ(symlink(target, UsbRig::CopyOn(s, stick).c_str()), 0);
            return Entries{stick, rig.Stick("good")};
        };
    };
    const CopyCase cases[] = {
        {"two sticks, one with its folders already made",
         1000,
         [](UsbRig& rig, Side) {
             const std::string made = rig.Stick("made");
             MakeFolder(made + "/Android");
             MakeFolder(made + "/Android/data");
             return Entries{rig.Stick("fresh"), made};
         },
         0,
         {true, true},
         "copy end"},
        {"a copy that reads back short is deleted, the next stick still served",
         1000,
         linkedTo("/dev/null"),
         -1,
         {false, true},
         "pUpgradeParams("},
        {"a full stick", 10, linkedTo("/dev/full"), -1, {false, false}, "fwrite ECode:28 "},
        {"a full stick, a file larger than the write buffer",
         10000,
         linkedTo("/dev/full"),
         -1,
         {false, false},
         "fwrite ECode:28 "},
        {"a stick path under a regular file stops the copying",
         10,
         [](UsbRig& rig, Side) {
             WriteFile(rig.dir.File("media/plain"), "x");
             return Entries{rig.dir.File("media/plain"), rig.Stick("good")};
         },
         -1,
         {false, false},
         "/plain/Android IsDirectoryExist failed ECode:20."},
        {"a stick that is gone",
         10,
         [](UsbRig& rig, Side) { return Entries{rig.dir.File("media/gone")}; },
         -1,
         {false},
         "/gone/Android CreateDirectory failed ECode:2."},
        {"no sticks", 10, [](UsbRig&, Side) { return Entries{}; }, -1, {}, nullptr},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.name);
        Controller(side).RebootAndrm();  // a fresh list for each case
        ClearSticks();
        const std::string bytes = GiveSource(side, std::string(c.payload, 'p') + "\xff\x01");
        const Entries sticks = c.sticks(*this, side);
        Mount(side, sticks);
        log.Mark();
        EXPECT_EQ(Copy2U(side), c.expected);
        if (c.logLine) {
            EXPECT_TRUE(log.Contains(c.logLine)) << log.Text();
        }
        for (size_t i = 0; i < sticks.size(); ++i) {
            const std::string copy = CopyOn(side, sticks[i]);
            if (c.copied[i]) {
                EXPECT_EQ(ReadFile(copy), bytes) << copy;
            } else {
                EXPECT_FALSE(Exists(copy)) << copy;
            }
        }
    }
}

TEST_P(UsbCopyTest, UnreadableSourceCopiesNothing) {
    const Side side = GetParam();
    struct Row {
        const char* name;
        std::function<std::string(UsbRig&, Side)> source;
    };
    const Row rows[] = {
        {"missing",
         [](UsbRig& rig, Side s) {
             EXPECT_EQ(unlink(rig.SourcePath(s).c_str()), 0);
             return rig.SourcePath(s);
         }},
        // Its length reads as 0 and it never ends.
        {"a device", [](UsbRig&, Side) { return std::string("/dev/zero"); }},
    };
    const std::string stick = Stick("a");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Controller(side).RebootAndrm();
        GiveSource(side, "content");
        const std::string path = row.source(*this, side);
        HandOver(side, path);
        upgrade.SetImgFileLen(0);
        Mount(side, {stick});
        EXPECT_EQ(Copy2U(side), -1);
        EXPECT_TRUE(log.Contains("open " + path + " failed.")) << log.Text();
        EXPECT_FALSE(Exists(stick + "/Android"));
    }
}

TEST_P(UsbCopyTest, RebootAndrmEmptiesTheList) {
    const Side side = GetParam();
    const std::string bytes = GiveSource(side, "content");
    const std::string stick = Stick("a");
    Mount(side, {stick});
    ASSERT_EQ(Copy2U(side), 0);
    ASSERT_EQ(unlink(CopyOn(side, stick).c_str()), 0);

    Controller(side).RebootAndrm();
    EXPECT_EQ(camera.Count(transfertest::kCmdReboot), 1);
    EXPECT_EQ(Copy2U(side), -1);
    EXPECT_FALSE(Exists(CopyOn(side, stick)));
}

INSTANTIATE_TEST_SUITE_P(BothControllers, UsbCopyTest, ::testing::Values(Side::Firmware, Side::Json));

TEST_F(UsbRig, EachControllerHasItsOwnSnapshot) {
    const std::string before = Stick("before");
    const std::string after = Stick("after");
    const std::string image = GiveSource(Side::Firmware, "image");
    const std::string config = GiveSource(Side::Json, "{}");
    lsblk.Show(Disk(before));
    upgrade.GetUSBStorageDeviceList(true);
    Mount(Side::Firmware, {before, after});
    Mount(Side::Json, {before, after});

    EXPECT_EQ(upgrade.Copy2U(), 0);
    EXPECT_EQ(json.Copy2U(), 0);
    EXPECT_FALSE(Exists(CopyOn(Side::Firmware, before)));
    EXPECT_EQ(ReadFile(CopyOn(Side::Firmware, after)), image);
    EXPECT_EQ(ReadFile(CopyOn(Side::Json, before)), config);
    EXPECT_EQ(ReadFile(CopyOn(Side::Json, after)), config);
}

// Sparse, so that no test writes gigabytes.
void MakeSparse(const std::string& path, uint64_t size) {
    WriteFile(path, "");
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
}

constexpr uint64_t kFourGiB = 1ull << 32;

TEST_F(UsbRig, FirmwareCopyIsCheckedAgainstTheCheckedImage) {
    struct Row {
        const char* name;
        std::function<void(UsbRig&)> spoil;
        const char* logLine;
        bool foldersMade;
    };
    const Row rows[] = {
        {"length differs",
         [](UsbRig& rig) { rig.upgrade.SetImgFileLen(static_cast<int>(rig.upgrade.GetimgFileLen() + 1)); },
         "size is notmatch(", false},
        {"checksum differs",
         [](UsbRig& rig) { rig.upgrade.SetImgChecksum(static_cast<int>(rig.upgrade.GetimgChecksum() + 1)); },
         "pUpgradeParams(", true},
        {"shorter than its header",
         [](UsbRig& rig) {
             WriteFile(rig.SourcePath(Side::Firmware), std::string(100, 'h'));
             rig.upgrade.SetImgFileLen(100);
             rig.upgrade.SetImgChecksum(100 * 'h');
         },
         "read IMG_HEAD failed:100", true},
        {"4 GiB and more, equal in the low 32 bits",
         [](UsbRig& rig) {
             MakeSparse(rig.SourcePath(Side::Firmware), kFourGiB + 600);
             rig.upgrade.SetImgFileLen(600);
         },
         "size is notmatch(4294967896,600).", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        upgrade.RebootAndrm();
        GiveSource(Side::Firmware, "payload");
        const std::string stick = dir.File("media/") + std::to_string(&row - rows);
        MakeFolder(stick);
        Mount(Side::Firmware, {stick});
        row.spoil(*this);
        log.Mark();
        EXPECT_EQ(upgrade.Copy2U(), -1);
        EXPECT_TRUE(log.Contains(row.logLine)) << log.Text();
        EXPECT_EQ(Exists(stick + "/Android/data"), row.foldersMade);
        EXPECT_FALSE(Exists(CopyOn(Side::Firmware, stick)));
    }
}

TEST_F(UsbRig, JsonCopyKeepsLengthAndSignedSum) {
    struct Row {
        const char* name;
        std::string content;
        uint32_t length;
        int32_t checksum;
    };
    const Row rows[] = {
        {"letters", "abc", 3, 294},
        {"bytes above 127 count negative", "\xff\xff\x80", 3, -130},
        {"empty", "", 0, 0},
    };
    const std::string stick = Stick("a");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        json.RebootAndrm();
        GiveSource(Side::Json, row.content);
        Mount(Side::Json, {stick});
        EXPECT_EQ(json.Copy2U(), 0);
        EXPECT_EQ(json.GetimgFileLen(), row.length);
        EXPECT_EQ(static_cast<int32_t>(json.GetimgChecksum()), row.checksum);
        EXPECT_EQ(ReadFile(CopyOn(Side::Json, stick)), row.content);
    }
}

TEST_F(UsbRig, JsonOfFourGibibytesIsRefused) {
    GiveSource(Side::Json, "{}");
    json.SetImgFileLen(7);
    MakeSparse(SourcePath(Side::Json), kFourGiB + 3);
    const std::string stick = Stick("a");
    Mount(Side::Json, {stick});
    EXPECT_EQ(json.Copy2U(), -1);
    EXPECT_TRUE(log.Contains("read IMG_HEAD failed:4294967299")) << log.Text();
    EXPECT_EQ(json.GetimgFileLen(), 7u);
    EXPECT_FALSE(Exists(stick + "/Android"));
}

TEST_F(UsbRig, CopyJson2LocalFetchesTheOriginalFromTheFirstStick) {
    const std::string config = home + "/.config/Quelta/Config/config.json";
    auto withOriginal = [](UsbRig& rig, const std::string& name) {
        const std::string stick = rig.Stick(name);
        MakeFolder(stick + "/Android");
        MakeFolder(stick + "/Android/data");
        WriteFile(stick + "/Android/data/configOrig.json", "{\"from\":\"" + name + "\"}");
        return stick;
    };
    struct Row {
        const char* name;
        std::function<Entries(UsbRig&)> prepare;
        int expected;
        std::string content;  // of config.json afterwards; empty: none
        const char* logLine;
    };
    const Row rows[] = {
        {"into a new configuration folder", [&](UsbRig& rig) { return Entries{withOriginal(rig, "a")}; }, 0,
         "{\"from\":\"a\"}", nullptr},
        {"replacing the last one",
         [&](UsbRig& rig) {
             MakeFolder(rig.home + "/.config/Quelta");
             MakeFolder(rig.home + "/.config/Quelta/Config");
             WriteFile(config, "old");
             return Entries{withOriginal(rig, "a")};
         },
         0, "{\"from\":\"a\"}", nullptr},
        {"only the first stick counts",
         [&](UsbRig& rig) {
             return Entries{rig.Stick("a"), withOriginal(rig, "b")};
         },
         -1, "", "/a/Android/data/configOrig.json ECode:2 failed."},
        {"no original on the stick", [](UsbRig& rig) { return Entries{rig.Stick("a")}; }, -1, "",
         "/configOrig.json ECode:2 failed."},
        {"configuration folder blocked by a file",
         [&](UsbRig& rig) {
             MakeFolder(rig.home + "/.config/Quelta");
             WriteFile(rig.home + "/.config/Quelta/Config", "x");
             return Entries{withOriginal(rig, "a")};
         },
         -1, "", "/Quelta/Config/ failed. ECode:17"},
        {"no application-data folder",
         [&](UsbRig& rig) {
             rmdir((rig.home + "/.config").c_str());
             return Entries{withOriginal(rig, "a")};
         },
         -1, "", "open  failed."},
        {"no sticks", [](UsbRig&) { return Entries{}; }, -1, "", nullptr},
    };
    json.SetUpgradeJsonStatusCallback(nullptr, nullptr, camera.protocol.get());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        json.RebootAndrm();
        ClearSticks();
        std::filesystem::remove_all(home + "/.config");
        MakeFolder(home + "/.config");
        Mount(Side::Json, row.prepare(*this));
        log.Mark();
        EXPECT_EQ(json.CopyJson2Local(), row.expected);
        if (row.logLine) {
            EXPECT_TRUE(log.Contains(row.logLine)) << log.Text();
        }
        if (row.content.empty()) {
            EXPECT_FALSE(Exists(config));
        } else {
            EXPECT_EQ(ReadFile(config), row.content);
        }
        // Nothing lands in the working directory.
        EXPECT_FALSE(Exists("config.json"));
        EXPECT_FALSE(Exists("Config"));
    }
}

}  // namespace
