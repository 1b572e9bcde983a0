#include "FileSum.h"

namespace {

constexpr size_t kBlock = 64 * 1024;  // few reads, and small enough for the stack

template <typename Byte>
FileSum::Result Sum(FILE* file) {
    FileSum::Result result;
    Byte block[kBlock];
    size_t got;
    while ((got = std::fread(block, 1, sizeof(block), file)) > 0) {
        for (size_t i = 0; i < got; ++i) result.sum += static_cast<uint32_t>(static_cast<int32_t>(block[i]));
        result.bytes += got;
    }
    result.ok = std::ferror(file) == 0;
    return result;
}

}  // namespace

FileSum::Result FileSum::Unsigned(FILE* file) { return Sum<uint8_t>(file); }

FileSum::Result FileSum::Signed(FILE* file) { return Sum<int8_t>(file); }

uint32_t FileSum::Unsigned(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    uint32_t sum = 0;
    for (size_t i = 0; i < size; ++i) sum += bytes[i];
    return sum;
}
