#include "WebServer.h"

#include "HttpConnections.h"
#include "SocketOption.h"
#include "StatusCodes.h"
#include "log.h"

#include <httplib.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <thread>

namespace {

constexpr unsigned short kPort = 8080;
const char* const kUploadRoute = "/upload";
// Larger requests are refused before their body is read.
constexpr size_t kMaxPayloadBytes = 3 * 1024 * 1024;
// Query values longer than these read as absent.
constexpr size_t kMaxNumberText = 39;
constexpr size_t kMaxNameText = 199;
constexpr size_t kMaxPathLength = 255;
// The widest values the upload's numbers may take: the offset is a file position, the
// declared length a signed 32-bit count, the checksum a 32-bit byte sum.
constexpr unsigned long long kMaxOffset = LONG_MAX;
constexpr unsigned long long kMaxDeclaredLength = INT32_MAX;
constexpr unsigned long long kMaxChecksum = UINT32_MAX;
constexpr auto kStopStep = std::chrono::milliseconds(20);
constexpr auto kStopLateAfter = std::chrono::seconds(2);

// What one run of the server uses, copied at start so the callers may change the
// members while it serves.
struct Settings {
    std::string host;
    unsigned short port;
    std::string documentRoot;
    std::string uploadDir;
    std::string uploadName;
    std::string uploadNameMarker;
};

struct Reply {
    int status;
    std::string body;
};

std::string Text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Text(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int length = vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    return length < 0 ? std::string() : std::string(buffer);
}

void QuietHandler(int) {}

// Only where the application left the default: its own handler or ignore stays.
void QuietenWhereDefault(int signalNumber) {
    struct sigaction current {};
    if (sigaction(signalNumber, nullptr, &current) != 0) {
        return;
    }
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) {
        return;
    }
    struct sigaction quiet {};
    quiet.sa_handler = QuietHandler;
    sigemptyset(&quiet.sa_mask);
    sigaction(signalNumber, &quiet, nullptr);
}

// SO_REUSEPORT would let a second server bind the same port and split the connections.
void ListenerOptions(socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    fcntl(sock, F_SETFD, FD_CLOEXEC);
}

bool ServesWholeDisk(const std::string& folder) {
    char resolved[PATH_MAX];
    return realpath(folder.c_str(), resolved) != nullptr && strcmp(resolved, "/") == 0;
}

std::string QueryText(const httplib::Request& request, const char* key, size_t maxLength) {
    std::string value = request.get_param_value(key);
    return value.size() > maxLength ? std::string() : value;
}

// The marker and the character before it are left out of the stored name, when the
// marker is neither at the start nor at the end of the name.
std::string StoredName(const std::string& name, const std::string& marker) {
    const size_t at = name.find(marker);
    if (at == std::string::npos || at < 1 || name.size() <= at + marker.size()) {
        return name;
    }
    return name.substr(0, at - 1) + name.substr(at + marker.size());
}

bool StaysInFolder(const std::string& fileName) {
    return !fileName.empty() && fileName.find('/') == std::string::npos && fileName.find("..") == std::string::npos;
}

