#include "ImageCheck.h"

namespace kpimg {

int BytesPerPixel(ALG_ElemType type) {
    switch (type) {
        case ALG_ELEM_8U: return 1;
        case ALG_ELEM_8UC3: return 3;
        case ALG_ELEM_16U: return 2;
    }
    return 0;
}

bool IsUsable(const PreProcImage* image) {
    return image != nullptr && image->data != nullptr && BytesPerPixel(image->elemType) != 0 && image->width > 0 &&
           image->height > 0 && image->width <= kMaxImageSide && image->height <= kMaxImageSide;
}

bool IsUsable(const PreProcImage* image, ALG_ElemType required) {
    return IsUsable(image) && image->elemType == required;
}

size_t ByteCount(const PreProcImage& image) {
    return static_cast<size_t>(image.width) * static_cast<size_t>(image.height) *
           static_cast<size_t>(BytesPerPixel(image.elemType));
}

}  // namespace kpimg
