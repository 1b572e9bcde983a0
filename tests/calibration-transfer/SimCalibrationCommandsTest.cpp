// The simulator's reading of the calibration-transfer commands, without sockets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandHandler.h"

namespace camsim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Head(uint8_t type, uint8_t direction, const std::string& host) {
    Bytes out{type, direction};
    out.resize(18, 0);
    std::copy(host.begin(), host.end(), out.begin() + 2);
    return out;
}

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Poll(CommandHandler& h, uint8_t type, uint8_t number) {
    const auto reply = h.Handle(Command{0x9D, {type, number}});
    return reply ? reply->payload : Bytes{};
}

TEST(SimCalibrationCommands, HostToCameraStartIsRecordedAndRunning) {
    CommandHandler h;
    const Bytes start = Cat(Head(6, 1, "127.0.0.1"), {3, 0x10, 0, 0, 0, 0x7F, 5, 0, 0, 0, 'a', '.', 'b', 'i', 'n'});
    EXPECT_FALSE(h.Handle(Command{0x1D, start}));
    const CalibrationTransfer c = h.State().calibration;
    EXPECT_TRUE(c.toCamera);
    EXPECT_EQ(c.type, 6);
    EXPECT_EQ(c.number, 3);
    EXPECT_EQ(c.hostAddress, "127.0.0.1");
    EXPECT_EQ(c.fileLength, 16u);
    EXPECT_EQ(c.checkSum, 0x7F);
    EXPECT_EQ(c.fileName, "a.bin");
    EXPECT_EQ(Poll(h, 6, 3), (Bytes{6, 3, kCalibrationRunning, 0}));
    EXPECT_EQ(Poll(h, 6, 2), (Bytes{6, 2, kCalibrationFailed, 0})) << "another file is not running";
}

TEST(SimCalibrationCommands, CameraToHostStart) {
    CommandHandler h;
    EXPECT_FALSE(h.Handle(Command{0x1D, Head(4, 2, "10.0.0.1")}));
    EXPECT_FALSE(h.State().calibration.toCamera);
    EXPECT_EQ(h.State().calibration.requests, 1);
    EXPECT_EQ(Poll(h, 4, 0), (Bytes{4, 0, kCalibrationRunning, 0}));
}

TEST(SimCalibrationCommands, MalformedStartsChangeNothing) {
    const Bytes good = Cat(Head(4, 1, "h"), {1, 0, 0, 0, 1, 1, 0, 0, 0, 'x'});
    const std::vector<Bytes> bad = {
        Bytes(good.begin(), good.end() - 1),                // name shorter than its length
        Cat(good, {'y'}),                                   // longer
        Cat(Head(4, 1, "h"), {1, 0, 0, 0, 1, 0, 0, 0, 0}),  // empty name
        Cat(Head(4, 2, "h"), {0}),                          // camera to host with a tail
        Head(5, 2, "h"),                                    // numbered without its number
        Head(4, 3, "h"),                                    // no such direction
    };
    for (const Bytes& payload : bad) {
        CommandHandler h;
        h.Handle(Command{0x1D, payload});
        EXPECT_FALSE(h.Log().back().understood);
        EXPECT_EQ(h.State().calibration.requests, 0);
    }
}

TEST(SimCalibrationCommands, ListenerHearsAppliedSetsOnly) {
    CommandHandler h;
    std::vector<uint8_t> ids;
    h.SetSetListener([&](uint8_t id, const Bytes&) { ids.push_back(id); });
    h.Handle(Command{0x1D, Head(7, 2, "h")});
    h.Handle(Command{0x9D, {7, 0}});
    h.Handle(Command{0x1D, Head(7, 9, "h")});
    EXPECT_EQ(ids, (std::vector<uint8_t>{0x1D}));
}

}  // namespace
}  // namespace camsim
