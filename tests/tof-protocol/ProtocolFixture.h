#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <vector>

#include "FakeCommonControl.h"
#include "LogCapture.h"
#include "Protocol.h"

namespace toftest {

using Bytes = std::vector<uint8_t>;
using Fake = testsupport::FakeCommonControl;

// One command as the camera sees it.
struct Wire {
    int cmd;
    int type;
    Bytes payload;
    int bufSize;
    bool operator==(const Wire& o) const {
        return cmd == o.cmd && type == o.type && payload == o.payload && bufSize == o.bufSize;
    }
};

inline void PrintTo(const Wire& w, std::ostream* os) {
    *os << "{cmd 0x" << std::hex << w.cmd << std::dec << ", type " << w.type << ", buf " << w.bufSize << ", payload";
    for (uint8_t b : w.payload) *os << ' ' << int(b);
    *os << '}';
}

// `head` followed by zeros up to `size` bytes.
inline Bytes Padded(Bytes head, size_t size) {
    head.resize(size, 0);
    return head;
}

// A command set over a fake command interface, its pauses recorded instead of slept.
class ProtocolFixture : public ::testing::Test {
protected:
    ProtocolFixture() : protocol([this](std::chrono::milliseconds d) { pauses.push_back(d); }) {
        protocol.SetCommonControl(&control);
    }

    std::vector<Wire> Sent() const {
        std::vector<Wire> out;
        for (const auto& s : control.SentCommands()) out.push_back({s.cmd, s.cmdType, s.payload, s.bufSize});
        return out;
    }

    testsupport::LogCapture log;
    Fake control;
    std::vector<std::chrono::milliseconds> pauses;
    Protocol protocol;
};

}  // namespace toftest
