#pragma once
#include <memory>
#include <mutex>

#include "PreProcParams.h"

namespace kpimg {

// The current parameter snapshot. Readers take a reference-counted snapshot and work on it
// without a lock; a writer copies the current one, changes the copy and swaps it in.
class ParamsStore {
public:
    ParamsStore();

    std::shared_ptr<const PreProcParams> Snapshot() const;

    template <typename Change>
    void Update(Change&& change) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto next = std::make_shared<PreProcParams>(*m_current);
        change(*next);
        m_current = std::move(next);
    }

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<const PreProcParams> m_current;
};

}  // namespace kpimg
