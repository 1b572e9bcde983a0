#include <sys/stat.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DeviceDetect.h"
#include "RecordingNotifier.h"
#include "TempDir.h"

namespace {

constexpr uint16_t kVendor = 0x1A2B;
constexpr uint16_t kFirst = 0x0101;
constexpr uint16_t kSecond = 0x0202;

// Temporary sysfs and /dev roots, a scripted hidraw probe and a watcher that is never
// started: the tests feed it messages directly.
class WatcherRig {
public:
    WatcherRig() {
        DeviceDetect::Options options;
        options.ids = {kVendor, kFirst, kSecond};
        options.sysRoot = mSys.Path();
        options.devRoot = mDev.Path();
        options.probeHidraw = [this](const std::string& path, HidrawIds* ids) {
            ++mProbes;
            const auto found = mNodes.find(path);
            if (found == mNodes.end()) {
                return false;
            }
            *ids = found->second;
            return true;
        };
        mDetect = std::make_unique<DeviceDetect>(options);
        EXPECT_TRUE(mDetect->Initialize(&mNotifier));
    }

    void AddModalias(const std::string& name, const std::string& content) {
        const std::string dir = mSys.Path() + "/class/video4linux/" + name + "/device";
        MakeDirs(dir);
        testsupport::WriteFile(dir + "/modalias", content);
    }

    // A node in the /dev root that the probe answers for.
    void AddHidrawNode(const std::string& name, uint16_t vendorId, uint16_t productId) {
        testsupport::WriteFile(mDev.File(name), "");
        HidrawIds ids;
        ids.vendorId = vendorId;
        ids.productId = productId;
        mNodes[mDev.File(name)] = ids;
    }

    void Send(const std::string& firstText) {
        // The kernel's layout: NUL-separated texts after "action@devpath".
        const std::string message = firstText + '\0' + "SEQNUM=1" + '\0';
        mDetect->HandleUevent(message.data(), message.size());
    }

    DetectParams Expected(int32_t action, int32_t kind, int32_t vendorId, int32_t productId,
                          const std::string& name) const {
        DetectParams p;
        p.action = action;
        p.kind = kind;
        p.vendorId = vendorId;
        p.productId = productId;
        p.devicePath = mDev.Path() + "/" + name;
        return p;
    }

private:
    static void MakeDirs(const std::string& path) {
        for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
            mkdir(path.substr(0, at).c_str(), 0755);
        }
        mkdir(path.c_str(), 0755);
    }

    testsupport::TempDir mSys;
    testsupport::TempDir mDev;
    std::map<std::string, HidrawIds> mNodes;

public:
    int mProbes = 0;
    RecordingNotifier mNotifier;
    std::unique_ptr<DeviceDetect> mDetect;
};

struct Report {
    int32_t action;
    int32_t kind;
    int32_t vendorId;
    int32_t productId;
    const char* name;
};

struct HandlerCase {
    const char* what;
    const char* event;
    const char* modaliasOf;  // video4linux device given a modalias, or null
    const char* modalias;
    bool matchingHidraw;  // /dev holds "hidraw4" of the maker's second product
    std::vector<Report> reports;
};

constexpr int32_t A = DetectParams::kAdded;
constexpr int32_t R = DetectParams::kRemoved;
constexpr int32_t V = DetectParams::kVideo;
constexpr int32_t H = DetectParams::kHid;
constexpr int32_t S = DetectParams::kStorage;

const char* const kGoodModalias = "usb:v05A9p4519d0100dcEFdsc02dp01ic0Eisc01ip00in00\n";

// Far longer than any modalias: only its start is read.
const std::string kLongModalias = std::string("usb:v05A9p4519d0100") + std::string(100000, 'x');

