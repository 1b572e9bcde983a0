#include "StatusMapping.h"

#include "log.h"

namespace {

constexpr int kUnknown = -255;

bool IsPublic(int status) {
    return status == 0 || (status <= -1 && status >= -19) || (status <= -21 && status >= -23) ||
           (status <= -101 && status >= -109);
}

}  // namespace

int InterRet2ExternRet(int interRet) {
    if (IsPublic(interRet)) return interRet;
    LOG_PRINTF("invalid param: interRet:%d", interRet);
    return kUnknown;
}
