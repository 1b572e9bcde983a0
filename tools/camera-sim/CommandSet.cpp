#include "CommandSet.h"

#include <algorithm>
#include <cstring>

#include "Framing.h"

namespace camsim {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kTextField = 63;      // longest text the camera keeps
constexpr size_t kHostAddressField = 16;
constexpr size_t kJsonHostField = 36;
constexpr size_t kFileNameOffset = 18;
constexpr size_t kDspPayload = 64;
constexpr size_t kMaxDepthRanges = 9;
constexpr size_t kMaxDataModes = 32;
constexpr size_t kTransferRecordSize = 10;

// Text from `offset` up to the first zero, within the payload and the field.
std::string TextAt(const Bytes& p, size_t offset, size_t field = kTextField) {
    if (offset >= p.size()) return {};
    const size_t end = std::min(p.size(), offset + field);
    const auto first = p.begin() + static_cast<long>(offset);
    return std::string(first, std::find(first, p.begin() + static_cast<long>(end), 0));
}

// Sub-id, then the text zero-padded to the field.
Bytes TextReply(uint8_t sub, const std::string& text, size_t field = kTextField) {
    Bytes r(1 + field, 0);
    r[0] = sub;
    std::copy_n(text.begin(), std::min(text.size(), field), r.begin() + 1);
    return r;
}

void PutDoubles(Bytes& out, const double* values, size_t count) {
    const size_t at = out.size();
    out.resize(at + 8 * count);
    std::memcpy(out.data() + at, values, 8 * count);
}

// The calibration values that a sub-id of command 0x10 addresses.
double* CalibrationSlice(CameraState& s, uint8_t sub, size_t& count) {
    switch (sub) {
        case 0: count = 4; return &s.tofCalibration.intrinsic[0];
        case 1: count = 5; return &s.tofCalibration.intrinsic[4];
        case 2: count = 4; return &s.tofCalibration.distortion[0];
        case 3: count = 4; return &s.tofCalibration.distortion[4];
        case 4: count = 4; return &s.colourCalibration.intrinsic[0];
        case 5: count = 5; return &s.colourCalibration.intrinsic[4];
        case 6: count = 4; return &s.colourCalibration.distortion[0];
        case 7: count = 4; return &s.colourCalibration.distortion[4];
        case 8: count = 4; return &s.rotation[0];
        case 9: count = 5; return &s.rotation[4];
        case 10: count = 3; return &s.translation[0];
        default: count = 0; return nullptr;
    }
}

bool Calibration(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.empty()) return false;
    size_t count = 0;
    double* values = CalibrationSlice(s, p[0], count);
    if (!values) return false;
    if (get) {
        reply = {p[0]};
        PutDoubles(reply, values, count);
        return true;
    }
    if (p.size() < 1 + 8 * count) return false;
    std::memcpy(values, p.data() + 1, 8 * count);
    return true;
}

// A one-byte value at payload byte 0, answered in reply byte 0.
template <typename T>
bool ByteValue(T& value, bool get, const Bytes& p, Bytes& reply) {
    if (get) {
        reply = {static_cast<uint8_t>(value)};
        return true;
    }
    if (p.empty()) return false;
    value = static_cast<T>(p[0]);
    return true;
}

// A one-byte value behind a sub-id: [sub, value].
bool SubByteValue(uint8_t& value, bool get, const Bytes& p, Bytes& reply) {
    if (get) {
        reply = {p[0], value};
        return true;
    }
    if (p.size() < 2) return false;
    value = p[1];
    return true;
}

bool TextValue(std::string& value, bool get, const Bytes& p, Bytes& reply) {
    if (get) {
        reply = TextReply(p[0], value);
        return true;
    }
    value = TextAt(p, 1);
    return true;
}

bool StreamState(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (get) {
        reply = {0, static_cast<uint8_t>(s.streamOn ? 1 : 0)};
        return true;
    }
    if (p.empty() || p[0] > 1) return false;
    s.streamOn = p[0] == 1;
    return true;
}

bool Exposure(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.empty()) return false;
    const uint8_t range = p[0];
    if (get) {
        reply = {range};
        const auto it = s.exposure.find(range);
        PutU32(reply, 1, it == s.exposure.end() ? 0 : it->second);
        return true;
    }
    if (p.size() < 5) return false;
    if (range != 255) s.exposure[range] = GetU32(p.data() + 1);  // the maximum is read-only
    return true;
}

bool Register(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.size() < 2) return false;
    const uint16_t address = GetU16(p.data());
    if (get) {
        reply.assign(8, 0);
        PutU16(reply, 0, address);
        PutU16(reply, 2, s.registers[address]);
        return true;
    }
    if (p.size() < 4) return false;
    s.registers[address] = GetU16(p.data() + 2);
    return true;
}

