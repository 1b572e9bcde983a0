#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "IO.h"

namespace testsupport {

// A transport that records every command and answers from a script, for command-set
// tests without sockets.
class ScriptedIO : public IO {
public:
    struct Sent {
        int cmd;
        CMDTYPE type;
        std::vector<uint8_t> payload;  // the first min(len, 64) bytes, as the wire carries
        int bufSize;
    };
    struct Reply {
        int result = 0;
        // Copied into the caller's buffer (at most bufSize bytes) for commands that read a
        // reply; nullopt leaves the buffer as the caller prepared it (a reply without data;
        // the socket transport reports a missing match as -104).
        std::optional<std::vector<uint8_t>> data;
    };
    using Responder = std::function<Reply(const Sent&)>;

    // Replies are used in order; once they run out, the responder answers (by default a
    // result of 0 with no data).
    void Push(Reply reply) { m_replies.push_back(std::move(reply)); }
    void Push(int result, std::optional<std::vector<uint8_t>> data = std::nullopt) {
        Push(Reply{result, std::move(data)});
    }
    void SetResponder(Responder responder) { m_responder = std::move(responder); }

    const std::vector<Sent>& SentCommands() const { return m_sent; }
    void ClearSent() { m_sent.clear(); }

    int openResult = 0;
    int opens = 0;
    int closes = 0;
    int shutdowns = 0;
    bool dataLinkLost = false;
    std::string hostIp = "127.0.0.1";
    std::string deviceSN = "scripted";

    int OpenDevice() override;
    int CloseDevice() override;
    int SetCmd(int cmd, char* buf, int bufSize, unsigned char len, CMDTYPE type) override;
    int ReadData(unsigned char* buf, int capacity, int* len) override;
    bool DataLinkLost() const override { return dataLinkLost; }
    // A test plays the receive thread that finds the data connection lost.
    void SetDataLinkLostHook(std::function<void()> hook) override { dataLinkLostHook = std::move(hook); }
    std::function<void()> dataLinkLostHook;
    const char* GetHostIp() const override { return hostIp.c_str(); }
    const char* GetDeviceSN() const override { return deviceSN.c_str(); }
    void Shutdown() override { ++shutdowns; }

private:
    std::vector<Sent> m_sent;
    std::deque<Reply> m_replies;
    Responder m_responder;
};

}  // namespace testsupport
