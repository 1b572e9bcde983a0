// The list queries and the manager's property keys.
#include <cstring>
#include <string>

#include "ManagerFixture.h"
#include "PublicDeviceInfo.h"

namespace managertest {
namespace {

// A field of a packed record by value: the test macros bind references.
template <typename T>
T Unpacked(T field) {
    return field;
}

// Three listed cameras, then one whose leaving is still pending: four records in all.
class Query : public ManagerFixture {
public:
    Query() {
        Appear("SN1", "127.0.0.2", "front");
        Appear("SN2", "127.0.0.3");
        Appear("SN3", "127.0.0.4");
        Appear("SN4", "127.0.0.5");
        Hear("SN4", "127.0.0.5", 2);
        Pass();
        std::memset(out, 0xAB, sizeof(out));
    }
    bool Untouched(const QlDeviceInfo& info) const {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&info);
        for (size_t i = 0; i < sizeof(info); ++i) {
            if (bytes[i] != 0xAB) return false;
        }
        return true;
    }

    QlDeviceInfo out[6];
};

TEST_F(Query, CountsListedCamerasOnly) { EXPECT_EQ(manager->GetCameraCount(), 3u); }

TEST_F(Query, RecordCarriesTheCamerasFields) {
    ASSERT_EQ(manager->GetDeviceInfo(&out[0], 0), 0);
    EXPECT_STREQ(out[0].productName, "Test");
    EXPECT_STREQ(out[0].uri, "Test:SN1");
    EXPECT_STREQ(out[0].alias, "front");
    EXPECT_STREQ(out[0].serialNumber, "SN1");
    EXPECT_STREQ(out[0].ip, "127.0.0.2");
    EXPECT_EQ(Unpacked(out[0].status), QlDeviceAvailable);
    // Zero-filled behind every text.
    EXPECT_EQ(out[0].productName[63], 0);
    EXPECT_EQ(out[0].ip[16], 0);
    ASSERT_EQ(manager->GetDeviceInfo(&out[1], 1), 0);
    EXPECT_STREQ(out[1].alias, "SN2");  // no alias announced
}

TEST(PublicRecord, FieldsFilledToTheirLastByteAreTerminated) {
    // Every text of the record as long as its field, with no zero anywhere.
    DeviceInfo record;
    for (auto* field : {record.productName, record.alias, record.serialNumber}) std::memset(field, 'x', 64);
    std::memset(record.uri, 'u', sizeof(record.uri));
    std::memset(record.ip, '1', sizeof(record.ip));
    const QlDeviceInfo info = ToQlDeviceInfo(record);
    EXPECT_EQ(std::string(info.productName), std::string(63, 'x'));
    EXPECT_EQ(std::string(info.uri), std::string(255, 'u'));
    EXPECT_EQ(std::string(info.alias), std::string(63, 'x'));
    EXPECT_EQ(std::string(info.serialNumber), std::string(63, 'x'));
    EXPECT_EQ(std::string(info.ip), std::string(16, '1')) << "the 17th byte ends the address";
}

struct ListCase {
    uint32_t count;
    uint32_t written;
};

class ListQuery : public Query, public ::testing::WithParamInterface<ListCase> {};

TEST_P(ListQuery, WritesAtMostCountListedRecords) {
    ASSERT_EQ(manager->GetDeviceInfoList(out, GetParam().count), 0);
    for (uint32_t i = 0; i < GetParam().written; ++i) EXPECT_EQ(out[i].serialNumber, "SN" + std::to_string(i + 1));
    for (uint32_t i = GetParam().written; i < 6; ++i) EXPECT_TRUE(Untouched(out[i])) << i;
}

INSTANTIATE_TEST_SUITE_P(Counts, ListQuery,
                         ::testing::Values(ListCase{0, 0}, ListCase{1, 1}, ListCase{3, 3}, ListCase{5, 3}),
                         [](const ::testing::TestParamInfo<ListCase>& info) {
                             return "Count" + std::to_string(info.param.count);
                         });

struct IndexCase {
    uint32_t index;
    int status;
    const char* logged;  // "" for none
};

class IndexQuery : public Query, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(IndexQuery, BeyondTheListedRecordsLeavesTheOutputAlone) {
    EXPECT_EQ(manager->GetDeviceInfo(&out[0], GetParam().index), GetParam().status);
    if (GetParam().status == 0) {
        EXPECT_EQ(out[0].serialNumber, "SN" + std::to_string(GetParam().index + 1));
    } else {
        EXPECT_TRUE(Untouched(out[0]));
    }
    if (*GetParam().logged != '\0') {
        EXPECT_TRUE(log.Contains(GetParam().logged));
    }
}

INSTANTIATE_TEST_SUITE_P(Indexes, IndexQuery,
                         ::testing::Values(IndexCase{0, 0, ""}, IndexCase{2, 0, ""},
                                           IndexCase{3, -15, ""},  // within the records, beyond the listed
                                           IndexCase{4, -15, "Index 4 >= count 4"},
                                           IndexCase{0xFFFFFFFFu, -15, "Index 4294967295 >= count 4"}),
                         [](const ::testing::TestParamInfo<IndexCase>& info) {
                             return "Index" + std::to_string(info.param.index);
                         });

TEST_F(Query, NullOutputsAreRefused) {
    EXPECT_EQ(manager->GetDeviceInfoList(nullptr, 1), -12);
    EXPECT_EQ(manager->GetDeviceInfo(nullptr, 0), -12);
}

struct PropertyCase {
    const char* name;
    const char* key;
    const char* text;
    int extra;  // data size beyond the text's length
    int status;
};

class Property : public Query, public ::testing::WithParamInterface<PropertyCase> {
public:
    Property() { offSubnet.insert("10.1.2.3"); }
};

TEST_P(Property, WritesBothAddressesBehindTheText) {
    Appear("SN5", "10.1.2.3");
    const PropertyCase& c = GetParam();
    char data[128];
    std::memset(data, 0x5A, sizeof(data));
    const int length = static_cast<int>(std::strlen(c.text));
    std::memcpy(data, c.text, length + 1);
    EXPECT_EQ(manager->GetProperty(c.key, data, length + c.extra), c.status);
    if (c.status == 0) {
        EXPECT_STREQ(data + length, "10.1.2.3");
        EXPECT_STREQ(data + length + 16, "127.0.0.1");
        EXPECT_EQ(data[length + 32], 0x5A);  // nothing beyond the data
    } else {
        EXPECT_STREQ(data, c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, Property,
                         ::testing::Values(PropertyCase{"ByIP", "Py_IPNotMatchByIP", "10.1.2.3", 32, 0},
                                           PropertyCase{"ByURI", "Py_IPNotMatchByURI", "Test:SN5", 32, 0},
                                           PropertyCase{"BySN", "Py_IPNotMatchBySN", "SN5", 32, 0},
                                           PropertyCase{"OneByteTooMany", "Py_IPNotMatchByIP", "10.1.2.3", 33, -15},
                                           PropertyCase{"OneByteShort", "Py_IPNotMatchByIP", "10.1.2.3", 31, -15},
                                           PropertyCase{"NoSuchCamera", "Py_IPNotMatchByIP", "10.1.2.4", 32, -15},
                                           PropertyCase{"UnknownKey", "Py_IPNotMatchByAlias", "10.1.2.3", 32, -15},
                                           // The size ends before the text's NUL: the text is not read beyond it.
                                           PropertyCase{"NoNulWithinTheSize", "Py_IPNotMatchByIP", "10.1.2.3", 0, -15}),
                         [](const ::testing::TestParamInfo<PropertyCase>& info) { return info.param.name; });

TEST_F(Query, PropertySizeAndPointerChecks) {
    char data[64] = "127.0.0.2";
    EXPECT_EQ(manager->GetProperty("Py_IPNotMatchByIP", data, -1), -15);
    EXPECT_EQ(manager->GetProperty("Py_IPNotMatchByIP", data, 0), -15);
    EXPECT_EQ(manager->GetProperty("Py_IPNotMatchByIP", nullptr, 41), -8);
    EXPECT_EQ(manager->GetProperty(nullptr, data, 41), -15);
    // Several records with the text: the last in list order answers.
    Hear("SN6", "127.0.0.2", 0, "", "127.0.0.9");
    Pass();
    EXPECT_EQ(manager->GetProperty("Py_IPNotMatchByIP", data, 41), 0);
    EXPECT_STREQ(data + 9, "127.0.0.2");
    EXPECT_STREQ(data + 25, "127.0.0.9");
}

}  // namespace
}  // namespace managertest
