// camera-sim: plays one network ToF camera on a loopback address until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CameraSim.h"
#include "ControlChannel.h"
#include "ControlInput.h"
#include "ProductTypes.h"
#include "ToFRecords.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

const char kUsage[] =
    "usage: camera-sim [options]\n"
    "Plays a network ToF camera: commands on <ip>:9008, data frames on <ip>:9009,\n"
    "announcements to 127.0.0.1:9007. Runs until SIGINT or SIGTERM.\n"
    "\n"
    "  --ip ADDR          camera address, in 127.0.0.0/8 (default 127.0.0.2)\n"
    "  --type N           device type, decimal or 0x hex (default 0x11); see below\n"
    "  --sn TEXT          serial number (default SIM0001)\n"
    "  --alias TEXT       alias announced with the camera (default none)\n"
    "  --scene SCENE      wall:D, box:WALL,BOX or ramp:LEFT,RIGHT in mm (default wall:1500)\n"
    "  --record KIND      computed or raw ToF records (default computed)\n"
    "  --depth-range R    the camera's depth range, 0 to 5, until the host sets one (default 0)\n"
    "  --colour           colour records; ToF-and-colour types send them anyway, ToF-only\n"
    "                     types refuse the option\n"
    "  --knob LINE        a fault knob set from the start, as a control line below (repeatable)\n"
    "  --control SOURCE   read control lines while running: - for standard input, else a named\n"
    "                     pipe (made when missing), e.g. echo 'silent 0x1B on' > SOURCE\n"
    "  --help             show this text\n"
    "\n"
    "example: camera-sim --ip 127.0.0.2 --type 0x10 --sn SIM0001 --scene wall:1500 --record computed\n";

const char kScenesText[] =
    "\n"
    "Depth is the distance along the depth camera's axis (z), in mm. The colour camera sits\n"
    "25 mm to the depth camera's left; both see the same scene.\n"
    "\n"
    "Raw records carry the scene's true depth as a phase, which turns once over the depth\n"
    "range's distance: a surface farther than that wraps, as on a real camera, and decodes to\n"
    "its depth less that distance (wall:1500 in range 0 decodes to about 251 mm). Ranges:\n";

void PrintUsage(FILE* to) {
    std::fputs(kUsage, to);
    std::fprintf(to, "\nDevice types the kit has product profiles for:\n%s", camsim::ProductTypesHelp().c_str());
    std::fprintf(to, "%s%s", kScenesText, camsim::DepthRangesHelp().c_str());
    std::fprintf(to, "\n%s", camsim::kControlHelp);
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "camera-sim: %s\n%s(--help also lists the device types and depth ranges)\n", message.c_str(),
                 kUsage);
    return 2;
}

bool ParseType(const std::string& text, uint8_t& type) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || value > 0xFF) return false;
    type = static_cast<uint8_t>(value);
    return true;
}

bool IsLoopback(const std::string& ip) { return ip.rfind("127.", 0) == 0; }

}  // namespace

int main(int argc, char** argv) {
    camsim::CameraOptions options;
    bool colourAsked = false;
    std::vector<std::string> knobLines;
    std::string controlSource;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (arg == "--colour") {
            colourAsked = true;
            continue;
        }
        if (!hasValue) return Fail("missing value or unknown option: " + arg);
        const std::string value = argv[++i];
        if (arg == "--ip") {
            if (!IsLoopback(value)) return Fail("the camera address must be in 127.0.0.0/8: " + value);
            options.ip = value;
        } else if (arg == "--type") {
            if (!ParseType(value, options.deviceType)) return Fail("bad device type: " + value);
        } else if (arg == "--sn") {
            options.serialNumber = value;
        } else if (arg == "--alias") {
            options.alias = value;
        } else if (arg == "--scene") {
            const auto scene = camsim::Scene::Parse(value);
            if (!scene) return Fail("bad scene: " + value);
            options.scene = *scene;
        } else if (arg == "--record") {
            if (value == "computed")
                options.record = camsim::ToFRecordKind::Computed;
            else if (value == "raw")
                options.record = camsim::ToFRecordKind::Raw;
            else
                return Fail("bad record kind: " + value);
        } else if (arg == "--depth-range") {
            if (value.size() != 1 || value[0] < '0' || value[0] >= '0' + camsim::kRawDepthRanges)
                return Fail("bad depth range: " + value);
            options.depthRange = static_cast<int8_t>(value[0] - '0');
        } else if (arg == "--knob") {
            knobLines.push_back(value);
        } else if (arg == "--control") {
            controlSource = value;
        } else {
            return Fail("unknown option: " + arg);
        }
    }

    const std::string refusal = camsim::CheckProduct(options.deviceType, colourAsked);
    if (!refusal.empty()) return Fail(refusal);
    options.colour = camsim::KindOf(options.deviceType) == camsim::ProductKind::ToFAndColour;
    if (options.record == camsim::ToFRecordKind::Raw) {
        const std::string notice = camsim::RawWrapNotice(options.scene, static_cast<uint8_t>(options.depthRange));
        if (!notice.empty()) std::fprintf(stderr, "camera-sim: note: %s\n", notice.c_str());
    }

    std::mutex printMutex;
    options.events = [&printMutex](const std::string& line) {
        std::lock_guard<std::mutex> lock(printMutex);
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    };

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    camsim::CameraSim camera(options);
    const auto knobs = camsim::KnobsOf(camera);
    for (const std::string& line : knobLines) {
        const camsim::ControlOutcome outcome = camsim::ApplyControlLine(line, *knobs);
        if (!outcome.ok) return Fail("--knob: " + outcome.message);
    }
    std::unique_ptr<camsim::ControlInput> control;
    if (!controlSource.empty()) {
        std::string error;
        control = camsim::ControlInput::Open(controlSource, error);
        if (!control) return Fail("--control: " + error);
    }
    if (!camera.Start()) {
        std::fprintf(stderr, "camera-sim: cannot open %s:9008/9009 or announce\n", options.ip.c_str());
        return 1;
    }
    options.events("camera " + options.serialNumber + " on " + options.ip + " ready");
    const auto apply = [&](const std::string& line) {
        const camsim::ControlOutcome outcome = camsim::ApplyControlLine(line, *knobs);
        if (outcome.message.empty()) return;
        options.events((outcome.ok ? "control: " : "control refused: ") + outcome.message);
    };
    const auto refuse = [&](const std::string& why) { options.events("control refused: " + why); };
    while (!g_stop) {
        if (control)
            control->Poll(std::chrono::milliseconds(100), apply, refuse);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    camera.Stop();
    options.events("camera stopped");
    return 0;
}
