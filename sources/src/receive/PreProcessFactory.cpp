#include "PreProcessFactory.h"

#include "KitLogPath.h"

std::unique_ptr<APIImgPreProcess> NewPreProcess() {
    return std::unique_ptr<APIImgPreProcess>(Get_APIImgPreProcess(g_logPath.c_str()));
}
