#include "TransferWorker.h"

#include "Protocol.h"
#include "ToFCommands.h"
#include "WebServer.h"
#include "log.h"

TransferWorker::TransferWorker(Protocol& protocol, WebServer& server, const FileTransferParams& params)
    : StoppableThread("TransferFile"), m_protocol(protocol), m_server(server), m_params(params) {}

TransferWorker::~TransferWorker() {
    Stop();
    Join();
}

void TransferWorker::Run() {
    m_threadId = std::this_thread::get_id();
    const char* tag = "null";
    while (IsRunning() && m_protocol.IsOpen()) {
        CommonControl* control = m_protocol.GetCommonControl();
        if (!control) break;
        tag = control->GetDeviceSN();
        TransferStatus status{};
        if (m_protocol.GetTransferStatus(m_params, status) != 0) break;
        if (m_params.callback) m_params.callback(status.type, status.number, status.status, m_params.userData);
        if (status.status == tofcmd::kTransferDone) {
            LOG_DEVICE(tag, "transfer OK");
            break;
        }
        if (status.status == tofcmd::kTransferFailed) {
            LOG_DEVICE(tag, "transfer NG");
            break;
        }
    }
    m_server.stop();
    if (m_protocol.GetCommonControl()) LOG_DEVICE(tag, "exit");
    m_finished = true;
}
