#pragma once
#include <cstdint>
#include <cstdio>

// Byte sums of a file's remaining content, read in blocks, so that no file is held whole.
class FileSum {
public:
    struct Result {
        bool ok = false;     // false on a read error
        uint32_t sum = 0;    // wraps modulo 2^32
        uint64_t bytes = 0;  // bytes summed
    };

    // Each byte taken as 0 to 255.
    static Result Unsigned(FILE* file);
    // Each byte taken as -128 to 127.
    static Result Signed(FILE* file);
    // The unsigned sum of a buffer.
    static uint32_t Unsigned(const void* data, size_t size);
};
