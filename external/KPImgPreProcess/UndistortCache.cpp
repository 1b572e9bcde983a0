#include "UndistortCache.h"

namespace kpimg {

std::shared_ptr<const UndistortMap> UndistortCache::Get(const PinholeCamera& camera, const LensDistortion& distortion,
                                                        int width, int height) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_map || !m_map->IsFor(camera, distortion, width, height)) {
        m_map = std::make_shared<const UndistortMap>(camera, distortion, width, height);
    }
    return m_map;
}

}  // namespace kpimg