// The whole text as a number from 0 to `most`, read at full width: no sign, no blank, nothing
// after it. Base 0 takes the "0x" and leading-zero forms too.
bool ParseNumber(const std::string& text, int base, unsigned long long most, unsigned long long& value) {
    if (text.empty() || !isdigit(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = strtoull(text.c_str(), &end, base);
    return errno == 0 && *end == '\0' && value <= most;
}

uint8_t ByteSum(const std::string& bytes) {
    unsigned sum = 0;
    for (const char byte : bytes) {
        sum += static_cast<unsigned char>(byte);
    }
    return static_cast<uint8_t>(sum);
}

// Bytes stored; fewer than asked for when a write fails (errno tells why).
size_t WriteAt(int fd, const char* data, size_t size, off_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t written = pwrite(fd, data + done, size - done, offset + static_cast<off_t>(done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            break;
        }
        done += static_cast<size_t>(written);
    }
    return done;
}

Reply StoreChunk(const std::string& path, const std::string& body, long long offset) {
    const int flags = O_WRONLY | O_CLOEXEC | (offset == 0 ? O_CREAT | O_TRUNC : 0);
    const int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) {
        const int error = errno;
        LOG_PRINTF("file:%s open is failed(%d).", path.c_str(), error);
        return {400, Text("open(%s): %d", path.c_str(), error)};
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || offset > static_cast<long long>(status.st_size)) {
        const long long size = static_cast<long long>(status.st_size);
        close(fd);
        // Writing there would leave a hole in the file.
        LOG_PRINTF("file:%s offset:%lld is beyond its end:%lld.", path.c_str(), offset, size);
        return {400, Text("offset (%s) beyond end: %lld %lld", path.c_str(), offset, size)};
    }
    const size_t written = WriteAt(fd, body.data(), body.size(), static_cast<off_t>(offset));
    const int writeError = errno;
    if (written != body.size()) {
        close(fd);
        LOG_PRINTF("file:%s write is failed(%d): %zu of %zu.", path.c_str(), writeError, written, body.size());
        return {400, Text("write(%s): %d", path.c_str(), writeError)};
    }
    if (close(fd) != 0) {
        const int error = errno;
        LOG_PRINTF("file:%s close is failed(%d).", path.c_str(), error);
        return {400, Text("close(%s): %d", path.c_str(), error)};
    }
    return {200, Text("%zu", written)};
}

Reply InvalidNumber(const std::string& path, const char* key, const std::string& text) {
    LOG_PRINTF("file:%s %s:%s is invalid.", path.c_str(), key, text.c_str());
    return {400, Text("%s (%s) invalid", key, path.c_str())};
}

Reply SaveUploadFile(const Settings& settings, const httplib::Request& request) {
    const std::string lengthText = QueryText(request, "fileDatalength", kMaxNumberText);
    const std::string checksumText = QueryText(request, "checksum", kMaxNumberText);
    const std::string offsetText = QueryText(request, "offset", kMaxNumberText);
    const std::string name = QueryText(request, "name", kMaxNameText);
    LOG_PRINTF("name:%s,fileDatalenStr:%s,checkSumStr:%s", name.c_str(), lengthText.c_str(), checksumText.c_str());
    if (name.empty() || name != settings.uploadName) {
        LOG_PRINTF("expect file name:%s", settings.uploadName.c_str());
        return {400, "name required"};
    }
    const std::string fileName = StoredName(settings.uploadName, settings.uploadNameMarker);
    const std::string path = settings.uploadDir + fileName;
    if (!StaysInFolder(fileName) || path.size() > kMaxPathLength) {
        LOG_PRINTF("file:%s is refused: it would leave the upload folder or is too long.", path.c_str());
        return {400, "name refused"};
    }
    unsigned long long offset = 0;
    unsigned long long declaredLength = 0;
    unsigned long long checksum = 0;
    if (!ParseNumber(offsetText, 0, kMaxOffset, offset)) {
        return InvalidNumber(path, "offset", offsetText);
    }
    if (!ParseNumber(lengthText, 10, kMaxDeclaredLength, declaredLength)) {
        return InvalidNumber(path, "fileDatalength", lengthText);
    }
    if (!ParseNumber(checksumText, 10, kMaxChecksum, checksum)) {
        return InvalidNumber(path, "checksum", checksumText);
    }
    const int32_t declared = static_cast<int32_t>(declaredLength);
    const int32_t received = static_cast<int32_t>(request.body.size());
    const int8_t expected = static_cast<int8_t>(static_cast<uint8_t>(checksum));
    const int8_t computed = static_cast<int8_t>(ByteSum(request.body));
    if (declared != received) {
        LOG_PRINTF("file:%s check is failed. fileLength:%d, %d .", path.c_str(), declared, received);
        return {400, Text("check (%s) failed: %d %d %d %d", path.c_str(), declared, received, computed, expected)};
    }
    if (computed != expected) {
        LOG_PRINTF("file:%s check is failed. checksum:%d, %d.", path.c_str(), computed, expected);
        return {400, Text("check (%s) failed: %d %d", path.c_str(), computed, expected)};
    }
    Reply reply = StoreChunk(path, request.body, static_cast<long long>(offset));
    if (reply.status == 200) {
        LOG_PRINTF("save upload file:%s.", name.c_str());
    }
    return reply;
}

void LogServed(const httplib::Request& request, const httplib::Response& response) {
    // The raw path, as it came on the request line, without its query.
    const std::string uri = request.target.substr(0, request.target.find('?'));
    if (uri == kUploadRoute) {
        return;
    }
    const std::string length =
        response.has_header("Content-Length") ? response.get_header_value("Content-Length") : "?";
    LOG_PRINTF("%s %s %d %s", request.method.c_str(), uri.c_str(), response.status, length.c_str());
}

// The library's accept loop hands each socket over at once: the pool serves or refuses it.
class HandOver : public httplib::TaskQueue {
public:
    void enqueue(std::function<void()> task) override { task(); }
    void shutdown() override {}
};

class Listener : public httplib::Server {
public:
    Listener()
        : m_connections([this](httplib::Stream& stream, bool closeConnection, bool& connectionClosed) {
              return process_request(stream, closeConnection, connectionClosed, nullptr);
          }) {
        new_task_queue = [] { return new HandOver; };
    }
    // stop() of the library acts only while the accept loop runs, and only once per loop.
    void requestStop() {
        if (is_running() && svr_sock_ != INVALID_SOCKET) {
            stop();
        }
    }
    void stopConnections() { m_connections.Stop(); }

private:
    // Runs on the accept loop's thread, right after the accept.
    bool process_and_close_socket(socket_t sock) override {
        fcntl(sock, F_SETFD, FD_CLOEXEC);
        // A reply goes out in two writes, head and body: the body must not wait for the
        // camera to acknowledge the head (its stack delays that by 40 ms or more).
        SetSocketOption(sock, {IPPROTO_TCP, TCP_NODELAY, 1, "TCP_NODELAY"});
        m_connections.Take(sock);
        return true;
    }

    httpconn::ConnectionPool m_connections;
};

// Requests are served side by side; the uploads are not, so that each chunk is checked
// against the file as the one before it left it.
void Configure(Listener& server, const Settings& settings, Mutex& uploadLock) {
    server.set_socket_options(ListenerOptions);
    server.set_payload_max_length(kMaxPayloadBytes);
    const httplib::Server::Handler upload = [&settings, &uploadLock](const httplib::Request& request,
                                                                     httplib::Response& response) {
        LockGuard lock(uploadLock);
        const Reply reply = SaveUploadFile(settings, request);
        response.status = reply.status;
        response.set_content(reply.body, "text/plain");
    };
    server.Get(kUploadRoute, upload)
        .Post(kUploadRoute, upload)
        .Put(kUploadRoute, upload)
        .Patch(kUploadRoute, upload)
        .Delete(kUploadRoute, upload)
        .Options(kUploadRoute, upload);
    // Files only: a folder is never listed.
    if (!server.set_mount_point("/", settings.documentRoot)) {
        LOG_PRINTF("document root:%s is not a folder, no file is served.", settings.documentRoot.c_str());
    }
    server.set_logger(LogServed);
}

}  // namespace

