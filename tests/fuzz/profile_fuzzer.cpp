// A product profile as the kit reads it for a camera record and as the colour plug-in reads
// its resolution list from the same file.
#include <string>

#include "ColorProfile.h"
#include "DeviceTypeConfig.h"
#include "FuzzCheck.h"

namespace {

using fuzzcheck::Check;

std::string g_path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_path = fuzzcheck::MakeRunFolder("profile") + "/Fuzz_11.json";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::WriteBytes(g_path, data, size);
    DeviceTypeConfig config;
    Check(config.Init(g_path), "a profile that opens counts as read");
    const QlLinkType link = config.GetLinkType();
    Check(link >= QlLinkTypeUnknown && link <= 3, "link type outside the map");
    if (config.GetConfigFilePath().empty()) {
        // Not parsed, or keys of the wrong type: nothing of it is kept.
        Check(config.GetProductName().empty() && link == QlLinkTypeUnknown && config.GetToFType().empty() &&
                  config.GetColorType().empty(),
              "a refused profile left fields behind");
    } else {
        Check(config.GetConfigFilePath() == g_path, "profile path is not the file read");
    }

    ResolutionList list{};
    list.count = -3;
    rc1720::ReadResolutionList(g_path.c_str(), list);
    Check(list.count == -3 || (list.count >= 0 && list.count <= 6), "resolution count beyond the list",
          std::to_string(list.count));
    return 0;
}
