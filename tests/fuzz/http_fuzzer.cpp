// HTTP requests to the file server, as a camera or anything else on the network may send
// them: served files, uploads with any numbers, heads of any size sent in pieces. Servers
// listen on loopback, so the target runs in its own network namespace.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "WebServer.h"

namespace {

using fuzzcheck::Check;

// Every folder level above the upload folder is watched, so that a name climbing out of it
// by up to four levels lands in the watched tree.
std::string g_root;
std::string g_uploadDir;
std::set<std::string> g_expected;  // files outside the upload folder
const std::string kSecret = "secret-outside-the-served-folder";

struct Server {
    unsigned short port;
    std::string uploadName;
    std::string marker;
    std::unique_ptr<WebServer> server;
};
// A camera's usual upload, one whose configured name would leave the folder, and one cut by
// its marker as calibration files are.
Server g_servers[] = {
    {18080, "intrinsic_cal.bin", "", nullptr},
    {18081, "../escape.bin", "", nullptr},
    {18082, "rangeOffset_0_SN0123456789ABCDEF.bin", "_SN", nullptr},
};

void ListFiles(const std::string& folder, std::set<std::string>& out) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "/" + name;
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0) continue;
        if (S_ISDIR(status.st_mode)) {
            if (path + "/" != g_uploadDir) ListFiles(path, out);
        } else {
            out.insert(path);
        }
    }
    closedir(dir);
}

void CheckNothingOutsideTheUploadFolder() {
    std::set<std::string> files;
    ListFiles(g_root, files);
    for (const auto& file : files) {
        Check(g_expected.count(file) == 1, "file written outside the upload folder:", file);
    }
    struct stat status {};
    for (const char* top : {"/escape.bin", "/tmp/escape.bin"}) {
        Check(lstat(top, &status) != 0, "file written outside the upload folder:", top);
    }
}

int Connect(unsigned short port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    const sockaddr_in address = fuzzcheck::Address("127.0.0.1", port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

// The whole reply, until the server closes or 15 s have passed.
std::string ReadReply(int fd) {
    std::string reply;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    char buf[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        Check(left.count() > 0, "the server holds a finished request for 15 s");
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        const ssize_t n = recv(fd, buf, sizeof(buf), 0);
        if (n <= 0) return reply;
        reply.append(buf, static_cast<size_t>(n));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_root = fuzzcheck::MakeRunFolder("http");
    std::string folder = g_root;
    for (const char* level : {"a", "b", "c"}) {
        fuzzcheck::WriteBytes(folder + "/secret.txt", kSecret.data(), kSecret.size());
        folder += std::string("/") + level;
        mkdir(folder.c_str(), 0755);
    }
    fuzzcheck::WriteBytes(folder + "/secret.txt", kSecret.data(), kSecret.size());
    const std::string docs = folder + "/docs";
    mkdir(docs.c_str(), 0755);
    const std::string image = "firmware image bytes";
    fuzzcheck::WriteBytes(docs + "/firmware.img", image.data(), image.size());
    g_uploadDir = folder + "/upload/";
    mkdir(g_uploadDir.c_str(), 0755);
    ListFiles(g_root, g_expected);
    for (Server& s : g_servers) {
        s.server = std::make_unique<WebServer>(s.port);
        s.server->setPort(s.port);
        s.server->m_host = "127.0.0.1";
        s.server->m_uploadDir = g_uploadDir;
        s.server->m_uploadName = s.uploadName;
        s.server->m_uploadNameMarker = s.marker;
        s.server->setDocumentRoot(docs.c_str());
        if (s.server->reStart() != 0) fuzzcheck::Fail("server did not start; run in a network namespace", "");
    }
    return 0;
}

// Input: a server byte, a piece size byte (the request goes out in pieces of that many bytes,
// 0: at once), a repeat count byte and a 16-bit length: the first `length` bytes of the request
// are sent `repeat` extra times ahead of it (a huge head), then the request's bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::Reader in(data, size);
    const Server& target = g_servers[in.Byte() % 3];
    const uint8_t piece = in.Byte();
    const uint8_t repeat = in.Byte();
    const uint16_t repeatLength = in.Word();
    const std::vector<uint8_t> request = in.Rest();

    std::string bytes;
    const std::string repeated(request.begin(), request.begin() + std::min<size_t>(repeatLength, request.size()));
    for (int i = 0; i < repeat * 64 && !repeated.empty(); ++i) bytes += repeated;
    bytes.append(request.begin(), request.end());

    const int fd = Connect(target.port);
    Check(fd >= 0, "the server does not accept");
    const size_t step = piece == 0 ? bytes.size() : piece;
    for (size_t at = 0; at < bytes.size(); at += step) {
        SendAll(fd, bytes.data() + at, std::min(step, bytes.size() - at));
    }
    shutdown(fd, SHUT_WR);
    const std::string reply = ReadReply(fd);
    close(fd);
    Check(reply.find(kSecret) == std::string::npos, "a file outside the served folder was served");
    Check(reply.empty() || reply.compare(0, 5, "HTTP/") == 0, "a reply that is not HTTP");
    CheckNothingOutsideTheUploadFolder();
    return 0;
}