struct WebServer::Run {
    Settings settings;
    Mutex uploadLock;  // held by each upload; it guards the files, no member
    Listener server;
    std::thread thread;
    std::future<void> finished;
};

WebServer* WebServer::getInstance() {
    static WebServer* const instanceServe = new WebServer(kPort);
    return instanceServe;
}

WebServer::WebServer(unsigned int) {}

WebServer::~WebServer() { stop(); }

void WebServer::setDocumentRoot(const char* folder) {
    if (folder != nullptr) {
        m_documentRoot = folder;
    }
}

const char* WebServer::getDocumentRoot() const { return m_documentRoot.c_str(); }

void WebServer::setPort(unsigned short port) { m_port = port; }

unsigned short WebServer::getPort() const { return m_port; }

bool WebServer::isRunning() const { return m_running; }

int WebServer::start() {
    LockGuard lock(m_control);
    return startLocked();
}

void WebServer::stop() {
    LockGuard lock(m_control);
    stopLocked();
}

int WebServer::reStart() {
    LockGuard lock(m_control);
    stopLocked();
    const int result = startLocked();
    if (result != status::kOk) {
        LOG_PRINTF("reStart(), start fail! result: %d", result);
    }
    return result;
}

int WebServer::startLocked() {
    if (m_running) {
        return status::kOk;
    }
    auto run = std::make_unique<Run>();
    run->settings = {
        m_host.empty() ? "0.0.0.0" : m_host, m_port, m_documentRoot, m_uploadDir, m_uploadName, m_uploadNameMarker};
    if (ServesWholeDisk(run->settings.documentRoot)) {
        LOG_PRINTF("document root:%s is refused: it would serve the whole disk.", m_documentRoot.c_str());
        return status::kFailed;
    }
    QuietenWhereDefault(SIGINT);
    QuietenWhereDefault(SIGTERM);
    Configure(run->server, run->settings, run->uploadLock);
    if (!run->server.bind_to_port(run->settings.host, run->settings.port)) {
        const std::string address = "http://" + m_host + ":" + std::to_string(m_port);
        LOG_PRINTF("Cannot listen on %s. Use http://ADDR:PORT or :PORT", address.c_str());
        LOG_PRINTF("updateServerParameters fail! result: %d", status::kFailed);
        return status::kFailed;
    }
    std::promise<void> done;
    run->finished = done.get_future();
    Listener& server = run->server;
    run->thread = std::thread([&server, done = std::move(done)]() mutable {
        server.listen_after_bind();
        done.set_value();
    });
    m_run = std::move(run);
    m_running = true;
    return status::kOk;
}

void WebServer::stopLocked() {
    m_running = false;
    if (!m_run) {
        return;
    }
    // The accept loop ends first (a stop before it began is repeated until the loop has
    // seen it); then the connections, each after the reply in hand.
    const auto begun = std::chrono::steady_clock::now();
    bool lateLogged = false;
    do {
        m_run->server.requestStop();
        if (!lateLogged && std::chrono::steady_clock::now() - begun > kStopLateAfter) {
            lateLogged = true;
            LOG_PRINTF("server thread is late, still waiting for it.");
        }
    } while (m_run->finished.wait_for(kStopStep) != std::future_status::ready);
    m_run->server.stopConnections();
    m_run->thread.join();
    m_run.reset();
}
