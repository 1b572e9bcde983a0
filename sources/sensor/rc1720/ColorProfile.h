#pragma once
#include "QlTypes.h"

namespace rc1720 {

// Fills the colour resolutions that the product profile at `path` allows for this module;
// the list stays as it was when the file, its JSON or the module's entry is missing.
void ReadResolutionList(const char* path, ResolutionList& list);

}  // namespace rc1720
