#include "ApiState.h"

#include <atomic>

#include "BaseDevice.h"

namespace api {
namespace {

std::atomic<bool> g_initialised{false};
std::unique_ptr<DeviceDirectory> g_directory;

}  // namespace

bool Initialised() { return g_initialised; }

HandleRegistry& Handles() {
    static HandleRegistry registry;
    return registry;
}

DeviceDirectory& Directory() { return *g_directory; }

void Attach(std::unique_ptr<DeviceDirectory> directory) {
    g_directory = std::move(directory);
    g_initialised = true;
}

void Detach() {
    g_initialised = false;
    if (!g_directory) return;
    Handles().CloseAll([](BaseDevice* device) { return g_directory->Unlink(device); });
    g_directory.reset();
}

}  // namespace api
