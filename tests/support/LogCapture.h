#pragma once
#include <string>

#include "TempDir.h"

namespace testsupport {

// Opens the library's log in a fresh folder for one test and reads back what it wrote.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Everything written so far, all files of the folder together.
    std::string Text() const;
    bool Contains(const std::string& text) const { return Text().find(text) != std::string::npos; }
    // Forgets what was written so far.
    void Mark() { m_skip = Text().size(); }

private:
    TempDir m_dir;
    size_t m_skip = 0;
};

}  // namespace testsupport
