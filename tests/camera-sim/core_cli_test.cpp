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
    for (const char* option : {"--ip", "--type", "--sn", "--alias", "--scene", "--record", "--colour", "--knob",
                               "--control", "stall-heartbeat", "close "})
        EXPECT_NE(run.output.find(option), std::string::npos) << option;
}

// Each is refused before any socket is opened.
TEST(CameraSimCli, BadArgumentsAreRefusedWithUsage) {
    const char* cases[] = {
        "--ip 10.0.0.1", "--type 0x100", "--type ten", "--scene wall:", "--record jpeg", "--bogus", "--sn",
        "--knob 'silent 0x1B'", "--knob bogus", "--control /proc/version", "--control", "--knob",
    };
    for (const char* args : cases) {
        const RunResult run = RunSim(args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_NE(run.output.find("usage:"), std::string::npos) << args;
    }
}

}  // namespace
