#pragma once
#include "BaseDevice.h"
#include "SettingsWalk.h"

// -12 for a null path, -18 for one longer than 260 characters, else 0.
int CheckSettingsPath(const char* path);

// Reads the settings file at `path` and applies it to the device. -12 or -18 for the path
// itself, -15 for a file that cannot be opened, parsed or typed (nothing is applied then),
// else the unmapped result of the first failing operation, or 0.
int ApplySettingsFile(BaseDevice& device, const char* path, const FilterSwitches& switches);
