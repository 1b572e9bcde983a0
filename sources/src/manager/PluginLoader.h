#pragma once
#include <memory>
#include <string>

#include "Color_API.h"
#include "ToF_API.h"

// Loads one plug-in file and calls its factory with the kit's log folder; null when the file
// does not load, has no factory or the factory gives nothing. A loaded library stays loaded
// for the life of the process.
std::unique_ptr<ToF_API> loadToF(const std::string& path);
std::unique_ptr<Color_API> loadColor(const std::string& path);
