#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "DeviceCommonProtocol.h"
#include "LogCapture.h"
#include "ScriptedIO.h"
#include "TransferController.h"
#include "TransferReports.h"

namespace transfertest {

using Bytes = std::vector<uint8_t>;

constexpr int kCmdTransfer = 29;
constexpr int kCmdReboot = 18;
constexpr int kCmdHeartbeat = 156;

// The camera as a script: the transfer states its polls report, in order (the last one
// repeats), and the results of the host's sets. `kind` is 1 (firmware) or 3 (JSON).
struct CameraScript {
    uint8_t kind = 1;
    std::vector<std::pair<int, int>> states;
    int checksumResult = 0;
    int goOnResult = 0;
    int queryResult = 0;
    int heartbeatResult = 0;
};

// Lets one command through at a time, as the socket transport does: the worker's polls and
// the application's commands meet on one command set.
class SerialIO : public IO {
public:
    explicit SerialIO(std::unique_ptr<testsupport::ScriptedIO> io) : m_io(std::move(io)) {}
    int OpenDevice() override {
        return Locked([&] { return m_io->OpenDevice(); });
    }
    int CloseDevice() override {
        return Locked([&] { return m_io->CloseDevice(); });
    }
    int SetCmd(int cmd, char* buf, int bufSize, unsigned char len, CMDTYPE type) override {
        return Locked([&] { return m_io->SetCmd(cmd, buf, bufSize, len, type); });
    }
    int ReadData(unsigned char* buf, int capacity, int* len) override { return m_io->ReadData(buf, capacity, len); }
    bool DataLinkLost() const override { return m_io->DataLinkLost(); }
    void SetDataLinkLostHook(std::function<void()> hook) override { m_io->SetDataLinkLostHook(std::move(hook)); }
    const char* GetHostIp() const override { return m_io->GetHostIp(); }
    const char* GetDeviceSN() const override { return m_io->GetDeviceSN(); }
    void Shutdown() override { m_io->Shutdown(); }

private:
    template <typename F>
    int Locked(F f) {
        std::lock_guard<std::mutex> guard(m_lock);
        return f();
    }
    std::mutex m_lock;
    std::unique_ptr<testsupport::ScriptedIO> m_io;
};

// A real command set over a scripted transport that plays `script`.
class ScriptedCamera {
public:
    explicit ScriptedCamera(CameraScript script) : m_script(std::move(script)) {
        auto io = std::make_unique<testsupport::ScriptedIO>();
        m_io = io.get();
        m_io->deviceSN = "CAM1";
        m_io->SetResponder([this](const testsupport::ScriptedIO::Sent& sent) { return Answer(sent); });
        protocol = std::make_unique<DeviceCommonProtocol>(std::make_unique<SerialIO>(std::move(io)),
                                                          [](linktiming::milliseconds) {});
    }

    testsupport::ScriptedIO& io() { return *m_io; }
    // Read once the worker has ended.
    std::vector<Bytes> Sets(uint8_t step) const {
        std::vector<Bytes> out;
        for (const auto& s : m_io->SentCommands())
            if (s.cmd == kCmdTransfer && s.type == CMDTYPE_SET && s.payload.size() == 10 && s.payload[1] == step)
                out.push_back(s.payload);
        return out;
    }
    int Count(int cmd) const {
        int n = 0;
        for (const auto& s : m_io->SentCommands()) n += s.cmd == cmd;
        return n;
    }

    std::unique_ptr<DeviceCommonProtocol> protocol;

private:
    testsupport::ScriptedIO::Reply Answer(const testsupport::ScriptedIO::Sent& sent) {
        if (sent.cmd == kCmdHeartbeat) return {m_script.heartbeatResult, {}};
        if (sent.cmd != kCmdTransfer || sent.payload.size() != 10) return {};
        if (sent.type == CMDTYPE_SET) return {sent.payload[1] == 2 ? m_script.checksumResult : m_script.goOnResult, {}};
        if (m_script.queryResult != 0 || m_script.states.empty()) return {m_script.queryResult, {}};
        const auto state = m_script.states[std::min(m_next, m_script.states.size() - 1)];
        ++m_next;
        Bytes data(10, 0);
        const size_t at = m_script.kind == 1 ? 1 : 2;
        data[at] = static_cast<uint8_t>(state.first);
        data[at + 1] = static_cast<uint8_t>(state.second);
        return {0, data};
    }

    CameraScript m_script;
    size_t m_next = 0;
    testsupport::ScriptedIO* m_io = nullptr;
};

inline Bytes StateRecord(uint8_t kind, uint8_t state, uint32_t p1, uint32_t p2) {
    Bytes b{kind, state};
    for (uint32_t v : {p1, p2})
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return b;
}

constexpr TransferController::Timing Quick(int waitLimit) {
    return TransferController::Timing{std::chrono::milliseconds(1), waitLimit};
}

}  // namespace transfertest