bool DualFreq(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (get) {
        reply.assign(s.dualFreq.begin(), s.dualFreq.end());
        return true;
    }
    if (p.size() < s.dualFreq.size()) return false;
    std::copy_n(p.begin(), s.dualFreq.size(), s.dualFreq.begin());
    return true;
}

bool Measuring(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.empty()) return false;
    MeasuringRange& m = s.measuringRanges[p[0]];
    if (get) {
        reply = {p[0]};
        PutU16(reply, 1, m.effectDepthMax);
        PutU16(reply, 3, m.effectDepthMin);
        PutU16(reply, 5, m.depthMax);
        return true;
    }
    if (p.size() < 7) return false;
    m = MeasuringRange{GetU16(p.data() + 1), GetU16(p.data() + 3), GetU16(p.data() + 5)};
    return true;
}

bool Factory(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    FactoryMode& f = s.factoryMode;
    if (get) {
        reply.clear();
        const int32_t fields[] = {f.mode, f.imuSwitch, f.audioSwitch, f.depthSwitch, f.rgbSwitch};
        for (size_t i = 0; i < 5; ++i) PutU32(reply, 4 * i, static_cast<uint32_t>(fields[i]));
        return true;
    }
    f = FactoryMode{p[0], p[1], p[2], p[3], p[4]};
    return true;
}

// 0x12: reboot (byte 8 alone), LD/CDMA state (2 bytes), factory mode (6 set, 20 get).
bool RebootFactoryLaser(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.size() == 2 && (p[0] == 0x30 || p[0] == 0x31))
        return SubByteValue(s.laser[p[0]], get, p, reply);
    if (get) return p.size() == 20 && Factory(s, get, p, reply);
    if (p.size() == 6) return Factory(s, get, p, reply);
    if (p.size() == 1 && p[0] == 8) {
        ++s.reboots;
        s.streamOn = false;
        return true;
    }
    return false;
}

bool List(std::vector<uint8_t>& list, size_t maxCount, bool get, const Bytes& p, Bytes& reply) {
    if (get) {
        reply.assign(kMaxCommandPayload, 0);
        reply[0] = p[0];
        reply[1] = static_cast<uint8_t>(list.size());
        std::copy(list.begin(), list.end(), reply.begin() + 2);
        return true;
    }
    if (p.size() < 2) return false;
    const size_t count = p[1];
    if (count > maxCount || p.size() < 2 + count) return false;
    list.assign(p.begin() + 2, p.begin() + 2 + static_cast<long>(count));
    return true;
}

// 0x13: serial number, versions, lists and laser values, by sub-id.
bool SensorInfo(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.empty()) return false;
    switch (p[0]) {
        case 0x02: return TextValue(s.sensorSerial, get, p, reply);
        case 0x03:
            if (!get) return false;
            reply = TextReply(0x03, s.firmwareVersion);
            return true;
        case 0x04:
            // The host clears its buffer with a set of zeros first; the version is read-only.
            if (get) reply = TextReply(0x04, s.hardwareVersion);
            return true;
        case 0x06: return List(s.depthRangeList, kMaxDepthRanges, get, p, reply);
        case 0x07: return List(s.dataModeList, kMaxDataModes, get, p, reply);
        case 0x08:
        case 0x09:
        case 0x0A: return SubByteValue(s.laser[p[0]], get, p, reply);
        default: return false;
    }
}

bool Resolution(ColourSettings& c, bool get, const Bytes& p, Bytes& reply) {
    if (get) {
        reply = {0x02, 1};
        PutU16(reply, 2, c.width);
        PutU16(reply, 4, c.height);
        return true;
    }
    if (p.size() < 6) return false;
    c.width = GetU16(p.data() + 2);
    c.height = GetU16(p.data() + 4);
    return true;
}

bool GainResolution(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.empty()) return false;
    if (p[0] == 0x04) return SubByteValue(s.irGain, get, p, reply);
    if (p[0] == 0x02) return Resolution(s.colour, get, p, reply);
    return false;
}

// 0x18: sets use sub-ids 0x02-0x07, gets the same plus 0x10.
bool Network(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.empty()) return false;
    const uint8_t item = get ? static_cast<uint8_t>(p[0] - 0x10) : p[0];
    if (get && p[0] < 0x10) return false;
    switch (item) {
        case 0x02: return TextValue(s.deviceSerial, get, p, reply);
        case 0x03: return TextValue(s.macAddress, get, p, reply);
        case 0x05: return TextValue(s.ipAddress, get, p, reply);
        case 0x06: return TextValue(s.subnetMask, get, p, reply);
        case 0x07: return SubByteValue(s.dhcp, get, p, reply);
        default: return false;
    }
}

