// The property keys of the guide against the kit's catalogue of keys, and the catalogue
// against a simulated camera: each key is known with its size and direction, and the example
// settings file applies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "DocTable.h"
#include "E2eSupport.h"
#include "PropertyKeys.h"

namespace {

using namespace apie2e;
using propertykeys::Id;
using propertykeys::SizeRule;
using propertykeys::ValueType;

// A key as an application meets it: the directions of every part that answers it.
struct KitKey {
    const propertykeys::Key* key;  // its first row: text, size, type
    bool get = false;
    bool set = false;
    bool toFPlugin = false;  // the ToF plug-in answers it
    bool colourOnly = true;  // only the parts of a colour camera answer it
};

void PrintTo(const KitKey& key, std::ostream* os) { *os << key.key->name; }

std::vector<KitKey> KitKeys() {
    std::vector<KitKey> keys;
    for (const propertykeys::Key& row : propertykeys::kKeys) {
        auto same = [&](const KitKey& key) { return key.key->id == row.id; };
        auto found = std::find_if(keys.begin(), keys.end(), same);
        if (found == keys.end()) found = keys.insert(keys.end(), KitKey{&row});
        found->get = found->get || row.Gets();
        found->set = found->set || row.Sets();
        found->toFPlugin = found->toFPlugin || row.owner == propertykeys::Owner::ToFPlugin;
        found->colourOnly = found->colourOnly && (row.owner == propertykeys::Owner::ColorDevice ||
                                                  row.owner == propertykeys::Owner::ColorPlugin);
    }
    return keys;
}

std::vector<KitKey> AnsweredKeys() {
    std::vector<KitKey> keys;
    for (const KitKey& key : KitKeys())
        if (key.get || key.set) keys.push_back(key);
    return keys;
}

// The guide's cells for a key.
std::string SizeText(const propertykeys::Key& key) {
    const std::string size = std::to_string(key.size);
    switch (key.rule) {
        case SizeRule::Exact: return size;
        case SizeRule::AtLeast: return size + " or more";
        case SizeRule::UpTo: return "1 to " + size;
        case SizeRule::Any: return "any";
        case SizeRule::AfterText: return "text + " + size;
    }
    return "?";
}

std::string DirectionText(const KitKey& key) { return key.get && key.set ? "get/set" : key.get ? "get" : "set"; }

std::string OwnerText(const KitKey& key) { return key.colourOnly ? "colour" : key.toFPlugin ? "ToF" : "kit"; }

// The data cell of a plain value; records and texts are described in words.
const std::map<ValueType, std::string> kPlainData = {{ValueType::Byte, "uint8"},
                                                     {ValueType::Int32, "int32"},
                                                     {ValueType::Float, "float"},
                                                     {ValueType::Ignored, "ignored"}};

TEST(GuideKeyTable, HoldsEveryKeyOfTheKitAsTheKitAnswersIt) {
    const doctable::Row header = {"key", "size", "data", "get/set", "unit, values", "owner"};
    const std::vector<doctable::Row> rows = doctable::Read(doctable::GuidePath(), header);
    ASSERT_FALSE(rows.empty()) << "no key table in " << doctable::GuidePath();
    const std::vector<KitKey> keys = KitKeys();
    std::map<std::string, int> documented;
    for (const doctable::Row& row : rows) {
        const std::string& quoted = row.at(0);
        const std::string name =
            quoted.size() > 2 && quoted.front() == '"' ? quoted.substr(1, quoted.size() - 2) : quoted;
        ++documented[name];
        const auto found =
            std::find_if(keys.begin(), keys.end(), [&](const KitKey& key) { return name == key.key->name; });
        if (found == keys.end()) {
            ADD_FAILURE() << name << " is documented but the kit does not know it";
            continue;
        }
        EXPECT_EQ(row.at(1), SizeText(*found->key)) << name;
        EXPECT_EQ(row.at(3), DirectionText(*found)) << name;
        EXPECT_EQ(row.at(5), OwnerText(*found)) << name;
        const auto plain = kPlainData.find(found->key->type);
        if (plain != kPlainData.end()) {
            EXPECT_EQ(row.at(2), plain->second) << name;
        } else {
            for (const auto& other : kPlainData) EXPECT_NE(row.at(2), other.second) << name;
        }
    }
    const std::string guide = testsupport::ReadFile(doctable::GuidePath());
    for (const KitKey& key : keys) {
        const char* name = key.key->name;
        // A key that does nothing is named in the text below the table.
        EXPECT_EQ(documented[name], key.get || key.set ? 1 : 0) << name << " rows in the table";
        EXPECT_NE(guide.find('"' + std::string(name) + '"'), std::string::npos) << name << " is not in the guide";
    }
}

// Enough room for every key and its wrong sizes; unchecked sizes use kAnySize.
constexpr int kBuffer = 2048;
constexpr int kAnySize = 32;

// What a read asks for, where the data selects what is read.
const std::map<Id, std::vector<uint8_t>> kRequests = {
    {Id::Intrinsic, {SENSOR_TYPE_TOF, 0, 0, 0}},
    {Id::Distortion, {SENSOR_TYPE_TOF, 0, 0, 0}},
    {Id::MCUparameters, {1}},
    {Id::DSP, {5, 0, 0, 0}},
};

// Keys whose accepted set or get starts a file transfer; only their sizes are checked.
bool IsTransfer(Id key) { return key == Id::TransferFile || key == Id::JsonPath; }

// A size the key takes, and sizes it refuses.
int FittingSize(const propertykeys::Key& key) { return key.rule == SizeRule::Any ? kAnySize : key.size; }

std::vector<int> WrongSizes(const propertykeys::Key& key) {
    switch (key.rule) {
        case SizeRule::Exact: return {key.size - 1, key.size + 1};
        case SizeRule::AtLeast: return {key.size - 1};
        case SizeRule::UpTo: return {0, key.size + 1};
        default: return {};
    }
}

class KeyTable : public KitWithCamera, public ::testing::WithParamInterface<KitKey> {
protected:
    std::vector<uint8_t> Request(Id key) const {
        std::vector<uint8_t> data(kBuffer, 0);
        const auto found = kRequests.find(key);
        if (found != kRequests.end()) std::copy(found->second.begin(), found->second.end(), data.begin());
        return data;
    }
};

// The manager's keys name a listed camera by a text and need no handle.
void CheckCameraListKey(const propertykeys::Key& key, const camsim::CameraOptions& camera) {
    std::string text = camera.ip;
    if (key.id == Id::IPNotMatchBySN) text = camera.serialNumber;
    if (key.id == Id::IPNotMatchByURI) {
        QlDeviceInfo info{};
        ASSERT_TRUE(WaitForListed(camera.serialNumber, QlDeviceOpened, &info));
        text = info.uri;
    }
    const int size = static_cast<int>(text.size()) + key.size;
    std::vector<char> data(kBuffer, 0);
    std::memcpy(data.data(), text.c_str(), text.size() + 1);
    EXPECT_NE(QL_GetProperty(nullptr, key.name, data.data(), size + 1), 0) << "a wrong size is taken";
    ASSERT_EQ(QL_GetProperty(nullptr, key.name, data.data(), size), 0);
    EXPECT_STREQ(data.data() + text.size(), camera.ip.c_str()) << "the camera's address";
}

TEST_P(KeyTable, KnownWithItsSizeAndDirection) {
    const KitKey& kitKey = GetParam();
    const propertykeys::Key& key = *kitKey.key;
    testsupport::TempDir work;
    // Raw dumps land in the working folder.
    testsupport::ScopedWorkingDirectory inWork(work.Path());
    const camsim::CameraOptions camera = ColourCamera();
    OpenCamera(camera);
    if (key.rule == SizeRule::AfterText) {
        CheckCameraListKey(key, camera);
        return;
    }
    const char* name = key.name;
    const int size = FittingSize(key);

    // A transfer key is never called with a fitting size here, so its size refusal
    // (-15, not an unknown key) is what shows that the kit knows it.
    const auto refused = [&](int ret) { return IsTransfer(key.id) ? ret == -15 : ret != 0; };
    for (int wrong : WrongSizes(key)) {
        std::vector<uint8_t> data = Request(key.id);
        if (kitKey.get) {
            const int ret = QL_GetProperty(handle, name, data.data(), wrong);
            EXPECT_TRUE(refused(ret)) << "get with size " << wrong << " gives " << ret;
        }
        if (kitKey.set) {
            const int ret = QL_SetProperty(handle, name, data.data(), wrong);
            EXPECT_TRUE(refused(ret)) << "set with size " << wrong << " gives " << ret;
        }
    }
    std::vector<uint8_t> data = Request(key.id);
    if (!kitKey.get) {
        EXPECT_NE(QL_GetProperty(handle, name, data.data(), size), 0) << "a set-only key reads";
    }
    if (IsTransfer(key.id)) return;
    if (kitKey.get) {
        ASSERT_EQ(QL_GetProperty(handle, name, data.data(), size), 0) << LogText();
    }
    // A key that reads is written back with what it read; the others with zeros.
    if (kitKey.set) {
        EXPECT_EQ(QL_SetProperty(handle, name, data.data(), size), 0) << LogText();
    } else {
        EXPECT_NE(QL_SetProperty(handle, name, data.data(), size), 0) << "a get-only key writes";
    }
}

std::string KeyName(const ::testing::TestParamInfo<KitKey>& info) {
    std::string name = info.param.key->name;
    if (name.rfind("Py_", 0) == 0) name = name.substr(3);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Kit, KeyTable, ::testing::ValuesIn(AnsweredKeys()), KeyName);

class KeyTableToFOnly : public KitWithCamera {};

TEST_F(KeyTableToFOnly, ColourKeysAreUnknownWithoutAColourSensor) {
    OpenCamera(ToFOnlyCamera());
    for (const KitKey& key : AnsweredKeys()) {
        if (!key.colourOnly) continue;
        std::vector<uint8_t> data(kBuffer, 0);
        const int size = FittingSize(*key.key);
        if (key.get) {
            EXPECT_EQ(QL_GetProperty(handle, key.key->name, data.data(), size), -255) << key.key->name;
        }
        if (key.set) {
            EXPECT_EQ(QL_SetProperty(handle, key.key->name, data.data(), size), -255) << key.key->name;
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
