#include "LogCapture.h"

#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "log.h"

namespace testsupport {

LogCapture::LogCapture() {
    LogCustom::Release();
    EXPECT_EQ(LogCustom::Initance(m_dir.Path(), "link", "link", false), 0);
}

LogCapture::~LogCapture() { LogCustom::Release(); }

std::string LogCapture::Text() const {
    std::string all;
    if (DIR* dir = opendir(m_dir.Path().c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string path = m_dir.File(entry->d_name);
            struct stat st {};
            if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) all += ReadFile(path);
        }
        closedir(dir);
    }
    return m_skip < all.size() ? all.substr(m_skip) : std::string();
}

}  // namespace testsupport
