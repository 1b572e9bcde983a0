#pragma once
#include "TempDir.h"
#include "WebServer.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace httptest {

constexpr unsigned short kTestPort = 18080;
constexpr const char* kLoopback = "127.0.0.1";

// A test instance on 127.0.0.1:kTestPort with the kit's JSON-mode upload settings, its
// upload folder and log inside a fresh temporary folder.
class HttpTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string UploadDir() const { return m_dir.Path() + "/Config/"; }
    std::string LogText() const;
    httplib::Client Client(unsigned short port = kTestPort) const;
    // A chunk whose declared length and checksum match its bytes.
    httplib::Result Upload(const std::string& name, const std::string& offset, const std::string& body,
                           unsigned short port = kTestPort) const;
    httplib::Result UploadWith(const std::string& name, const std::string& offset, const std::string& checksum,
                               const std::string& length, const std::string& body) const;

    testsupport::TempDir m_dir;
    std::unique_ptr<WebServer> m_server;
};

std::string Checksum(const std::string& bytes);

}  // namespace httptest
