#pragma once
#include <functional>
#include <string>
#include <vector>

#include "Torvane_api.h"

namespace apitest {

// Every exported function that takes a handle, called with valid arguments otherwise.
struct HandleCall {
    std::string name;
    std::function<int(QlDeviceHandle)> call;
};
std::vector<HandleCall> AllHandleCalls();

// Every exported function with a required pointer, called with it null.
struct NullCall {
    std::string name;
    std::function<int(QlDeviceHandle)> call;
};
std::vector<NullCall> AllNullPointerCalls();

}  // namespace apitest
