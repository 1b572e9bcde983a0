#pragma once
#include <cstdint>

#include "Frame.h"

namespace rc1720 {

// Decodes one JPEG into 24-bit pixels of an expected size, a decompressor per image.
// 0 when pixels were written; -1 for a missing buffer, an unreadable header, another size
// or a fatal decompression error (a warning, such as truncated data, still delivers).
// dstCapacity bounds the write.
int Mjpeg2Rgb_new(const uint8_t* jpeg, int width, int height, uint32_t jpegSize, uint8_t* dst, uint32_t dstCapacity,
                  PixelFormat format, const char* tag);

}  // namespace rc1720
