// A settings file applied to a device that records each operation it is asked for.
#include <string>

#include "FuzzCheck.h"
#include "RecordingDevice.h"
#include "SettingsFile.h"

namespace {

using fuzzcheck::Check;

std::string g_path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_path = fuzzcheck::MakeRunFolder("settings") + "/settings.json";
    return 0;
}

// Input: a byte whose low bits name a device call that fails (0: none) with -105, then the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::Reader in(data, size);
    const uint8_t failAt = in.Byte();
    const std::vector<uint8_t> file = in.Rest();
    fuzzcheck::WriteBytes(g_path, file.data(), file.size());
    settingstest::RecordingDevice device;
    if (failAt != 0) device.failures[failAt % 32] = -105;
    const int result = ApplySettingsFile(device, g_path.c_str(), device.Switches());
    // A file that cannot be read, parsed or typed applies nothing.
    if (result == -15 && !device.calls.empty())
        fuzzcheck::Fail("a refused file changed the device:", device.calls.front());
    // Otherwise the result is the first failing operation's.
    Check(result == 0 || result == -15 || (result == -105 && !device.calls.empty()),
          "an error from nowhere:", std::to_string(result));
    return 0;
}
