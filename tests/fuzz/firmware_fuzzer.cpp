// A firmware image checked against the camera's firmware text before an upgrade.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "FirmwareImage.h"
#include "FuzzCheck.h"
#include "ImgHead.h"

namespace {

using fuzzcheck::Check;

std::string g_path;

constexpr int kDeviceTypes[] = {0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x1A, 0};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_path = fuzzcheck::MakeRunFolder("firmware") + "/image.img";
    return 0;
}

// Input: a device-type selector, the camera's firmware text (length byte, bytes; it fills a
// buffer of exactly kFirmwareTextMax bytes, unterminated when it is that long), then the image.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::Reader in(data, size);
    const int deviceType = kDeviceTypes[in.Byte() % 8];
    const std::vector<uint8_t> text = in.Bytes(in.Byte() % (FirmwareImage::kFirmwareTextMax + 1));
    std::vector<char> camera(FirmwareImage::kFirmwareTextMax, '\0');
    std::copy(text.begin(), text.end(), camera.begin());
    const std::vector<uint8_t> image = in.Rest();
    fuzzcheck::WriteBytes(g_path, image.data(), image.size());

    const FirmwareImage::Result result = FirmwareImage::Check(camera.data(), g_path.c_str(), deviceType, "fuzz");
    Check(result.status == 0 || result.status == -16 || result.status == -17, "status outside 0, -16, -17");
    if (result.status != 0) return 0;
    // An accepted image is whole: its header names its length and its payload's sum.
    Check(image.size() >= sizeof(IMG_HEAD), "an image shorter than its header was accepted");
    IMG_HEAD head;
    std::memcpy(&head, image.data(), sizeof(head));
    Check(head.file_length == image.size() && result.fileLen == image.size(),
          "an image of the wrong length was accepted");
    uint32_t payloadSum = 0, wholeSum = 0;
    for (size_t i = 0; i < image.size(); ++i) {
        wholeSum += image[i];
        if (i >= sizeof(IMG_HEAD)) payloadSum += image[i];
    }
    Check(head.data_checksum == payloadSum, "an image with a wrong payload sum was accepted");
    Check(result.checksum == wholeSum, "the image's sum is not the sum of the file");
    Check(head.flash_type == 0, "an image of another flash type was accepted");
    return 0;
}
