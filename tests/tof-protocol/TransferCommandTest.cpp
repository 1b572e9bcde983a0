// The start and status commands of a calibration-file transfer, and what the request makes
// of its name.
#include <cstring>
#include <string>

#include "ProtocolFixture.h"
#include "TransferRequest.h"

namespace toftest {
namespace {

FileTransferParams Request(int type, const std::string& name, uint8_t direction, uint8_t number = 0) {
    FileTransferParams p{};
    p.type = type;
    std::strncpy(p.fileName, name.c_str(), sizeof(p.fileName) - 1);
    p.direction = direction;
    p.number = number;
    return p;
}

Bytes HostField(const std::string& host) {
    Bytes out(16, 0);
    std::memcpy(out.data(), host.data(), std::min<size_t>(host.size(), 16));
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST_F(ProtocolFixture, HostToCameraOffersTheBaseName) {
    FileTransferParams p = Request(4, "C:\\data\\intrinsic.bin", 0);
    p.fileLength = 614400;  // 0x00096000
    p.checkSum = 0xA5;
    ASSERT_EQ(protocol.TransferFile(p), 0);
    const Bytes name{'i', 'n', 't', 'r', 'i', 'n', 's', 'i', 'c', '.', 'b', 'i', 'n'};
    const Bytes payload = Cat({{4, 1}, HostField("127.0.0.1"), {0x00, 0x60, 0x09, 0x00}, {0xA5}, {13, 0, 0, 0}, name});
    ASSERT_EQ(payload.size(), 40u);
    EXPECT_EQ(Sent(), (std::vector<Wire>{{0x1d, CMDTYPE_SET, payload, 40}}));

    const TransferRequest request(p);
    EXPECT_EQ(request.Folder(), "C:/data");
    EXPECT_EQ(request.BaseName(), "intrinsic.bin");
}

TEST_F(ProtocolFixture, NumberedHostToCameraCarriesTheNumberFirst) {
    FileTransferParams p = Request(5, "/tmp/cal/p.bin", 0, 2);
    p.fileLength = 3;
    p.checkSum = 7;
    ASSERT_EQ(protocol.TransferFile(p), 0);
    const Bytes payload =
        Cat({{5, 1}, HostField("127.0.0.1"), {2}, {3, 0, 0, 0}, {7}, {5, 0, 0, 0}, {'p', '.', 'b', 'i', 'n'}});
    EXPECT_EQ(Sent(), (std::vector<Wire>{{0x1d, CMDTYPE_SET, payload, 33}}));
}

TEST_F(ProtocolFixture, CameraToHostSendsTheHeadOnly) {
    control.hostIp = "192.168.100.200";
    ASSERT_EQ(protocol.TransferFile(Request(6, "SN0123456789ABCDE", 1, 3)), 0);
    const Bytes payload = Cat({{6, 2}, HostField("192.168.100.200"), {3}});
    EXPECT_EQ(Sent(), (std::vector<Wire>{{0x1d, CMDTYPE_SET, payload, 19}}));
    ASSERT_EQ(protocol.TransferFile(Request(8, "x", 7)), 0);
    EXPECT_EQ(Sent().back().payload, Cat({{8, 2}, HostField("192.168.100.200")}));
}

TEST_F(ProtocolFixture, HostAddressIsCutToItsField) {
    control.hostIp = "1234567890.234567890";
    ASSERT_EQ(protocol.TransferFile(Request(7, "x", 1)), 0);
    EXPECT_EQ(Sent().back().payload, Cat({{7, 2}, HostField("1234567890.23456")}));
}

TEST_F(ProtocolFixture, FailedStartIsLoggedAndReturned) {
    control.Push(-104);
    EXPECT_EQ(protocol.TransferFile(Request(4, "a", 1)), -104);
    EXPECT_TRUE(log.Contains("ret:-104 is failed."));
}

struct BadRequest {
    const char* name;
    FileTransferParams params;
};

void PrintTo(const BadRequest& c, std::ostream* os) { *os << c.name; }

class BadRequestTest : public ProtocolFixture, public ::testing::WithParamInterface<BadRequest> {};

TEST_P(BadRequestTest, RefusedWithNothingSent) {
    EXPECT_EQ(protocol.TransferFile(GetParam().params), -15);
    EXPECT_NE(TransferRequest(GetParam().params).Check("t"), 0);
    EXPECT_TRUE(Sent().empty());
}

FileTransferParams Unterminated() {
    FileTransferParams p = Request(4, "", 0);
    std::memset(p.fileName, 'a', sizeof(p.fileName));
    p.fileName[3] = '/';
    return p;
}

INSTANTIATE_TEST_SUITE_P(Requests, BadRequestTest,
                         ::testing::Values(BadRequest{"firmwareType", Request(1, "/tmp/a.bin", 0)},
                                           BadRequest{"jsonType", Request(3, "x", 1)},
                                           BadRequest{"typeAboveRange", Request(9, "/tmp/a.bin", 0)},
                                           BadRequest{"negativeType", Request(-4, "/tmp/a.bin", 0)},
                                           BadRequest{"bareName", Request(4, "intrinsic.bin", 0)},
                                           BadRequest{"fileInRoot", Request(4, "/intrinsic.bin", 0)},
                                           BadRequest{"folderOnly", Request(4, "/tmp/cal/", 0)},
                                           BadRequest{"nameTooLong", Request(4, "/tmp/" + std::string(38, 'n'), 0)},
                                           BadRequest{"numberedNameTooLong",
                                                      Request(6, "/tmp/" + std::string(37, 'n'), 0)},
                                           BadRequest{"unterminatedName", Unterminated()}),
                         [](const ::testing::TestParamInfo<BadRequest>& info) { return std::string(info.param.name); });

TEST_F(ProtocolFixture, LongestNamesThatFitAreSent) {
    ASSERT_EQ(protocol.TransferFile(Request(4, "/tmp/" + std::string(37, 'n'), 0)), 0);
    EXPECT_EQ(Sent().back().payload.size(), 64u);
    ASSERT_EQ(protocol.TransferFile(Request(6, "/tmp/" + std::string(36, 'n'), 0)), 0);
    EXPECT_EQ(Sent().back().payload.size(), 64u);
}

struct UploadName {
    int type;
    uint8_t number;
    const char* expected;
};

class UploadNameTest : public ::testing::TestWithParam<UploadName> {};

TEST_P(UploadNameTest, KindWordTextNumberAndExtension) {
    const FileTransferParams p = Request(GetParam().type, "SN42", 1, GetParam().number);
    EXPECT_EQ(TransferRequest(p).UploadName(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Types, UploadNameTest,
                         ::testing::Values(UploadName{4, 9, "intrinsic_SN42.bin"},
                                           UploadName{5, 0, "planeness_SN42_0.bin"},
                                           UploadName{6, 3, "rangeOffset_SN42_3.bin"},
                                           UploadName{7, 9, "ir_background_SN42.bin"},
                                           UploadName{8, 9, "ConfidenceFactor_SN42.bin"}, UploadName{3, 9, ""}));

TEST_F(ProtocolFixture, StatusPollAsksForTypeAndNumberAndReadsSignedBytes) {
    control.Push(0, Bytes{6, 3, 0xFF, 9});
    TransferStatus status{};
    ASSERT_EQ(protocol.GetTransferStatus(Request(6, "x", 1, 3), status), 0);
    EXPECT_EQ(status.type, 6);
    EXPECT_EQ(status.number, 3);
    EXPECT_EQ(status.status, -1);
    ASSERT_EQ(protocol.GetTransferStatus(Request(4, "x", 1, 3), status), 0);
    EXPECT_EQ(Sent(), (std::vector<Wire>{{0x1d, CMDTYPE_GET, {6, 3}, 4}, {0x1d, CMDTYPE_GET, {4, 0}, 4}}));
}

TEST_F(ProtocolFixture, FailedStatusPollKeepsTheRecordAndWritesNoLine) {
    control.Push(-104);
    TransferStatus status{1, 2, 3};
    EXPECT_EQ(protocol.GetTransferStatus(Request(4, "x", 1), status), -104);
    EXPECT_EQ(status.status, 3);
    EXPECT_FALSE(log.Contains("is failed"));
}

}  // namespace
}  // namespace toftest
