#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "TempDir.h"

namespace {

// Runs the probe that loads the kit, then the plug-in, in a fresh process.
int RunProbe(const std::string& logFolder) {
    const pid_t child = fork();
    if (child == 0) {
        execl(LOG_PROBE_PATH, LOG_PROBE_PATH, logFolder.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(PluginLog, PluginBesideTheKitWritesItsOwnLogFile) {
    testsupport::TempDir logs;
    ASSERT_EQ(0, RunProbe(logs.Path())) << "see the probe's message above";
    const std::string log = testsupport::ReadFile(logs.File("halden_tof.txt"));
    EXPECT_NE(std::string::npos, log.find("Version:1.1.11"));
    // Lines about a camera need its command interface; none was given.
    EXPECT_EQ(std::string::npos, log.find("pConfigFilePath:"));
    // The plug-in wrote nothing into any other file there.
    for (const auto& entry : std::filesystem::directory_iterator(logs.Path())) {
        EXPECT_EQ("halden_tof.txt", entry.path().filename().string());
    }
}

}  // namespace
