#include <new>

#include "ImgPreProcess.h"

extern "C" __attribute__((visibility("default"))) APIImgPreProcess* Get_APIImgPreProcess(const char*) {
    return new (std::nothrow) kpimg::ImgPreProcess();
}