// 0x19: byte 0 is the caller's option; class, target and item address the setting.
bool Dsp(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.size() < 4) return false;
    const uint8_t cls = p[1] & 0x7F;
    reply = p;
    reply.resize(kDspPayload, 0);
    if (cls == 1) {
        DspSetting& d = s.dsp[DspKey{1, p[2], 0}];
        if (get)
            reply[3] = d.enable;
        else
            d.enable = p[3];
        return true;
    }
    if (cls != 2) return true;  // items without a class carry nothing
    if (!get && p.size() < 5) return false;
    DspSetting& d = s.dsp[DspKey{2, p[2], p[3]}];
    if (get) {
        reply[4] = d.enable;
        PutU16(reply, 5, d.threshold);
        PutU16(reply, 7, d.extra);
        return true;
    }
    Bytes full = p;
    full.resize(kDspPayload, 0);
    d = DspSetting{full[4], GetU16(full.data() + 5), GetU16(full.data() + 7)};
    return true;
}

TransferRecord RecordAt(const Bytes& p) {
    return TransferRecord{p[1], static_cast<int32_t>(GetU32(p.data() + 2)),
                          static_cast<int32_t>(GetU32(p.data() + 6))};
}

// Reported states travel as one byte each, behind `prefix`.
Bytes ReportReply(Bytes prefix, const TransferRecord& r) {
    prefix.push_back(r.state);
    prefix.push_back(static_cast<uint8_t>(r.param1));
    prefix.push_back(static_cast<uint8_t>(r.param2));
    return prefix;
}

// A new request starts the transfer over: not ready until the file is in hand.
void Restart(TransferState& t) {
    t.reported = TransferRecord{};
    t.steps.clear();
    t.received.clear();
}

// Each poll takes the next queued step.
Bytes Poll(Bytes prefix, TransferState& t) {
    if (!t.steps.empty()) {
        t.reported = t.steps.front();
        t.steps.pop_front();
    }
    return ReportReply(std::move(prefix), t.reported);
}

void FetchRequest(TransferState& t, const Bytes& p) {
    Restart(t);
    t.hostAddress = TextAt(p, 2, kHostAddressField);
    t.fileName = TextAt(p, kFileNameOffset, p.size());
    ++t.fetchRequests;
}

bool NumberedCalibration(uint8_t type) { return type == 5 || type == 6; }

// 0x1D with a calibration type: a start asks the camera to fetch (direction 1) or post
// (direction 2) a file; a get polls [type, number, status].
bool CalibrationFile(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    CalibrationTransfer& c = s.calibration;
    const uint8_t number = NumberedCalibration(p[0]) ? p[1] : 0;
    if (get) {
        const bool current = c.requests > 0 && c.type == p[0] && c.number == number;
        reply = {p[0], p[1], current ? c.status : kCalibrationFailed, 0};
        return true;
    }
    if (p.size() < kFileNameOffset) return false;
    size_t at = kFileNameOffset;
    CalibrationTransfer next;
    next.type = p[0];
    next.hostAddress = TextAt(p, 2, kHostAddressField);
    if (NumberedCalibration(p[0])) {
        if (p.size() <= at) return false;
        next.number = p[at++];
    }
    if (p[1] == 1) {
        constexpr size_t kFileFields = 9;  // length, checksum, name length
        if (p.size() < at + kFileFields) return false;
        next.fileLength = GetU32(p.data() + at);
        next.checkSum = p[at + 4];
        const uint32_t nameLength = GetU32(p.data() + at + 5);
        at += kFileFields;
        if (nameLength == 0 || p.size() != at + nameLength) return false;
        next.fileName.assign(p.begin() + static_cast<long>(at), p.end());
    } else if (p[1] == 2) {
        if (p.size() != at) return false;
        next.toCamera = false;
    } else {
        return false;
    }
    next.status = kCalibrationRunning;
    next.requests = c.requests + 1;
    c = next;
    return true;
}

