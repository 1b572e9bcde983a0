#include "PluginLedger.h"

#include <mutex>

namespace {

std::mutex g_lock;
std::vector<std::string> g_events;

}  // namespace

void PluginLedgerRecord(const std::string& event) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_events.push_back(event);
}

std::vector<std::string> PluginLedgerEvents() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_events;
}

void PluginLedgerClear() {
    std::lock_guard<std::mutex> lock(g_lock);
    g_events.clear();
}
