#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "DeviceCommonProtocol.h"
#include "LogCapture.h"
#include "ScriptedIO.h"

namespace linktest {

using Bytes = std::vector<uint8_t>;
using Reply = testsupport::ScriptedIO::Reply;

struct Wire {
    int cmd;
    CMDTYPE type;
    Bytes payload;
    bool operator==(const Wire& o) const { return cmd == o.cmd && type == o.type && payload == o.payload; }
};

inline void PrintTo(const Wire& w, std::ostream* os) {
    *os << "{cmd " << w.cmd << ", type " << int(w.type) << ", payload";
    for (uint8_t b : w.payload) *os << ' ' << int(b);
    *os << '}';
}

inline Bytes Text(uint8_t first, const std::string& text) {
    Bytes out{first};
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

inline Bytes Doubles(uint8_t first, std::initializer_list<double> values) {
    Bytes out{first};
    for (double v : values) {
        uint8_t b[8];
        std::memcpy(b, &v, 8);
        out.insert(out.end(), b, b + 8);
    }
    return out;
}

// A command set over a scripted transport, with its pauses recorded instead of slept.
class CommandFixture : public ::testing::Test {
protected:
    CommandFixture() {
        auto owned = std::make_unique<testsupport::ScriptedIO>();
        io = owned.get();
        io->deviceSN = "SN01";
        proto = std::make_unique<DeviceCommonProtocol>(std::move(owned),
                                                       [this](linktiming::milliseconds d) { sleeps.push_back(d); });
    }

    std::vector<Wire> Sent() const {
        std::vector<Wire> out;
        for (const auto& s : io->SentCommands()) out.push_back({s.cmd, s.type, s.payload});
        return out;
    }
    std::vector<linktiming::milliseconds> Pauses(int count, int ms) const {
        return std::vector<linktiming::milliseconds>(size_t(count), linktiming::milliseconds(ms));
    }

    testsupport::LogCapture log;
    testsupport::ScriptedIO* io = nullptr;
    std::vector<linktiming::milliseconds> sleeps;
    std::unique_ptr<DeviceCommonProtocol> proto;
};

}  // namespace linktest
