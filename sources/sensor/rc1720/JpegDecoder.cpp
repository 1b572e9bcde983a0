#include "JpegDecoder.h"

#include <turbojpeg.h>

#include "StatusCodes.h"
#include "log.h"

namespace rc1720 {

namespace {

// Destroys the decompressor on every path.
class Decompressor {
public:
    Decompressor() : m_handle(tjInitDecompress()) {}
    ~Decompressor() {
        if (m_handle != nullptr && tjDestroy(m_handle) != 0) LOG_PRINTF("destroy %s", tjGetErrorStr2(m_handle));
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    tjhandle get() const { return m_handle; }

private:
    tjhandle m_handle;
};

}  // namespace

int Mjpeg2Rgb_new(const uint8_t* jpeg, int width, int height, uint32_t jpegSize, uint8_t* dst, uint32_t dstCapacity,
                  PixelFormat format, const char* tag) {
    if (jpeg == nullptr || dst == nullptr || width <= 0 || height <= 0) return status::kFailed;
    if (static_cast<uint64_t>(width) * height * 3 > dstCapacity) {
        LOG_DEVICE(tag, "width:%d height:%d does not fit %u bytes.", width, height, dstCapacity);
        return status::kFailed;
    }
    Decompressor decompressor;
    if (decompressor.get() == nullptr) {
        LOG_DEVICE(tag, "initializing decompressor:%s ", tjGetErrorStr2(nullptr));
        return status::kFailed;
    }
    int headerWidth = 0;
    int headerHeight = 0;
    int subsampling = 0;
    int colourspace = 0;
    if (tjDecompressHeader3(decompressor.get(), jpeg, jpegSize, &headerWidth, &headerHeight, &subsampling,
                            &colourspace) != 0) {
        LOG_DEVICE(tag, "reading JPEG header: %d: %s", tjGetErrorCode(decompressor.get()),
                   tjGetErrorStr2(decompressor.get()));
        return status::kFailed;
    }
    if (headerWidth != width || headerHeight != height) {
        LOG_DEVICE(tag, "width or height is not right width:%d height:%d, %d , %d", width, height, headerWidth,
                   headerHeight);
        return status::kFailed;
    }
    const int pixelFormat = format == PIXEL_FORMAT_RGB ? TJPF_RGB : TJPF_BGR;
    if (tjDecompress2(decompressor.get(), jpeg, jpegSize, dst, width, 0, height, pixelFormat, 0) != 0) {
        const int code = tjGetErrorCode(decompressor.get());
        LOG_DEVICE(tag, "decompressing JPEG image: %d: %s", code, tjGetErrorStr2(decompressor.get()));
        // A warning (truncated data, say) leaves a usable image; a fatal error does not.
        if (code == TJERR_FATAL) return status::kFailed;
    }
    return 0;
}

}  // namespace rc1720
