#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "Mutex.h"

// The host-side HTTP file server that cameras fetch files from (GET) and post files to
// ("/upload"). Each library that carries it has its own instance; all of them listen on
// port 8080 of the host address that faces the camera, so only one can listen at a time.
//
// The settings are plain members written by the controlling thread before `reStart`; a
// start takes a copy of them, so a change reaches the server with the next restart.
// Connections are served side by side by a small pool (HttpConnections.h), each request
// within its own time budget; uploads are stored one at a time.
class WebServer {
public:
    // The library's instance, created on first use and never freed.
    static WebServer* getInstance();

    // The argument is not used: the kit's server always starts on port 8080.
    explicit WebServer(unsigned int port);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // The folder served to GET requests; a null folder leaves the current one.
    void setDocumentRoot(const char* folder);
    const char* getDocumentRoot() const;
    void setPort(unsigned short port);
    unsigned short getPort() const;
    bool isRunning() const;

    // 0 on success (or when it runs already), -1 when it could not listen.
    int start() EXCLUDES(m_control);
    // Cuts the connections still sending a request at once and the replies in hand after a
    // short grace; returns once the server's threads have ended.
    void stop() EXCLUDES(m_control);
    // stop, then start; the start's result.
    int reStart() EXCLUDES(m_control);

    std::string m_host;
    std::string m_uploadDir = ".";
    std::string m_uploadName;
    std::string m_uploadNameMarker;
    // Stored by the callers with the upload settings; the server does not use them.
    int32_t m_uploadParam1 = 0;
    int32_t m_uploadParam2 = 0;

private:
    struct Run;

    int startLocked() REQUIRES(m_control);
    void stopLocked() REQUIRES(m_control);

    unsigned short m_port = 8080;
    std::string m_documentRoot = ".";
    // Set after a successful start, cleared by stop.
    std::atomic<bool> m_running{false};
    // Serialises start, stop and reStart.
    Mutex m_control;
    std::unique_ptr<Run> m_run GUARDED_BY(m_control);
};
