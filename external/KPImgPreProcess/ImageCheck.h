#pragma once
#include <cstddef>

#include "APIImgPreProcess.h"

namespace kpimg {

// Sides beyond this are refused: no sensor comes near it, and it keeps every byte count
// far inside size_t and int.
constexpr int kMaxImageSide = 16384;

// Bytes of one pixel of the element type; 0 for a type this library does not know.
int BytesPerPixel(ALG_ElemType type);

// A descriptor that can be read or written: data present, a known element type and a size
// within bounds.
bool IsUsable(const PreProcImage* image);
bool IsUsable(const PreProcImage* image, ALG_ElemType required);

size_t ByteCount(const PreProcImage& image);

}  // namespace kpimg
