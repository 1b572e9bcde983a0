// The property keys of the guide against a simulated camera: each key is known with the
// documented size and direction, and the example settings file applies.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "DocTable.h"
#include "E2eSupport.h"

namespace {

using namespace apie2e;

// The documented size of a key's data.
struct Size {
    enum Kind { Exact, AtLeast, Between, Any, TextPlus } kind = Any;
    int low = 0;
    int high = 0;
};

struct Key {
    std::string name;
    Size size;
    bool get = false;
    bool set = false;
    bool colourOnly = false;
};

void PrintTo(const Key& key, std::ostream* os) { *os << key.name; }

std::optional<Size> ParseSize(const std::string& text) {
    Size size;
    int a = 0, b = 0;
    char rest = 0;
    if (text == "any") return size;
    if (std::sscanf(text.c_str(), "text + %d%c", &a, &rest) == 1) return Size{Size::TextPlus, a, a};
    if (std::sscanf(text.c_str(), "%d to %d%c", &a, &b, &rest) == 2) return Size{Size::Between, a, b};
    if (text.size() > 8 && text.compare(text.size() - 8, 8, " or more") == 0 &&
        std::sscanf(text.c_str(), "%d", &a) == 1)
        return Size{Size::AtLeast, a, a};
    if (std::sscanf(text.c_str(), "%d%c", &a, &rest) == 1) return Size{Size::Exact, a, a};
    return std::nullopt;
}

std::vector<Key> DocumentedKeys() {
    std::vector<Key> keys;
    const doctable::Row header = {"key", "size", "data", "get/set", "unit, values", "owner"};
    for (const doctable::Row& row : doctable::Read(doctable::GuidePath(), header)) {
        Key key;
        const std::string& quoted = row.at(0);
        key.name = quoted.size() > 2 && quoted.front() == '"' ? quoted.substr(1, quoted.size() - 2) : quoted;
        const std::optional<Size> size = ParseSize(row.at(1));
        if (!size) ADD_FAILURE() << key.name << ": size \"" << row.at(1) << "\" is not understood";
        key.size = size.value_or(Size{});
        key.get = row.at(3) == "get" || row.at(3) == "get/set";
        key.set = row.at(3) == "set" || row.at(3) == "get/set";
        if (!key.get && !key.set) ADD_FAILURE() << key.name << ": direction \"" << row.at(3) << "\"";
        key.colourOnly = row.at(5) == "colour";
        keys.push_back(key);
    }
    return keys;
}

// Enough room for every key; unchecked sizes use this much.
constexpr int kBuffer = 512;
constexpr int kAnySize = 32;

// What a read asks for, where the data selects what is read.
const std::map<std::string, std::vector<uint8_t>> kRequests = {
    {"Py_Intrinsic", {SENSOR_TYPE_TOF, 0, 0, 0}},
    {"Py_Distortion", {SENSOR_TYPE_TOF, 0, 0, 0}},
    {"Py_MCUparameters", {1}},
    {"Py_DSP", {5, 0, 0, 0}},
};

// Keys whose accepted set or get starts a file transfer; only their sizes are checked.
const char* const kTransfers[] = {"Py_TransferFile", "Py_JsonPath"};

bool IsTransfer(const std::string& name) {
    for (const char* transfer : kTransfers)
        if (name == transfer) return true;
    return false;
}

// Sizes that the documentation says are refused.
std::vector<int> WrongSizes(const Size& size) {
    switch (size.kind) {
        case Size::Exact: return {size.low - 1, size.low + 1};
        case Size::AtLeast: return {size.low - 1};
        case Size::Between: return {size.low - 1, size.high + 1};
        default: return {};
    }
}

class KeyTable : public KitWithCamera, public ::testing::WithParamInterface<Key> {
protected:
    std::vector<uint8_t> Request(const std::string& name) const {
        std::vector<uint8_t> data(kBuffer, 0);
        const auto found = kRequests.find(name);
        if (found != kRequests.end()) std::copy(found->second.begin(), found->second.end(), data.begin());
        return data;
    }
};

// The manager's keys name a listed camera by a text and need no handle.
void CheckCameraListKey(const Key& key, const camsim::CameraOptions& camera) {
    std::string text = camera.ip;
    if (key.name == "Py_IPNotMatchBySN") text = camera.serialNumber;
    if (key.name == "Py_IPNotMatchByURI") {
        QlDeviceInfo info{};
        ASSERT_TRUE(WaitForListed(camera.serialNumber, QlDeviceOpened, &info));
        text = info.uri;
    }
    const int size = static_cast<int>(text.size()) + key.size.low;
    std::vector<char> data(kBuffer, 0);
    std::memcpy(data.data(), text.c_str(), text.size() + 1);
    EXPECT_NE(QL_GetProperty(nullptr, key.name.c_str(), data.data(), size + 1), 0) << "a wrong size is taken";
    ASSERT_EQ(QL_GetProperty(nullptr, key.name.c_str(), data.data(), size), 0);
    EXPECT_STREQ(data.data() + text.size(), camera.ip.c_str()) << "the camera's address";
}

TEST_P(KeyTable, KnownWithTheDocumentedSizeAndDirection) {
    const Key& key = GetParam();
    testsupport::TempDir work;
    // Raw dumps land in the working folder.
    testsupport::ScopedWorkingDirectory inWork(work.Path());
    const camsim::CameraOptions camera = ColourCamera();
    OpenCamera(camera);
    if (key.size.kind == Size::TextPlus) {
        CheckCameraListKey(key, camera);
        return;
    }
    const char* name = key.name.c_str();
    const int size = key.size.kind == Size::Any ? kAnySize : key.size.low;

    // A transfer key is never called with its documented size here, so its size refusal
    // (-15, not an unknown key) is what shows that the kit knows it.
    const auto refused = [&](int ret) { return IsTransfer(key.name) ? ret == -15 : ret != 0; };
    for (int wrong : WrongSizes(key.size)) {
        std::vector<uint8_t> data = Request(key.name);
        if (key.get) {
            const int ret = QL_GetProperty(handle, name, data.data(), wrong);
            EXPECT_TRUE(refused(ret)) << "get with size " << wrong << " gives " << ret;
        }
        if (key.set) {
            const int ret = QL_SetProperty(handle, name, data.data(), wrong);
            EXPECT_TRUE(refused(ret)) << "set with size " << wrong << " gives " << ret;
        }
    }
    std::vector<uint8_t> data = Request(key.name);
    if (!key.get) {
        EXPECT_NE(QL_GetProperty(handle, name, data.data(), size), 0) << "a set-only key reads";
    }
    if (IsTransfer(key.name)) return;
    if (key.get) {
        ASSERT_EQ(QL_GetProperty(handle, name, data.data(), size), 0) << LogText();
    }
    // A key that reads is written back with what it read; the others with zeros.
    if (key.set) {
        EXPECT_EQ(QL_SetProperty(handle, name, data.data(), size), 0) << LogText();
    } else {
        EXPECT_NE(QL_SetProperty(handle, name, data.data(), size), 0) << "a get-only key writes";
    }
}

std::vector<Key> Keys() { return DocumentedKeys(); }

std::string KeyName(const ::testing::TestParamInfo<Key>& info) {
    std::string name = info.param.name;
    if (name.rfind("Py_", 0) == 0) name = name.substr(3);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Guide, KeyTable, ::testing::ValuesIn(Keys()), KeyName);

class KeyTableToFOnly : public KitWithCamera {};

TEST_F(KeyTableToFOnly, ColourKeysAreUnknownWithoutAColourSensor) {
    OpenCamera(ToFOnlyCamera());
    const std::vector<Key> keys = DocumentedKeys();
    ASSERT_FALSE(keys.empty()) << "no key table in " << doctable::GuidePath();
    for (const Key& key : keys) {
        if (!key.colourOnly) continue;
        std::vector<uint8_t> data(kBuffer, 0);
        const int size = key.size.kind == Size::Any ? kAnySize : key.size.low;
        if (key.get) {
            EXPECT_EQ(QL_GetProperty(handle, key.name.c_str(), data.data(), size), -255) << key.name;
        }
        if (key.set) {
            EXPECT_EQ(QL_SetProperty(handle, key.name.c_str(), data.data(), size), -255) << key.name;
        }
    }
}

class ExampleSettings : public KitWithCamera {};

TEST_F(ExampleSettings, AppliesToAColourCamera) {
    OpenCamera(ColourCamera());
    const std::string path = std::string(KIT_SOURCE_DIR) + "/examples/settings.json";
    ASSERT_EQ(QL_SetParamsByJson(handle, path.c_str()), 0) << LogText();
    int32_t fps = 0;
    uint8_t gain = 0;
    int32_t width = 0, height = 0;
    ASSERT_EQ(QL_GetFrameRate(handle, &fps), 0);
    ASSERT_EQ(QL_GetIRGMMGain(handle, &gain), 0);
    ASSERT_EQ(QL_GetColorResolution(handle, &width, &height), 0);
    EXPECT_EQ(fps, 15);
    EXPECT_EQ(gain, 64);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    ExposureTimeParams colour{1, 0};
    ASSERT_EQ(QL_GetExposureTime(handle, SENSOR_TYPE_COLOR, &colour), 0);
    EXPECT_EQ(colour.exposureTime, 10000);
}

}  // namespace
