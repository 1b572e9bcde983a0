#pragma once
#include <string>
#include <vector>

// What the test plug-ins did, in order, across every plug-in library of the process: one
// shared library that the test and the plug-ins link alike.
#define LEDGER_EXPORT __attribute__((visibility("default")))

LEDGER_EXPORT void PluginLedgerRecord(const std::string& event);
LEDGER_EXPORT std::vector<std::string> PluginLedgerEvents();
LEDGER_EXPORT void PluginLedgerClear();
