#pragma once
#include <atomic>
#include <thread>

#include "FileTransferParams.h"
#include "StoppableThread.h"

class Protocol;
class WebServer;

// Polls the camera for one calibration-file transfer, back to back, and hands each poll to
// the request's callback; ends on done, failed, a failed poll, a closed plug-in or Stop, and
// then stops the server.
class TransferWorker : public StoppableThread {
public:
    // Borrows both, which must outlive the thread; keeps its own copy of the request.
    TransferWorker(Protocol& protocol, WebServer& server, const FileTransferParams& params);
    ~TransferWorker() override;

    // True once the worker is done with the command set and the server.
    bool Finished() const { return m_finished; }
    bool OnWorkerThread() const { return m_threadId.load() == std::this_thread::get_id(); }

protected:
    void Run() override;

private:
    Protocol& m_protocol;
    WebServer& m_server;
    const FileTransferParams m_params;
    std::atomic<bool> m_finished{false};
    std::atomic<std::thread::id> m_threadId{};
};
