#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct RunResult {
    int exitCode = -1;
    std::string output;
};

RunResult RunSim(const std::string& args) {
    RunResult run;
    const std::string command = std::string(CAMERA_SIM_BINARY) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(CameraSimCli, HelpNamesEveryOption) {
    const RunResult run = RunSim("--help");
    EXPECT_EQ(run.exitCode, 0);
    for (const char* option : {"--ip", "--type", "--sn", "--alias", "--scene", "--record", "--depth-range", "--colour",
                               "--knob", "--control", "stall-heartbeat", "close "})
        EXPECT_NE(run.output.find(option), std::string::npos) << option;
    // The types with their kinds, and how far each depth range reaches before raw depth wraps.
    for (const char* line : {"0x11  ToF only", "0x12  ToF and colour", "0  up to 1249 mm", "5  up to 7495 mm"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line;
}

// A camera the kit would never list or whose colour would silently be missing is refused.
TEST(CameraSimCli, ProductTypeAndColourMustFit) {
    struct Case {
        const char* args;
        const char* says;
    };
    const Case cases[] = {
        {"--type 0x99", "no product profile for device type 0x99"},
        {"--type 0x10 --colour", "0x10 is a ToF-only camera"},
        {"--colour", "0x11 is a ToF-only camera"},
    };
    for (const Case& c : cases) {
        const RunResult run = RunSim(c.args);
        EXPECT_EQ(run.exitCode, 2) << c.args;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << c.args << ": " << run.output;
    }
}

// Each is refused before any socket is opened.
TEST(CameraSimCli, BadArgumentsAreRefusedWithUsage) {
    const char* cases[] = {
        "--ip 10.0.0.1",
        "--type 0x100",
        "--type ten",
        "--scene wall:",
        "--record jpeg",
        "--bogus",
        "--sn",
        "--depth-range 6",
        "--depth-range -1",
        "--knob 'silent 0x1B'",
        "--knob bogus",
        "--control /proc/version",
        "--control",
        "--knob",
    };
    for (const char* args : cases) {
        const RunResult run = RunSim(args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_NE(run.output.find("usage:"), std::string::npos) << args;
    }
}

}  // namespace
