#pragma once
#include <memory>
#include <mutex>

#include "UndistortMap.h"

namespace kpimg {

// One sensor's undistortion table, rebuilt only when its camera, lens or image size change.
// A table in use by another thread stays alive until that thread lets it go.
class UndistortCache {
public:
    std::shared_ptr<const UndistortMap> Get(const PinholeCamera& camera, const LensDistortion& distortion, int width,
                                            int height);

private:
    std::mutex m_mutex;
    std::shared_ptr<const UndistortMap> m_map;
};

}  // namespace kpimg
