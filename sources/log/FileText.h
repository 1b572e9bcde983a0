#pragma once
#include <cstddef>
#include <limits>
#include <string>

// Reading and writing a whole small text file (profiles, settings, INI files) through a
// stream opened close-on-exec, so that a child the application starts never inherits it.
enum class FileTextResult { kRead, kOpenFailed, kTooLarge, kReadFailed };

// The file's whole text, at most `maxBytes` of it; after a failed read, what was read before
// it. errno tells why an open or a read failed.
FileTextResult ReadFileText(const std::string& path, std::string& text,
                            size_t maxBytes = std::numeric_limits<size_t>::max());
// Replaces the file's content with `text`; false on any failure.
bool WriteFileText(const std::string& path, const std::string& text);
