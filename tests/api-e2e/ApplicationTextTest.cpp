// Texts from the camera reach the application cut to its buffer and always terminated,
// whether the camera's text is shorter than the buffer, exactly as long, or longer.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "E2eSupport.h"

namespace {

using namespace apie2e;

struct TextCase {
    const char* name;
    // Gives the camera its text.
    std::function<void(camsim::CameraState&, const std::string&)> put;
    // Reads it into a buffer of the given size.
    std::function<int(QlDeviceHandle, char*, int)> get;
    std::vector<int> sizes;
    int field;  // the longest text the camera sends for it
};

std::function<int(QlDeviceHandle, char*, int)> Property(const char* key) {
    return [key](QlDeviceHandle handle, char* buffer, int size) { return QL_GetProperty(handle, key, buffer, size); };
}

// A text whose every prefix differs from the others of its length.
std::string CameraText(size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += static_cast<char>('A' + i % 26);
    return text;
}

class ApplicationText : public KitWithCamera {};

TEST_F(ApplicationText, EveryTextIsTerminatedWithinTheCallersBuffer) {
    OpenCamera(ColourCamera());
    constexpr int kMacBuffer = 18;  // what QL_GetDeviceMACAddress writes
    const TextCase cases[] = {
        {"Py_Serialnumber",
         [](camsim::CameraState& s, const std::string& t) { s.sensorSerial = t; },
         Property("Py_Serialnumber"),
         {17, 32},
         63},
        {"Py_MACAddress",
         [](camsim::CameraState& s, const std::string& t) { s.macAddress = t; },
         Property("Py_MACAddress"),
         {18, 24},
         63},
        {"Py_SubnetMask",
         [](camsim::CameraState& s, const std::string& t) { s.subnetMask = t; },
         Property("Py_SubnetMask"),
         {16, 20},
         63},
        {"Py_IP",
         [](camsim::CameraState& s, const std::string& t) { s.ipAddress = t; },
         Property("Py_IP"),
         {16, 20},
         63},
        {"Py_RGBFirmwareVersion",
         [](camsim::CameraState& s, const std::string& t) { s.colour.firmwareVersion = t; },
         Property("Py_RGBFirmwareVersion"),
         {20, 29, 30, 31},
         30},
        {"QL_GetFirmwareVersion",
         [](camsim::CameraState& s, const std::string& t) { s.firmwareVersion = t; },
         [](QlDeviceHandle h, char* buffer, int size) { return QL_GetFirmwareVersion(h, buffer, size); },
         {19, 40},
         63},
        {"QL_GetDeviceMACAddress",
         [](camsim::CameraState& s, const std::string& t) { s.macAddress = t; },
         [](QlDeviceHandle h, char* buffer, int) { return QL_GetDeviceMACAddress(h, buffer); },
         {kMacBuffer},
         63},
    };
    for (const TextCase& c : cases) {
        for (int size : c.sizes) {
            for (int length : {size - 1, size, size + 1, c.field}) {
                if (length > c.field) continue;
                const std::string text = CameraText(static_cast<size_t>(length));
                sim->UpdateState([&](camsim::CameraState& s) { c.put(s, text); });
                std::vector<char> buffer(static_cast<size_t>(size) + 8, '.');
                const std::string what = std::string(c.name) + ": a text of " + std::to_string(length) +
                                         " bytes in a buffer of " + std::to_string(size);
                ASSERT_EQ(c.get(handle, buffer.data(), size), 0) << what;
                const auto end = std::find(buffer.begin(), buffer.begin() + size, '\0');
                ASSERT_NE(end, buffer.begin() + size) << what << ": no terminating zero";
                EXPECT_EQ(std::string(buffer.begin(), end), text.substr(0, static_cast<size_t>(size - 1))) << what;
                EXPECT_EQ(std::string(buffer.begin() + size, buffer.end()), std::string(8, '.'))
                    << what << ": written past the buffer";
            }
        }
    }
}

}  // namespace
