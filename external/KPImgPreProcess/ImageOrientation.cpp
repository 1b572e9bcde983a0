#include "ImageOrientation.h"

#include <algorithm>
#include <cstring>

#include "ImageCheck.h"
#include "ScratchBuffer.h"

namespace kpimg {

namespace {

// Reverses the order of `count` pixels of `bytes` bytes each.
void ReversePixels(uint8_t* pixels, size_t count, size_t bytes) {
    for (size_t i = 0, j = count - 1; i < j; ++i, --j) {
        std::swap_ranges(pixels + i * bytes, pixels + (i + 1) * bytes, pixels + j * bytes);
    }
}

void MirrorRows(PreProcImage& image, size_t bytes) {
    const size_t rowBytes = image.width * bytes;
    for (int y = 0; y < image.height; ++y) ReversePixels(image.data + y * rowBytes, image.width, bytes);
}

void MirrorColumns(PreProcImage& image, size_t bytes) {
    const size_t rowBytes = image.width * bytes;
    for (int top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(image.data + top * rowBytes, image.data + (top + 1) * rowBytes,
                         image.data + bottom * rowBytes);
    }
}

// A quarter turn; `clockwise` picks the direction.
void QuarterTurn(PreProcImage& image, size_t bytes, bool clockwise) {
    const int width = image.width;
    const int height = image.height;
    const size_t total = ByteCount(image);
    uint8_t* source = ScratchBuffer::ForThisThread(total);
    std::memcpy(source, image.data, total);
    // The turned image is `height` wide and `width` high.
    for (int y = 0; y < width; ++y) {
        for (int x = 0; x < height; ++x) {
            const int sx = clockwise ? y : width - 1 - y;
            const int sy = clockwise ? height - 1 - x : x;
            std::memcpy(image.data + (static_cast<size_t>(y) * height + x) * bytes,
                        source + (static_cast<size_t>(sy) * width + sx) * bytes, bytes);
        }
    }
    image.width = height;
    image.height = width;
}

}  // namespace

int Flip(PreProcImage& image, int flipCode) {
    const size_t bytes = BytesPerPixel(image.elemType);
    switch (flipCode) {
        case kMirrorLeftRight: MirrorRows(image, bytes); return kDone;
        case kMirrorTopBottom: MirrorColumns(image, bytes); return kDone;
        case kMirrorBoth:
            ReversePixels(image.data, static_cast<size_t>(image.width) * image.height, bytes);
            return kDone;
    }
    return kRefused;
}

int Rotate(PreProcImage& image, int rotationMode) {
    const size_t bytes = BytesPerPixel(image.elemType);
    switch (rotationMode) {
        case kTurnClockwise: QuarterTurn(image, bytes, true); return kDone;
        case kTurnHalf: return Flip(image, kMirrorBoth);  // half a turn is both mirrors
        case kTurnCounterClockwise: QuarterTurn(image, bytes, false); return kDone;
    }
    return kRefused;
}

}  // namespace kpimg
