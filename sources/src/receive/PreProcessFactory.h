#pragma once
#include <memory>

#include "APIImgPreProcess.h"

// A new preprocessing object from the outside library, with the kit's log folder; null
// when the library gives none.
std::unique_ptr<APIImgPreProcess> NewPreProcess();
