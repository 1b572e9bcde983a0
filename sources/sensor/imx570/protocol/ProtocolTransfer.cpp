// The calibration-file transfer commands of the ToF command set.
#include "Protocol.h"
#include "StatusCodes.h"
#include "ToFCommands.h"
#include "TransferRequest.h"
#include "log.h"

namespace {

constexpr int kStatusReply = 4;  // type, number, status and one byte the camera leaves unused

}  // namespace

int Protocol::TransferFile(const FileTransferParams& params) {
    const TransferRequest request(params);
    if (request.Check(Tag()) != 0) return status::kInvalidParameter;
    CommonControl* control = m_commonControl;
    if (!control) return status::kFailed;
    const char* host = control->GetHostIP();
    std::vector<uint8_t> payload = request.StartPayload(host ? host : "null");
    const int size = static_cast<int>(payload.size());
    return Command(tofcmd::kTransfer, payload.data(), size, size, CMDTYPE_SET);
}

int Protocol::GetTransferStatus(const FileTransferParams& params, TransferStatus& status) {
    std::vector<uint8_t> buf = TransferRequest(params).StatusRequest();
    const int sent = static_cast<int>(buf.size());
    buf.resize(kStatusReply, 0);
    const int ret = Exchange(tofcmd::kTransfer, buf.data(), kStatusReply, sent, CMDTYPE_GET);
    if (ret == 0)
        status = TransferStatus{static_cast<int8_t>(buf[0]), static_cast<int8_t>(buf[1]), static_cast<int8_t>(buf[2])};
    return ret;
}
