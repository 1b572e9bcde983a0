#include "ParamsStore.h"

namespace kpimg {

ParamsStore::ParamsStore() : m_current(std::make_shared<const PreProcParams>()) {}

std::shared_ptr<const PreProcParams> ParamsStore::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_current;
}

}  // namespace kpimg