const HandlerCase kCases[] = {
    {"an over-long modalias is read only as far as needed",
     "add@/devices/usb1/1-2/1-2:1.0/video4linux/video9",
     "video9",
     kLongModalias.c_str(),
     true,
     {{A, V, 0x05A9, 0x4519, "video9"}}},
    {"video arrival reports the modalias identifiers",
     "add@/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/video4linux/video0",
     "video0",
     kGoodModalias,
     true,
     {{A, V, 0x05A9, 0x4519, "video0"}}},
    {"video arrival without a modalias is dropped",
     "add@/devices/usb1/1-2/1-2:1.0/video4linux/video1",
     nullptr,
     nullptr,
     true,
     {}},
    {"video arrival with a modalias of another bus is dropped",
     "add@/devices/pci0000:00/video4linux/video2",
     "video2",
     "pci:v00008086d00001234sv",
     true,
     {}},
    {"video arrival with an unreadable vendor is dropped",
     "add@/devices/usb1/video4linux/video3",
     "video3",
     "usb:v05X9p4519d0100",
     true,
     {}},
    {"video arrival with an unreadable product is dropped",
     "add@/devices/usb1/video4linux/video3",
     "video3",
     "usb:v05A9p45?9d0100",
     true,
     {}},
    {"video removal reports the node without identifiers",
     "remove@/devices/usb1/1-2/1-2:1.0/video4linux/video0",
     nullptr,
     nullptr,
     true,
     {{R, V, 0, 0, "video0"}}},
    {"hidraw arrival of the first product",
     "add@/devices/usb1/1-3/1-3:1.1/0003:1A2B:0101.0005/hidraw/hidraw3",
     nullptr,
     nullptr,
     true,
     {{A, H, kVendor, kFirst, "hidraw3"}}},
    {"hidraw arrival of the second product",
     "add@/devices/usb1/1-3/1-3:1.1/0003:1A2B:0202.0006/hidraw/hidraw5",
     nullptr,
     nullptr,
     true,
     {{A, H, kVendor, kSecond, "hidraw5"}}},
    {"hidraw arrival of another product falls back to the /dev scan",
     "add@/devices/usb1/1-3/1-3:1.1/0003:046D:C52B.0007/hidraw/hidraw6",
     nullptr,
     nullptr,
     true,
     {{A, H, kVendor, kSecond, "hidraw4"}}},
    {"hidraw arrival of another product with no match in /dev",
     "add@/devices/usb1/1-3/1-3:1.1/0003:046D:C52B.0007/hidraw/hidraw6",
     nullptr,
     nullptr,
     false,
     {}},
    {"storage arrival is reported, then /dev is scanned",
     "add@/devices/usb1/1-4/1-4:1.0/host6/target6:0:0/6:0:0:0/block/sdb",
     nullptr,
     nullptr,
     true,
     {{A, S, kVendor, kFirst, "sdb"}, {A, H, kVendor, kSecond, "hidraw4"}}},
    {"block device without sd only scans /dev",
     "add@/devices/pci0000:00/ata1/host0/target0:0:0/0:0:0:0/block/sr0",
     nullptr,
     nullptr,
     true,
     {{A, H, kVendor, kSecond, "hidraw4"}}},
    {"a partition is not a block device of its own",
     "add@/devices/usb1/host6/block/sdb/sdb1",
     nullptr,
     nullptr,
     false,
     {}},
    {"other arrival scans /dev",
     "add@/devices/virtual/net/veth0",
     nullptr,
     nullptr,
     true,
     {{A, H, kVendor, kSecond, "hidraw4"}}},
    {"other removal reports nothing",
     "remove@/devices/usb1/1-3/1-3:1.1/0003:1A2B:0101.0005/hidraw/hidraw3",
     nullptr,
     nullptr,
     true,
     {}},
    {"other actions are ignored",
     "change@/devices/usb1/1-2/1-2:1.0/video4linux/video0",
     "video0",
     kGoodModalias,
     true,
     {}},
    {"bind is no arrival", "bind@/devices/usb1/1-2", nullptr, nullptr, true, {}},
    {"a text without an action is ignored", "/devices/usb1/video4linux/video0", "video0", kGoodModalias, true, {}},
    {"a device path without a name is ignored", "add@/devices/usb1/video4linux/", nullptr, nullptr, true, {}},
    {"a dotted name never reaches outside sysfs", "add@/devices/usb1/video4linux/..", nullptr, nullptr, true, {}},
};

TEST(DeviceDetectHandler, HandlesEachKindOfEvent) {
    for (const HandlerCase& c : kCases) {
        SCOPED_TRACE(c.what);
        // A fresh watcher and roots for each case: the reported flag starts clear.
        WatcherRig rig;
        if (c.modaliasOf != nullptr) {
            rig.AddModalias(c.modaliasOf, c.modalias);
        }
        if (c.matchingHidraw) {
            rig.AddHidrawNode("hidraw4", kVendor, kSecond);
        }
        rig.AddHidrawNode("hidraw7", kVendor, kFirst);  // the scan only looks for the second product
        rig.AddHidrawNode("hidraw8", 0x046D, kSecond);
        rig.AddHidrawNode("nothidraw9", kVendor, kSecond);
        rig.Send(c.event);

        std::vector<DetectParams> expected;
        for (const Report& r : c.reports) {
            expected.push_back(rig.Expected(r.action, r.kind, r.vendorId, r.productId, r.name));
        }
        EXPECT_EQ(rig.mNotifier.Reports(), expected);
    }
}

