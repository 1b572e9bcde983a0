#pragma once
#include <memory>

#include "DeviceDirectory.h"
#include "HandleRegistry.h"

// The kit-wide state behind the exported functions.
namespace api {

// True from a successful initialisation until the shut-down.
bool Initialised();
HandleRegistry& Handles();
// The camera list the handles come from; valid while initialised.
DeviceDirectory& Directory();

// Makes the API use `directory` (the device manager's, or a test's) and marks it initialised.
void Attach(std::unique_ptr<DeviceDirectory> directory);
// Closes every device still open through a handle, then forgets the directory.
void Detach();

}  // namespace api
