#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CommonControl.h"

namespace testsupport {

// A command interface for plug-in tests: records every command, answers from a script.
// Thread-safe, since plug-ins call it from their own threads too.
class FakeCommonControl : public CommonControl {
public:
    struct Sent {
        int cmd;
        int cmdType;
        std::vector<uint8_t> payload;  // the first len bytes of the caller's buffer
        int bufSize;
    };
    struct Reply {
        int result = 0;
        // Copied into the caller's buffer (at most bufSize bytes); nullopt leaves it as is.
        std::optional<std::vector<uint8_t>> data;
    };
    using Responder = std::function<Reply(const Sent&)>;

    // Replies are used in order; once they run out, the responder answers (by default a
    // result of 0 with no data).
    void Push(Reply reply);
    void Push(int result, std::optional<std::vector<uint8_t>> data = std::nullopt);
    void SetResponder(Responder responder);

    std::vector<Sent> SentCommands() const;
    void ClearSent();

    int SetCmd(int cmd, char* buf, int bufSize, unsigned char len, int cmdType) override;
    const char* GetHostIP() override { return hostIp.c_str(); }
    const char* GetDeviceSN() override { return deviceSN.c_str(); }
    int SetStreamState(bool on) override;

    std::string hostIp = "127.0.0.1";
    std::string deviceSN = "fake-sn";
    int streamStateResult = 0;
    std::vector<bool> streamStates;  // every SetStreamState argument, in order

private:
    mutable std::mutex m_mutex;
    std::vector<Sent> m_sent;
    std::deque<Reply> m_replies;
    Responder m_responder;
};

}  // namespace testsupport
