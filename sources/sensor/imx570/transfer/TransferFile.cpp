#include "TransferFile.h"

#include "StatusCodes.h"
#include "TransferRequest.h"
#include "TransferWorker.h"
#include "WebServer.h"
#include "log.h"

namespace {

constexpr unsigned int kServerPort = 8080;      // where the camera fetches and posts calibration files
const char* const kUploadFolder = "./Config/";  // where decoding and filtering read them

}  // namespace

TransferFile::TransferFile(Protocol& protocol)
    : m_protocol(protocol), m_server(std::make_unique<WebServer>(kServerPort)) {}

TransferFile::~TransferFile() {
    StopAndWait();
    std::lock_guard<std::mutex> lock(m_control);
    m_worker.reset();
}

bool TransferFile::IsRunning() const {
    std::lock_guard<std::mutex> lock(m_control);
    return m_worker && !m_worker->Finished();
}

int TransferFile::Start(FileTransferParams& params) {
    std::lock_guard<std::mutex> lock(m_control);
    CommonControl* control = m_protocol.GetCommonControl();
    if (!control) return status::kFailed;
    const char* tag = control->GetDeviceSN();
    LOG_DEVICE(tag, "%d %.*s %d 0x%x %d %d", params.type, static_cast<int>(sizeof(params.fileName)), params.fileName,
               static_cast<int>(params.fileLength), static_cast<int8_t>(params.checkSum), params.direction,
               params.number);
    if (m_worker && !m_worker->Finished()) {
        LOG_DEVICE(tag, "a transfer is running, type:%d is refused.", params.type);
        return status::kFailed;
    }
    // The previous worker has finished; wait for its thread to end before reusing the server.
    m_worker.reset();

    const TransferRequest request(params);
    if (request.Check(tag) != 0) return status::kInvalidParameter;
    const char* host = control->GetHostIP();
    m_server->m_host = host ? host : "null";
    if (request.ToCamera()) {
        m_server->setDocumentRoot(request.Folder().c_str());
        m_server->m_uploadDir.clear();
        m_server->m_uploadName.clear();
        m_server->m_uploadNameMarker.clear();
    } else {
        m_server->m_uploadDir = kUploadFolder;
        m_server->m_uploadName = request.UploadName();
        m_server->m_uploadNameMarker = request.FileName();
    }
    m_server->m_uploadParam1 = 0;
    m_server->m_uploadParam2 = 0;
    if (m_server->reStart() != 0) return status::kServerFailed;

    const int ret = m_protocol.TransferFile(params);
    if (ret != 0) {
        m_server->stop();
        return ret;
    }
    m_worker = std::make_shared<TransferWorker>(m_protocol, *m_server, params);
    m_worker->Start();
    return 0;
}

void TransferFile::StopAndWait() {
    std::shared_ptr<TransferWorker> worker;
    {
        std::lock_guard<std::mutex> lock(m_control);
        worker = m_worker;
    }
    if (!worker) return;
    worker->Stop();
    // A callback that stops its own transfer: the worker ends once the callback returns.
    if (worker->OnWorkerThread()) return;
    worker->Join();
}
