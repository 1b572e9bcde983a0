#include "ScriptedIO.h"

#include <algorithm>
#include <cstring>

namespace testsupport {

int ScriptedIO::OpenDevice() {
    ++opens;
    return openResult;
}

int ScriptedIO::CloseDevice() {
    ++closes;
    return 0;
}

int ScriptedIO::SetCmd(int cmd, char* buf, int bufSize, unsigned char len, CMDTYPE type) {
    const size_t n = buf ? std::min<size_t>(len, 64) : 0;
    Sent sent{cmd, type, std::vector<uint8_t>(buf, buf + n), bufSize};
    m_sent.push_back(sent);
    Reply reply;
    if (!m_replies.empty()) {
        reply = std::move(m_replies.front());
        m_replies.pop_front();
    } else if (m_responder) {
        reply = m_responder(sent);
    }
    // As on the wire: a set with an id below 0x80 reads no reply.
    const bool readsReply = type != CMDTYPE_SET || (cmd & 0x80) != 0;
    if (reply.result == 0 && readsReply && reply.data && !reply.data->empty() && buf && bufSize > 0) {
        std::memcpy(buf, reply.data->data(), std::min<size_t>(reply.data->size(), static_cast<size_t>(bufSize)));
    }
    return reply.result;
}

int ScriptedIO::ReadData(unsigned char*, int, int*) { return -1; }

}  // namespace testsupport
