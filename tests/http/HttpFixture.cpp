#include "HttpFixture.h"

#include "log.h"

#include <sys/stat.h>

namespace httptest {

void HttpTest::SetUp() {
    ASSERT_EQ(LogCustom::Initance(m_dir.Path(), "http_test", "http_test", false), 0);
    ASSERT_EQ(mkdir(UploadDir().c_str(), 0755), 0);
    m_server = std::make_unique<WebServer>(0);
    m_server->setPort(kTestPort);
    m_server->m_host = kLoopback;
    m_server->setDocumentRoot(m_dir.Path().c_str());
    m_server->m_uploadDir = UploadDir();
    m_server->m_uploadName = "config.json";
}

void HttpTest::TearDown() {
    m_server.reset();
    LogCustom::Release();
}

std::string HttpTest::LogText() const { return testsupport::ReadFile(m_dir.File("http_test.txt")); }

httplib::Client HttpTest::Client(unsigned short port) const {
    httplib::Client client(kLoopback, port);
    client.set_connection_timeout(2);
    client.set_read_timeout(5);
    client.set_write_timeout(5);
    return client;
}

std::string Checksum(const std::string& bytes) {
    unsigned sum = 0;
    for (const char byte : bytes) {
        sum += static_cast<unsigned char>(byte);
    }
    return std::to_string(sum & 0xFF);
}

httplib::Result HttpTest::Upload(const std::string& name, const std::string& offset, const std::string& body,
                                 unsigned short port) const {
    const std::string target = "/upload?name=" + name + "&offset=" + offset + "&checksum=" + Checksum(body) +
                               "&fileDatalength=" + std::to_string(body.size());
    return Client(port).Post(target.c_str(), body, "application/octet-stream");
}

httplib::Result HttpTest::UploadWith(const std::string& name, const std::string& offset, const std::string& checksum,
                                     const std::string& length, const std::string& body) const {
    const std::string target =
        "/upload?name=" + name + "&offset=" + offset + "&checksum=" + checksum + "&fileDatalength=" + length;
    return Client().Post(target.c_str(), body, "application/octet-stream");
}

}  // namespace httptest