// Once a HID interface was reported, arrivals skip the /dev scan until a removal.
TEST(DeviceDetectHandler, ScansAgainOnlyAfterARemoval) {
    WatcherRig rig;
    rig.AddHidrawNode("hidraw4", kVendor, kSecond);
    const DetectParams hid = rig.Expected(DetectParams::kAdded, DetectParams::kHid, kVendor, kSecond, "hidraw4");

    rig.Send("add@/devices/virtual/net/veth0");
    rig.Send("add@/devices/virtual/net/veth1");
    EXPECT_EQ(rig.mNotifier.Reports(), std::vector<DetectParams>({hid}));
    const int probesWhileReported = rig.mProbes;

    rig.Send("add@/devices/virtual/net/veth2");
    EXPECT_EQ(rig.mProbes, probesWhileReported);

    // Any removal clears the flag, also one that reports nothing itself.
    rig.Send("remove@/devices/virtual/net/veth0");
    rig.Send("add@/devices/virtual/net/veth3");
    EXPECT_EQ(rig.mNotifier.Reports(), std::vector<DetectParams>({hid, hid}));
}

TEST(DeviceDetectHandler, HidrawArrivalWithIdentifierSetsTheReportedFlag) {
    WatcherRig rig;
    rig.AddHidrawNode("hidraw4", kVendor, kSecond);
    rig.Send("add@/devices/usb1/1-3/1-3:1.1/0003:1A2B:0101.0005/hidraw/hidraw3");
    rig.Send("add@/devices/virtual/net/veth0");
    EXPECT_EQ(rig.mNotifier.Reports(), std::vector<DetectParams>({rig.Expected(DetectParams::kAdded, DetectParams::kHid,
                                                                               kVendor, kFirst, "hidraw3")}));
    EXPECT_EQ(rig.mProbes, 0);
}

// Without a /dev folder nothing is reported and the flag stays clear, so a later arrival
// scans again.
TEST(DeviceDetectHandler, MissingDevFolderLeavesTheFlagClear) {
    testsupport::TempDir sys;
    int probes = 0;
    DeviceDetect::Options options;
    options.ids = {kVendor, kFirst, kSecond};
    options.sysRoot = sys.Path();
    options.devRoot = sys.File("missing");
    options.probeHidraw = [&](const std::string&, HidrawIds*) {
        ++probes;
        return false;
    };
    DeviceDetect detect(options);
    RecordingNotifier notifier;
    detect.Initialize(&notifier);
    const std::string event = "add@/devices/virtual/net/veth0";
    detect.HandleUevent(event.c_str(), event.size() + 1);
    EXPECT_TRUE(notifier.Reports().empty());

    mkdir(options.devRoot.c_str(), 0755);
    testsupport::WriteFile(options.devRoot + "/hidraw0", "");
    detect.HandleUevent(event.c_str(), event.size() + 1);
    EXPECT_EQ(probes, 1);
}

// A message is read only within its length, also when no NUL ends it.
TEST(DeviceDetectHandler, ReadsOnlyWithinTheMessageLength) {
    WatcherRig rig;
    const std::string text = "remove@/devices/usb1/video4linux/video0";
    std::unique_ptr<char[]> exact(new char[text.size()]);
    std::copy(text.begin(), text.end(), exact.get());
    rig.mDetect->HandleUevent(exact.get(), text.size());
    // Cut inside the name: the report carries only what lies within the length.
    rig.mDetect->HandleUevent(exact.get(), text.size() - 1);
    EXPECT_EQ(rig.mNotifier.Reports(),
              std::vector<DetectParams>({rig.Expected(DetectParams::kRemoved, DetectParams::kVideo, 0, 0, "video0"),
                                         rig.Expected(DetectParams::kRemoved, DetectParams::kVideo, 0, 0, "video")}));
}

}  // namespace
