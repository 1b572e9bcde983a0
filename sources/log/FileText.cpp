#include "FileText.h"

#include <cstdio>

#include "UniqueFile.h"

FileTextResult ReadFileText(const std::string& path, std::string& text, size_t maxBytes) {
    const UniqueFile file(std::fopen(path.c_str(), "rbe"));
    if (!file) return FileTextResult::kOpenFailed;
    text.clear();
    char chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file.get())) > 0) {
        if (got > maxBytes - text.size()) return FileTextResult::kTooLarge;
        text.append(chunk, got);
    }
    return std::ferror(file.get()) ? FileTextResult::kReadFailed : FileTextResult::kRead;
}

bool WriteFileText(const std::string& path, const std::string& text) {
    UniqueFile file(std::fopen(path.c_str(), "wbe"));
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    // The close flushes: its failure is a failed write too.
    return std::fclose(file.release()) == 0 && written;
}
