#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace testsupport {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kit-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed for " << pattern;
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

ScopedWorkingDirectory::ScopedWorkingDirectory(const std::string& path) {
    char* current = get_current_dir_name();
    if (current != nullptr) {
        m_previous = current;
        free(current);
    }
    if (chdir(path.c_str()) != 0) {
        ADD_FAILURE() << "chdir failed for " << path;
    }
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
    if (!m_previous.empty() && chdir(m_previous.c_str()) != 0) {
        ADD_FAILURE() << "chdir back failed for " << m_previous;
    }
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out.good()) << "cannot write " << path;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "short write to " << path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace testsupport