// 0x1D: sub 1 firmware, sub 3 JSON file; a 10-byte payload is a state record.
bool Transfer(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.size() < 2) return false;
    const bool record = p.size() == kTransferRecordSize;
    if (p[0] == 1) {
        if (get) {
            reply = Poll({1}, s.upgrade);
            return true;
        }
        if (record) {
            s.upgrade.lastSent = RecordAt(p);
            return true;
        }
        if (p[1] != 1 || p.size() < kFileNameOffset) return false;
        FetchRequest(s.upgrade, p);
        return true;
    }
    if (p[0] >= 4 && p[0] <= 8) return CalibrationFile(s, get, p, reply);
    if (p[0] != 3) return false;
    if (get) {
        reply = Poll({3, p[1]}, s.json);
        return true;
    }
    if (record) {
        s.json.lastSent = RecordAt(p);
        return true;
    }
    if (p[1] == 1 && p.size() == 2 + kJsonHostField) {
        Restart(s.json);
        s.json.hostAddress = TextAt(p, 2, kJsonHostField);
        ++s.json.postRequests;
        return true;
    }
    if (p[1] != 4 || p.size() < kFileNameOffset) return false;
    FetchRequest(s.json, p);
    return true;
}

bool TestMode(CameraState& s, bool get, const Bytes& p) {
    if (get || p.size() < s.testMode.size()) return false;
    std::copy_n(p.begin(), s.testMode.size(), s.testMode.begin());
    return true;
}

// 0x22: colour sensor values by sub-id.
bool Colour(ColourSettings& c, bool get, const Bytes& p, Bytes& reply) {
    if (p.empty()) return false;
    const uint8_t sub = p[0];
    switch (sub) {
        case 0x01:
            if (!get) return false;
            reply = TextReply(sub, c.firmwareVersion, 30);
            return true;
        case 0x02: {
            uint8_t raw = static_cast<uint8_t>(c.brightness);
            const bool ok = SubByteValue(raw, get, p, reply);
            c.brightness = static_cast<int8_t>(raw);
            return ok;
        }
        case 0x03: return SubByteValue(c.aeMaxExposure, get, p, reply);
        case 0x05: return SubByteValue(c.manualExposureState, get, p, reply);
        case 0x06:
            if (get) {
                reply = {sub};
                PutU16(reply, 1, c.manualExposureTime);
                return true;
            }
            if (p.size() < 3) return false;
            c.manualExposureTime = GetU16(p.data() + 1);
            return true;
        case 0x07: return get && SubByteValue(c.maxExposure, get, p, reply);
        case 0x08:
            if (get) {
                reply.assign(5, sub);
                std::memcpy(reply.data() + 1, &c.gain, 4);
                return true;
            }
            if (p.size() < 5) return false;
            std::memcpy(&c.gain, p.data() + 1, 4);
            return true;
        default: return false;
    }
}

bool Mcu(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.empty()) return false;
    if (get) {
        const auto it = s.mcu.find(p[0]);
        const McuParameters m = it == s.mcu.end() ? McuParameters{p[0], 0, 0, 0} : it->second;
        reply = {m.signalType, m.polarity};
        PutU16(reply, 2, m.width);
        PutU16(reply, 4, m.intervalOrDelay);
        return true;
    }
    if (p.size() < 6) return false;
    s.mcu[p[0]] = McuParameters{p[0], p[1], GetU16(p.data() + 2), GetU16(p.data() + 4)};
    return true;
}

}  // namespace

bool ApplyCommand(CameraState& s, uint8_t id, bool get, const Bytes& p, Bytes& reply) {
    reply.clear();
    switch (id) {
        case 0x01:
            if (get || p.empty()) return false;
            s.initParamsEnabled = p[0] != 0;
            return true;
        case 0x02: return ByteValue(s.workMode, get, p, reply);
        case 0x03: return Exposure(s, get, p, reply);
        case 0x04: return ByteValue(s.frameRate, get, p, reply);
        case 0x05: return Register(s, get, p, reply);
        case 0x06: return ByteValue(s.dataMode, get, p, reply);
        case 0x07: return ByteValue(s.depthRange, get, p, reply);
        case 0x08: return DualFreq(s, get, p, reply);
        case 0x10: return Calibration(s, get, p, reply);
        case 0x11: return Measuring(s, get, p, reply);
        case 0x12: return RebootFactoryLaser(s, get, p, reply);
        case 0x13: return SensorInfo(s, get, p, reply);
        case 0x15: return GainResolution(s, get, p, reply);
        case 0x18: return Network(s, get, p, reply);
        case 0x19: return Dsp(s, get, p, reply);
        case 0x1B: return StreamState(s, get, p, reply);
        case kHeartbeatId & 0x7F:
            reply = p;
            return get;
        case 0x1D: return Transfer(s, get, p, reply);
        case 0x1E: return TestMode(s, get, p);
        case 0x1F:
            if (get) return false;
            ++s.softwareTriggers;
            return true;
        case 0x22: return Colour(s.colour, get, p, reply);
        case 0x23: return Mcu(s, get, p, reply);
        default: return false;
    }
}

}  // namespace camsim
