// The camera's command set: what each command id does to the camera state.
#pragma once

#include <cstdint>
#include <vector>

#include "CameraState.h"
#include "CommandIds.h"

namespace camsim {

// Applies a set (isGet false) or answers a get into `reply`. `id` is the command id
// without its reply bit. Returns false when the payload fits no layout of that id;
// the state is then unchanged.
bool ApplyCommand(CameraState& state, uint8_t id, bool isGet, const std::vector<uint8_t>& payload,
                  std::vector<uint8_t>& reply);

}  // namespace camsim
