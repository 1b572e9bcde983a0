#include "CheckTransferFile.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

// The file kinds of FileTransferParams::type that have a fixed length here.
constexpr int kIntrinsicType = 4;
constexpr int kPlanenessType = 5;
constexpr int kRangeOffsetType = 6;
constexpr int kIrBackgroundType = 7;
constexpr int kConfidenceFactorType = 8;
constexpr long long kFullImageFileLength = 614400;  // one value of 16 bits per 640x480 pixel

long long ExpectedLength(const FileTransferParams& params, const std::function<int(int)>& maxDepthOf) {
    switch (params.type) {
        case kRangeOffsetType:
            return 2LL * (maxDepthOf(params.number) + 1);  // one 16-bit value per depth from 0 to the maximum
        case kIntrinsicType:
        case kPlanenessType:
        case kIrBackgroundType:
        case kConfidenceFactorType: return kFullImageFileLength;
        default: return 0;  // no file of another kind can match
    }
}

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// The sum is read in blocks, so a file of any size needs no buffer of its size.
bool SumBytes(FILE* file, uint8_t& sum) {
    unsigned char block[64 * 1024];
    unsigned total = 0;
    size_t got;
    while ((got = fread(block, 1, sizeof block, file)) > 0) {
        for (size_t i = 0; i < got; ++i) {
            total += block[i];
        }
    }
    sum = static_cast<uint8_t>(total);
    return ferror(file) == 0;
}

}  // namespace

bool CheckTransferFile(FileTransferParams& params, const std::function<int(int)>& maxDepthOf, const CameraTag& tag) {
    // The name comes from the caller's record: never read past its field.
    const std::string name(params.fileName, strnlen(params.fileName, sizeof params.fileName));
    if (name.size() == sizeof params.fileName) {
        CAMERA_LOG(tag, "fileName is not terminated within %zu bytes.", sizeof params.fileName);
        return false;
    }
    File file(fopen(name.c_str(), "rb+e"));
    if (!file) {
        CAMERA_LOG(tag, "open name:%s is failed.", name.c_str());
        return false;
    }
    if (fseeko(file.get(), 0, SEEK_END) != 0) {
        CAMERA_LOG(tag, "open name:%s is failed.", name.c_str());
        return false;
    }
    const long long length = ftello(file.get());
    params.fileLength = static_cast<uint32_t>(length);
    const long long expected = ExpectedLength(params, maxDepthOf);
    if (length != expected) {
        CAMERA_LOG(tag, "The length of file is %lld != %lld invalid.", length, expected);
        return false;
    }
    rewind(file.get());
    uint8_t sum = 0;
    if (!SumBytes(file.get(), sum)) {
        CAMERA_LOG(tag, "read name:%s is failed.", name.c_str());
        return false;
    }
    params.checkSum = sum;
    return true;
}
