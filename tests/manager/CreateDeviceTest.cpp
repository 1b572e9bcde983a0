// The plug-in loader with tiny plug-ins that note what they did in a shared ledger.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "CreateDevice.h"
#include "EnumSocketDevice.h"
#include "KitLogPath.h"
#include "LogCapture.h"
#include "PluginLedger.h"
#include "PluginLoader.h"
#include "TempDir.h"
#include "TofAndColorDevice.h"
#include "tofDevice.h"

namespace {

enum class Outcome { Null, ToFDevice, ToFAndColour };

// A built test plug-in by its ledger name; "junk" is a file that is no library.
const std::map<std::string, std::string> kPlugins = {
    {"tof_a", TOF_A_PATH}, {"tof_b", TOF_B_PATH}, {"color", COLOR_PATH}, {"junk", ""}};

struct LoaderCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> drivers;  // file name in Drivers/, plug-in
    std::string tof;                                           // "toFSensor" entries, as JSON
    std::string color;                                         // "colorSensor" entries, as JSON
    std::string link;
    // Ledger events up to the last construction, in order; then the objects that are
    // destroyed before CreateDevice returns, in any order.
    std::vector<std::string> sequence;
    std::vector<std::string> destroyedAtEnd;
    Outcome outcome;
    std::string logged;  // "" for nothing in particular
    std::string folder = "kit";
};

const LoaderCase kCases[] = {
    {"ToFOnly",
     {{"libfaketof.so", "tof_a"}, {"libfakecolor.so", "color"}},
     R"([{"type":"faketof"}])",
     "[]",
     "socket",
     {"+tof_a"},
     {},
     Outcome::ToFDevice,
     ""},
    {"ColourNameMatchingNoFileGivesAToFDevice",
     {{"libfaketof.so", "tof_a"}},
     R"([{"type":"faketof"}])",
     R"([{"type":"nosuchcolour"}])",
     "socket",
     {"+tof_a"},
     {},
     Outcome::ToFDevice,
     ""},
    // The colour file sorts after the ToF file and is still loaded first.
    {"ColourIsLoadedBeforeToFAndBothMakeAToFAndColourDevice",
     {{"libaaa_faketof.so", "tof_a"}, {"libzzz_fakecolor.so", "color"}},
     R"([{"type":"faketof"}])",
     R"([{"type":"fakecolor"}])",
     "socket",
     {"+color", "+tof_a"},
     {},
     Outcome::ToFAndColour,
     ""},
    {"LastMatchIsKeptAndTheFirstDestroyed",
     {{"libfaketof_1.so", "tof_a"}, {"libfaketof_2.so", "tof_b"}},
     R"([{"type":"faketof"}])",
     "[]",
     "socket",
     {"+tof_a", "+tof_b", "-tof_a"},
     {},
     Outcome::ToFDevice,
     ""},
    {"OnlyTheFirstModuleNameCounts",
     {{"libfaketof.so", "tof_a"}, {"libother.so", "tof_b"}},
     R"([{"type":"faketof"},{"type":"other"}])",
     "[]",
     "socket",
     {"+tof_a"},
     {},
     Outcome::ToFDevice,
     ""},
    {"LastMatchFailingLeavesNone",
     {{"libfaketof_1.so", "tof_a"}, {"libfaketof_2.so", "junk"}},
     R"([{"type":"faketof"}])",
     "[]",
     "socket",
     {"+tof_a", "-tof_a"},
     {},
     Outcome::Null,
     "Open Error:"},
    {"NoToFMatchFreesTheColour",
     {{"libfakecolor.so", "color"}},
     R"([{"type":"faketof"}])",
     R"([{"type":"fakecolor"}])",
     "socket",
     {"+color"},
     {"-color"},
     Outcome::Null,
     ""},
    {"NoToFModuleFreesTheColour",
     {{"libfakecolor.so", "color"}, {"libfaketof.so", "tof_a"}},
     "[]",
     R"([{"type":"fakecolor"}])",
     "socket",
     {"+color"},
     {"-color"},
     Outcome::Null,
     ""},
    {"EmptyToFNameLoadsNothing",
     {{"libfaketof.so", "tof_a"}},
     R"([{"type":""}])",
     "[]",
     "socket",
     {},
     {},
     Outcome::Null,
     ""},
    {"UsbLinkBuildsNothingAfterLoading",
     {{"libfaketof.so", "tof_a"}},
     R"([{"type":"faketof"}])",
     "[]",
     "usb",
     {"+tof_a"},
     {"-tof_a"},
     Outcome::Null,
     ""},
    {"UnknownLinkBuildsNothing",
     {{"libfaketof.so", "tof_a"}},
     R"([{"type":"faketof"}])",
     "[]",
     "pcie",
     {"+tof_a"},
     {"-tof_a"},
     Outcome::Null,
     ""},
    {"MissingFactoryIsLogged",
     {{"libfaketof.so", "color"}},
     R"([{"type":"faketof"}])",
     "[]",
     "socket",
     {},
     {},
     Outcome::Null,
     "Dlsym Error:"},
    {"FileThatIsNoLibraryIsLogged",
     {{"libfaketof.so", "junk"}},
     R"([{"type":"faketof"}])",
     "[]",
     "socket",
     {},
     {},
     Outcome::Null,
     "Open Error:"},
    // The folder's name holds the colour module's name: only file names count, so the ToF
    // file is not taken for a colour plug-in.
    {"FolderNamedLikeAModuleMatchesNothing",
     {{"libfakecolor.so", "color"}, {"libfaketof.so", "tof_a"}},
     R"([{"type":"faketof"}])",
     R"([{"type":"fakecolor"}])",
     "socket",
     {"+color", "+tof_a"},
     {},
     Outcome::ToFAndColour,
     "",
     "fakecolor_kit"},
};

