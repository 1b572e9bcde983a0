#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "FileTransferParams.h"
#include "PluginFixture.h"

namespace toftest {
namespace {

constexpr int kFileCheckFailed = -255;

// A file whose bytes do not sum to 0 modulo 256, so that the checksum shows.
std::string Pattern(size_t length) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return bytes;
}

uint8_t SumOf(const std::string& bytes) {
    unsigned sum = 0;
    for (char c : bytes) sum += static_cast<uint8_t>(c);
    return static_cast<uint8_t>(sum);
}

FileTransferParams Request(int type, uint8_t number, const std::string& path) {
    FileTransferParams params{};
    params.type = type;
    params.number = number;
    params.direction = 0;
    std::strncpy(params.fileName, path.c_str(), sizeof params.fileName - 1);
    return params;
}

uint32_t Le32At(const Bytes& bytes, size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t(bytes[at + 3]) << 24);
}

enum class Ranges { None, Camera, BuiltIn };

struct FileCase {
    const char* name;
    int type;
    uint8_t number;
    long fileBytes;  // -1: no file
    Ranges ranges;
    int expected;
};

class TransferFileCheckTest : public PluginFixture, public ::testing::WithParamInterface<FileCase> {
protected:
    void LoadRanges(Ranges ranges) {
        if (ranges == Ranges::None) return;
        if (ranges == Ranges::BuiltIn) m_camera.failingGets = {0x13};
        ASSERT_EQ(0, m_tof->SetStream(true));
        m_camera.failingGets.clear();
        m_camera.control.ClearSent();
    }
    // The start command, when one was sent.
    const Bytes* StartCommand(std::vector<testsupport::FakeCommonControl::Sent>& sent) const {
        for (const auto& s : sent) {
            if (s.cmd == 0x1d && s.cmdType == CMDTYPE_SET) return &s.payload;
        }
        return nullptr;
    }
};

TEST_P(TransferFileCheckTest, OffersOnlyFilesOfTheLengthTheirTypeNeeds) {
    const FileCase& c = GetParam();
    LoadRanges(c.ranges);
    const std::string path = m_dir.File("calibration.bin");
    std::string content;
    if (c.fileBytes >= 0) {
        content = Pattern(static_cast<size_t>(c.fileBytes));
        testsupport::WriteFile(path, content);
    }
    FileTransferParams params = Request(c.type, c.number, path);
    EXPECT_EQ(c.expected, m_tof->SetProperty("Py_TransferFile", &params, sizeof params));
    // The worker ends at its first poll: the simulator does not answer calibration polls.
    m_tof->SetOpenState(false);

    auto sent = m_camera.control.SentCommands();
    const Bytes* start = StartCommand(sent);
    if (c.expected == kFileCheckFailed) {
        EXPECT_EQ(nullptr, start) << "nothing is offered after a failed check";
        return;
    }
    if (c.expected != 0) return;
    ASSERT_NE(nullptr, start);
    const size_t at = (c.type == 5 || c.type == 6) ? 19 : 18;
    ASSERT_GT(start->size(), at + 5);
    EXPECT_EQ(static_cast<uint32_t>(c.fileBytes), Le32At(*start, at)) << "fileLength";
    EXPECT_EQ(SumOf(content), (*start)[at + 4]) << "checkSum";
}

