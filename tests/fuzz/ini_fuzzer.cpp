// A per-model INI file as the parameter store reads it.
#include <string>

#include "FuzzCheck.h"
#include "IniConfig.h"

namespace {

using fuzzcheck::Check;

std::string g_path;

// The text before the first '=' of each line and the section names, so that the lookups
// reach what the file holds.
void Lookups(const uint8_t* data, size_t size, const IniConfig& ini) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string section;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t open = line.find('['), close = line.find(']');
        if (open != std::string::npos && close != std::string::npos && open < close) {
            section = line.substr(open + 1, close - open - 1);
        }
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            std::string key;
            for (char c : line.substr(0, equals)) {
                if (c != ' ') key += c;
            }
            const std::string value = ini.GetValue(section, key);
            Check(value.find(' ') == std::string::npos, "a value kept a blank");
            Check(value.find('\n') == std::string::npos, "a value runs over its line");
        }
        start = end + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_path = fuzzcheck::MakeRunFolder("ini") + "/params.ini";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::WriteBytes(g_path, data, size);
    IniConfig ini;
    Check(ini.ReadINI(g_path), "a readable file was refused");
    Lookups(data, size, ini);
    Check(ini.GetValue("no such section", "key").empty(), "a missing section gave a value");
    return 0;
}