class Loader : public ::testing::TestWithParam<LoaderCase> {
protected:
    void SetUp() override {
        PluginLedgerClear();
        const LoaderCase& c = GetParam();
        const std::string module = dir.File(c.folder);
        mkdir(module.c_str(), 0755);
        mkdir((module + "/Drivers").c_str(), 0755);
        for (const auto& [file, plugin] : c.drivers) {
            const std::string& built = kPlugins.at(plugin);
            testsupport::WriteFile(module + "/Drivers/" + file,
                                   built.empty() ? "not a library" : testsupport::ReadFile(built));
        }
        getFiles(module + "/Drivers/", EnumSocketDevice::m_driverlist, ".so");
        const std::string profile = dir.File("Test_11.json");
        testsupport::WriteFile(profile, R"({"productName":"Test","connectType":")" + c.link + R"(","toFSensor":)" +
                                            c.tof + R"(,"colorSensor":)" + c.color + "}");
        ASSERT_TRUE(info.config.Init(profile));
        std::strncpy(info.serialNumber, "SN1", sizeof(info.serialNumber) - 1);
        std::strncpy(info.ip, "127.0.0.2", sizeof(info.ip) - 1);
        std::strncpy(info.hostIP, "127.0.0.1", sizeof(info.hostIP) - 1);
    }

    // The construction and destruction events, without the factories' lines.
    static std::vector<std::string> Lifetimes() {
        std::vector<std::string> events;
        for (const std::string& e : PluginLedgerEvents()) {
            if (e[0] == '+' || e[0] == '-') events.push_back(e);
        }
        return events;
    }

    testsupport::LogCapture log;
    testsupport::TempDir dir;
    DeviceInfo info;
};

TEST_P(Loader, LoadsTheProfilesPluginsAndBuildsTheDevice) {
    const LoaderCase& c = GetParam();
    std::unique_ptr<BaseDevice> device = CreateDevice(info);

    std::vector<std::string> events = Lifetimes();
    ASSERT_EQ(events.size(), c.sequence.size() + c.destroyedAtEnd.size()) << ::testing::PrintToString(events);
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + c.sequence.size()), c.sequence);
    std::vector<std::string> atEnd(events.begin() + c.sequence.size(), events.end());
    std::vector<std::string> expectedAtEnd = c.destroyedAtEnd;
    std::sort(atEnd.begin(), atEnd.end());
    std::sort(expectedAtEnd.begin(), expectedAtEnd.end());
    EXPECT_EQ(atEnd, expectedAtEnd);

    switch (c.outcome) {
        case Outcome::Null: EXPECT_EQ(device, nullptr); break;
        case Outcome::ToFDevice: EXPECT_NE(dynamic_cast<tofDevice*>(device.get()), nullptr); break;
        case Outcome::ToFAndColour: EXPECT_NE(dynamic_cast<TofAndColorDevice*>(device.get()), nullptr); break;
    }
    if (!c.logged.empty()) {
        EXPECT_TRUE(log.Contains(c.logged)) << log.Text();
    } else {
        EXPECT_FALSE(log.Contains("Open Error:") || log.Contains("Dlsym Error:")) << log.Text();
    }

    // The device owns the plug-in objects that were kept: they go with it.
    if (device) {
        std::vector<std::string> alive;
        for (const std::string& e : events) {
            if (e[0] == '+') alive.push_back("-" + e.substr(1));
            if (e[0] == '-') alive.erase(std::find(alive.begin(), alive.end(), e));
        }
        device.reset();
        events = Lifetimes();
        std::vector<std::string> destroyed(events.end() - alive.size(), events.end());
        std::sort(alive.begin(), alive.end());
        std::sort(destroyed.begin(), destroyed.end());
        EXPECT_EQ(destroyed, alive);
        EXPECT_EQ(events.size(), c.sequence.size() + alive.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Loader, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LoaderCase>& info) { return info.param.name; });

TEST(LoaderLogPath, FactoriesGetTheKitsLogFolder) {
    testsupport::LogCapture log;
    testsupport::TempDir dir;
    PluginLedgerClear();
    g_logPath = dir.Path();
    std::unique_ptr<ToF_API> tof = loadToF(TOF_A_PATH);
    g_logPath.clear();
    ASSERT_NE(tof, nullptr);
    EXPECT_EQ(PluginLedgerEvents().front(), "log tof_a " + dir.Path());
}

}  // namespace
