#pragma once
#include <cstdio>
#include <memory>

// A stdio stream that is closed when its owner goes, on every path.
struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;
