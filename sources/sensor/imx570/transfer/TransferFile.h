#pragma once
#include <memory>
#include <mutex>

#include "FileTransferParams.h"
#include "Protocol.h"

class TransferWorker;
class WebServer;

// Moves a calibration file between the host and the camera: a host file is served by the
// plug-in's own HTTP server for the camera to fetch, or the camera posts one of its files,
// stored in "./Config/". After the start command a worker polls the camera and reports each
// poll to the request's callback, with no lock of the plug-in held; it stops the server
// when it ends. One transfer at a time: both would reconfigure the one server.
class TransferFile {
public:
    // Borrows the command set, which must outlive this object.
    explicit TransferFile(Protocol& protocol);
    // Stops and waits for a running transfer.
    ~TransferFile();
    TransferFile(const TransferFile&) = delete;
    TransferFile& operator=(const TransferFile&) = delete;

    // 0 once the camera accepted the start and the worker runs; the outcome arrives through
    // the callback. -1 while another transfer runs or without a command interface, -15 for a
    // request that cannot be sent (the server is not touched), -22 when the server cannot
    // listen, else the start command's error.
    int Start(FileTransferParams& params);

    // Ends a running transfer and waits until its worker is done with the command set and
    // the server: after the poll in flight and its callback. Called from the worker itself
    // (a callback that closes the plug-in) it asks the worker to end and does not wait.
    // The callback may stop the transfer or close the plug-in, never destroy it.
    void StopAndWait();

    bool IsRunning() const;

private:
    Protocol& m_protocol;
    std::unique_ptr<WebServer> m_server;
    // Orders Start against StopAndWait; never held while the worker is waited for.
    mutable std::mutex m_control;
    std::shared_ptr<TransferWorker> m_worker;
};
