#include "FakeCommonControl.h"

#include <algorithm>
#include <cstring>

namespace testsupport {

void FakeCommonControl::Push(Reply reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replies.push_back(std::move(reply));
}

void FakeCommonControl::Push(int result, std::optional<std::vector<uint8_t>> data) {
    Push(Reply{result, std::move(data)});
}

void FakeCommonControl::SetResponder(Responder responder) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_responder = std::move(responder);
}

std::vector<FakeCommonControl::Sent> FakeCommonControl::SentCommands() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sent;
}

void FakeCommonControl::ClearSent() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sent.clear();
}

int FakeCommonControl::SetCmd(int cmd, char* buf, int bufSize, unsigned char len, int cmdType) {
    Sent sent{cmd, cmdType, {}, bufSize};
    if (buf != nullptr) {
        sent.payload.assign(reinterpret_cast<uint8_t*>(buf), reinterpret_cast<uint8_t*>(buf) + len);
    }
    Reply reply;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sent.push_back(sent);
        if (!m_replies.empty()) {
            reply = std::move(m_replies.front());
            m_replies.pop_front();
        } else if (m_responder) {
            reply = m_responder(sent);
        }
    }
    if (reply.data && !reply.data->empty() && buf != nullptr && bufSize > 0) {
        size_t n = std::min(reply.data->size(), static_cast<size_t>(bufSize));
        std::memcpy(buf, reply.data->data(), n);
    }
    return reply.result;
}

int FakeCommonControl::SetStreamState(bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    streamStates.push_back(on);
    return streamStateResult;
}

}  // namespace testsupport
