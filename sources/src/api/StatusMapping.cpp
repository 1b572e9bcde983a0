#include "StatusMapping.h"

#include "StatusCodes.h"
#include "log.h"

namespace {

bool IsPublic(int value) {
    return value == status::kOk || (value <= status::kFailed && value >= status::kNoStatusCallback) ||
           (value <= status::kNoProfile && value >= status::kFrameTooOld) ||
           (value <= status::kAlreadyInitialised && value >= status::kPluginFailed);
}

}  // namespace

int InterRet2ExternRet(int interRet) {
    if (IsPublic(interRet)) return interRet;
    LOG_PRINTF("invalid param: interRet:%d", interRet);
    return status::kInternal;
}