INSTANTIATE_TEST_SUITE_P(
    Files, TransferFileCheckTest,
    ::testing::Values(FileCase{"Intrinsic", 4, 0, 614400, Ranges::None, 0},
                      FileCase{"IntrinsicOneShort", 4, 0, 614399, Ranges::None, kFileCheckFailed},
                      FileCase{"Planeness", 5, 2, 614400, Ranges::None, 0},
                      FileCase{"IrBackgroundOneLong", 7, 0, 614401, Ranges::None, kFileCheckFailed},
                      FileCase{"ConfidenceFactor", 8, 0, 614400, Ranges::None, 0},
                      // 2 x (7495 + 1) for range 5, whether the camera or the built-in table gave it.
                      FileCase{"RangeOffsetFromTheCamera", 6, 5, 14992, Ranges::Camera, 0},
                      FileCase{"RangeOffsetBuiltIn", 6, 5, 14992, Ranges::BuiltIn, 0},
                      FileCase{"RangeOffsetWrongLength", 6, 5, 14990, Ranges::Camera, kFileCheckFailed},
                      FileCase{"RangeOffsetOfRange0", 6, 0, 2500, Ranges::Camera, 0},
                      // Another type expects an empty file; the transfer itself then refuses the type.
                      FileCase{"UnknownTypeEmpty", 9, 0, 0, Ranges::None, -15},
                      FileCase{"UnknownTypeWithBytes", 9, 0, 10, Ranges::None, kFileCheckFailed},
                      FileCase{"Missing", 4, 0, -1, Ranges::None, kFileCheckFailed}),
    [](const ::testing::TestParamInfo<FileCase>& info) { return std::string(info.param.name); });

class TransferFileRefusalTest : public PluginFixture {};

TEST_F(TransferFileRefusalTest, WrongLengthIsLogged) {
    const std::string path = m_dir.File("intrinsic.bin");
    testsupport::WriteFile(path, std::string(100, 'x'));
    FileTransferParams params = Request(4, 0, path);
    EXPECT_EQ(kFileCheckFailed, m_tof->SetProperty("Py_TransferFile", &params, sizeof params));
    EXPECT_NE(std::string::npos, Plugin::Get().LogText().find("The length of file is 100 != 614400 invalid."));
}

TEST_F(TransferFileRefusalTest, DirectoryIsNotAFile) {
    FileTransferParams params = Request(4, 0, m_dir.Path());
    EXPECT_EQ(kFileCheckFailed, m_tof->SetProperty("Py_TransferFile", &params, sizeof params));
    EXPECT_NE(std::string::npos, Plugin::Get().LogText().find("open name:" + m_dir.Path() + " is failed."));
}

TEST_F(TransferFileRefusalTest, NameFillingTheWholeFieldIsRefused) {
    FileTransferParams params{};
    params.type = 4;
    std::memset(params.fileName, 'a', sizeof params.fileName);
    EXPECT_EQ(kFileCheckFailed, m_tof->SetProperty("Py_TransferFile", &params, sizeof params));
    EXPECT_TRUE(m_camera.control.SentCommands().empty());
}

// Tests run as root, so a read-only file is one on a read-only bind mount, made in a child
// with its own mount namespace. The child reports with its exit code.
constexpr int kChildPassed = 0;
constexpr int kChildWrongResult = 1;
constexpr int kChildSentSomething = 2;
constexpr int kChildNoNamespace = 77;

int CheckReadOnlyFileInChild(const std::string& folder, const std::string& path) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        return kChildNoNamespace;
    }
    SimCamera camera;
    testsupport::FakeConsumer consumer;
    std::unique_ptr<ToF_API> tof = Plugin::Get().Create();
    if (!tof || tof->Init(&camera.control, &consumer, nullptr) != 0) return kChildWrongResult;
    camera.control.ClearSent();
    FileTransferParams params = Request(7, 0, path);
    const int ret = tof->SetProperty("Py_TransferFile", &params, sizeof params);
    if (ret != kFileCheckFailed) return kChildWrongResult;
    return camera.control.SentCommands().empty() ? kChildPassed : kChildSentSomething;
}

TEST_F(TransferFileRefusalTest, ReadOnlyFileFailsTheCheck) {
    const std::string folder = m_dir.File("readonly");
    ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
    const std::string path = folder + "/ir_background.bin";
    testsupport::WriteFile(path, Pattern(614400));

    const pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        _exit(CheckReadOnlyFileInChild(folder, path));
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kChildNoNamespace) {
        GTEST_SKIP() << "no mount namespace with a read-only bind mount here (unshare -m needs root)";
    }
    EXPECT_EQ(kChildPassed, WEXITSTATUS(status)) << "1: the check passed, 2: the file was offered";
    EXPECT_NE(std::string::npos, Plugin::Get().LogText().find("open name:" + path + " is failed."));
}

}  // namespace
}  // namespace toftest
