#include "CommandSet.h"

#include <algorithm>

#include "CommandIds.h"
#include "Framing.h"
#include "LittleEndian.h"

namespace camsim {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kTextField = 63;           // longest text the camera keeps
constexpr size_t kHostAddressField = 16;    // a dotted IPv4 address and its zero
constexpr size_t kJsonHostField = 36;       // the JSON post request's wider host field
constexpr size_t kFileNameOffset = 18;      // after file type, step and the host address
constexpr size_t kDspPayload = 64;          // a DSP command fills the whole command payload
constexpr uint8_t kDspGetBit = 0x80;        // a DSP get marks its class byte with it
constexpr uint8_t kDspSwitchClass = 1;      // [option, class, target, enable]
constexpr uint8_t kDspItemClass = 2;        // [option, class, target, item, enable, threshold, extra]
constexpr size_t kMaxDepthRanges = 9;       // entries a depth-range list holds
constexpr size_t kMaxDataModes = 32;        // entries a data-mode list holds
constexpr size_t kColourVersionField = 30;  // the colour firmware version's fixed width

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

// The calibration values that a sub-id of cmd::kCalibration addresses.
double* CalibrationSlice(CameraState& s, uint8_t sub, size_t& count) {
    switch (sub) {
        case cmd::kCalibrationToFIntrinsicHead: count = 4; return &s.tofCalibration.intrinsic[0];
        case cmd::kCalibrationToFIntrinsicTail: count = 5; return &s.tofCalibration.intrinsic[4];
        case cmd::kCalibrationToFDistortionHead: count = 4; return &s.tofCalibration.distortion[0];
        case cmd::kCalibrationToFDistortionTail: count = 4; return &s.tofCalibration.distortion[4];
        case cmd::kCalibrationColourIntrinsicHead: count = 4; return &s.colourCalibration.intrinsic[0];
        case cmd::kCalibrationColourIntrinsicTail: count = 5; return &s.colourCalibration.intrinsic[4];
        case cmd::kCalibrationColourDistortionHead: count = 4; return &s.colourCalibration.distortion[0];
        case cmd::kCalibrationColourDistortionTail: count = 4; return &s.colourCalibration.distortion[4];
        case cmd::kCalibrationRotationHead: count = 4; return &s.rotation[0];
        case cmd::kCalibrationRotationTail: count = 5; return &s.rotation[4];
        case cmd::kCalibrationTranslation: count = 3; return &s.translation[0];
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
        AppendLeDoubles(reply, values, count);
        return true;
    }
    if (p.size() < 1 + 8 * count) return false;
    GetLeDoubles(p.data() + 1, values, count);
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
        PutLe32(reply, 1, it == s.exposure.end() ? 0 : it->second);
        return true;
    }
    if (p.size() < 5) return false;
    if (range != 255) s.exposure[range] = GetLe32(p.data() + 1);  // the maximum is read-only
    return true;
}

bool Register(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.size() < 2) return false;
    const uint16_t address = GetLe16(p.data());
    if (get) {
        reply.assign(8, 0);
        PutLe16(reply, 0, address);
        PutLe16(reply, 2, s.registers[address]);
        return true;
    }
    if (p.size() < 4) return false;
    s.registers[address] = GetLe16(p.data() + 2);
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
        PutLe16(reply, 1, m.effectDepthMax);
        PutLe16(reply, 3, m.effectDepthMin);
        PutLe16(reply, 5, m.depthMax);
        return true;
    }
    if (p.size() < 7) return false;
    m = MeasuringRange{GetLe16(p.data() + 1), GetLe16(p.data() + 3), GetLe16(p.data() + 5)};
    return true;
}

bool Factory(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    FactoryMode& f = s.factoryMode;
    if (get) {
        reply.clear();
        const int32_t fields[] = {f.mode, f.imuSwitch, f.audioSwitch, f.depthSwitch, f.rgbSwitch};
        for (size_t i = 0; i < 5; ++i) PutLe32(reply, 4 * i, static_cast<uint32_t>(fields[i]));
        return true;
    }
    f = FactoryMode{p[0], p[1], p[2], p[3], p[4]};
    return true;
}

// cmd::kSystem: reboot (its sub-id alone), LD/CDMA state (2 bytes), factory mode (6 set, 20 get).
bool RebootFactoryLaser(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.size() == 2 && (p[0] == cmd::kSystemLdState || p[0] == cmd::kSystemCdmaState))
        return SubByteValue(s.laser[p[0]], get, p, reply);
    if (get) return p.size() == 20 && Factory(s, get, p, reply);
    if (p.size() == 6) return Factory(s, get, p, reply);
    if (p.size() == 1 && p[0] == cmd::kSystemReboot) {
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

// cmd::kSensorInfo: serial number, versions, lists and laser values, by sub-id.
bool SensorInfo(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.empty()) return false;
    switch (p[0]) {
        case cmd::kSensorInfoSerial: return TextValue(s.sensorSerial, get, p, reply);
        case cmd::kSensorInfoFirmwareVersion:
            if (!get) return false;
            reply = TextReply(cmd::kSensorInfoFirmwareVersion, s.firmwareVersion);
            return true;
        case cmd::kSensorInfoHardwareVersion:
            // The host clears its buffer with a set of zeros first; the version is read-only.
            if (get) reply = TextReply(cmd::kSensorInfoHardwareVersion, s.hardwareVersion);
            return true;
        case cmd::kSensorInfoDepthRangeList: return List(s.depthRangeList, kMaxDepthRanges, get, p, reply);
        case cmd::kSensorInfoDataModeList: return List(s.dataModeList, kMaxDataModes, get, p, reply);
        case cmd::kSensorInfoApcState:
        case cmd::kSensorInfoLdDriverChip:
        case cmd::kSensorInfoLdType: return SubByteValue(s.laser[p[0]], get, p, reply);
        default: return false;
    }
}

bool Resolution(ColourSettings& c, bool get, const Bytes& p, Bytes& reply) {
    if (get) {
        reply = {cmd::kGainResolutionColourResolution, 1};
        PutLe16(reply, 2, c.width);
        PutLe16(reply, 4, c.height);
        return true;
    }
    if (p.size() < 6) return false;
    c.width = GetLe16(p.data() + 2);
    c.height = GetLe16(p.data() + 4);
    return true;
}

bool GainResolution(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.empty()) return false;
    if (p[0] == cmd::kGainResolutionIrGain) return SubByteValue(s.irGain, get, p, reply);
    if (p[0] == cmd::kGainResolutionColourResolution) return Resolution(s.colour, get, p, reply);
    return false;
}

// cmd::kNetwork: sets use the item's sub-id, gets that plus cmd::kNetworkGetOffset.
bool Network(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.empty()) return false;
    const uint8_t item = get ? static_cast<uint8_t>(p[0] - cmd::kNetworkGetOffset) : p[0];
    if (get && p[0] < cmd::kNetworkGetOffset) return false;
    switch (item) {
        case cmd::kNetworkSerial: return TextValue(s.deviceSerial, get, p, reply);
        case cmd::kNetworkMac: return TextValue(s.macAddress, get, p, reply);
        case cmd::kNetworkIp: return TextValue(s.ipAddress, get, p, reply);
        case cmd::kNetworkSubnetMask: return TextValue(s.subnetMask, get, p, reply);
        case cmd::kNetworkDhcp: return SubByteValue(s.dhcp, get, p, reply);
        default: return false;
    }
}

// cmd::kDsp: byte 0 is the caller's option; class, target and item address the setting.
bool Dsp(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.size() < 4) return false;
    const uint8_t cls = p[1] & ~kDspGetBit;
    reply = p;
    reply.resize(kDspPayload, 0);
    if (cls == kDspSwitchClass) {
        DspSetting& d = s.dsp[DspKey{kDspSwitchClass, p[2], 0}];
        if (get)
            reply[3] = d.enable;
        else
            d.enable = p[3];
        return true;
    }
    if (cls != kDspItemClass) return true;  // items without a class carry nothing
    if (!get && p.size() < 5) return false;
    DspSetting& d = s.dsp[DspKey{kDspItemClass, p[2], p[3]}];
    if (get) {
        reply[4] = d.enable;
        PutLe16(reply, 5, d.threshold);
        PutLe16(reply, 7, d.extra);
        return true;
    }
    Bytes full = p;
    full.resize(kDspPayload, 0);
    d = DspSetting{full[4], GetLe16(full.data() + 5), GetLe16(full.data() + 7)};
    return true;
}

TransferRecord RecordAt(const Bytes& p) {
    return TransferRecord{p[1], static_cast<int32_t>(GetLe32(p.data() + 2)),
                          static_cast<int32_t>(GetLe32(p.data() + 6))};
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

// cmd::kTransfer with a calibration type: a start asks the camera to fetch (kTransferToCamera)
// or post (kTransferToHost) a file; a get polls [type, number, status].
bool CalibrationFile(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    CalibrationTransfer& c = s.calibration;
    const uint8_t number = IsNumberedCalibration(p[0]) ? p[1] : 0;
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
    if (IsNumberedCalibration(p[0])) {
        if (p.size() <= at) return false;
        next.number = p[at++];
    }
    if (p[1] == cmd::kTransferToCamera) {
        constexpr size_t kFileFields = 9;  // length, checksum, name length
        if (p.size() < at + kFileFields) return false;
        next.fileLength = GetLe32(p.data() + at);
        next.checkSum = p[at + 4];
        const uint32_t nameLength = GetLe32(p.data() + at + 5);
        at += kFileFields;
        if (nameLength == 0 || p.size() != at + nameLength) return false;
        next.fileName.assign(p.begin() + static_cast<long>(at), p.end());
    } else if (p[1] == cmd::kTransferToHost) {
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

// cmd::kTransfer: firmware, JSON file or a calibration file; a 10-byte payload is a state record.
bool Transfer(CameraState& s, bool get, const Bytes& p, Bytes& reply) {
    if (p.size() < 2) return false;
    const bool record = p.size() == cmd::kTransferRecordSize;
    if (p[0] == cmd::kTransferFirmware) {
        if (get) {
            reply = Poll({cmd::kTransferFirmware}, s.upgrade);
            return true;
        }
        if (record) {
            s.upgrade.lastSent = RecordAt(p);
            return true;
        }
        if (p[1] != cmd::kTransferFetch || p.size() < kFileNameOffset) return false;
        FetchRequest(s.upgrade, p);
        return true;
    }
    if (p[0] >= cmd::kTransferFirstCalibration && p[0] <= cmd::kTransferLastCalibration)
        return CalibrationFile(s, get, p, reply);
    if (p[0] != cmd::kTransferJson) return false;
    if (get) {
        reply = Poll({cmd::kTransferJson, p[1]}, s.json);
        return true;
    }
    if (record) {
        s.json.lastSent = RecordAt(p);
        return true;
    }
    if (p[1] == cmd::kTransferJsonPost && p.size() == 2 + kJsonHostField) {
        Restart(s.json);
        s.json.hostAddress = TextAt(p, 2, kJsonHostField);
        ++s.json.postRequests;
        return true;
    }
    if (p[1] != cmd::kTransferJsonFetch || p.size() < kFileNameOffset) return false;
    FetchRequest(s.json, p);
    return true;
}

bool TestMode(CameraState& s, bool get, const Bytes& p) {
    if (get || p.size() < s.testMode.size()) return false;
    std::copy_n(p.begin(), s.testMode.size(), s.testMode.begin());
    return true;
}

// cmd::kColour: colour sensor values by sub-id.
bool Colour(ColourSettings& c, bool get, const Bytes& p, Bytes& reply) {
    if (p.empty()) return false;
    const uint8_t sub = p[0];
    switch (sub) {
        case cmd::kColourFirmwareVersion:
            if (!get) return false;
            reply = TextReply(sub, c.firmwareVersion, kColourVersionField);
            return true;
        case cmd::kColourBrightness: {
            uint8_t raw = static_cast<uint8_t>(c.brightness);
            const bool ok = SubByteValue(raw, get, p, reply);
            c.brightness = static_cast<int8_t>(raw);
            return ok;
        }
        case cmd::kColourAeMaxExposure: return SubByteValue(c.aeMaxExposure, get, p, reply);
        case cmd::kColourManualExposureState: return SubByteValue(c.manualExposureState, get, p, reply);
        case cmd::kColourManualExposureTime:
            if (get) {
                reply = {sub};
                PutLe16(reply, 1, c.manualExposureTime);
                return true;
            }
            if (p.size() < 3) return false;
            c.manualExposureTime = GetLe16(p.data() + 1);
            return true;
        case cmd::kColourMaxExposure: return get && SubByteValue(c.maxExposure, get, p, reply);
        case cmd::kColourGain:
            if (get) {
                reply = {sub};
                AppendLe32(reply, FloatBits(c.gain));
                return true;
            }
            if (p.size() < 5) return false;
            c.gain = FloatFromBits(GetLe32(p.data() + 1));
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
        PutLe16(reply, 2, m.width);
        PutLe16(reply, 4, m.intervalOrDelay);
        return true;
    }
    if (p.size() < 6) return false;
    s.mcu[p[0]] = McuParameters{p[0], p[1], GetLe16(p.data() + 2), GetLe16(p.data() + 4)};
    return true;
}

}  // namespace

bool ApplyCommand(CameraState& s, uint8_t id, bool get, const Bytes& p, Bytes& reply) {
    reply.clear();
    switch (id) {
        case cmd::kInitParamsEnable:
            if (get || p.empty()) return false;
            s.initParamsEnabled = p[0] != 0;
            return true;
        case cmd::kWorkMode: return ByteValue(s.workMode, get, p, reply);
        case cmd::kExposure: return Exposure(s, get, p, reply);
        case cmd::kFrameRate: return ByteValue(s.frameRate, get, p, reply);
        case cmd::kRegister: return Register(s, get, p, reply);
        case cmd::kDataMode: return ByteValue(s.dataMode, get, p, reply);
        case cmd::kDepthRange: return ByteValue(s.depthRange, get, p, reply);
        case cmd::kDualFrequency: return DualFreq(s, get, p, reply);
        case cmd::kCalibration: return Calibration(s, get, p, reply);
        case cmd::kMeasuringRange: return Measuring(s, get, p, reply);
        case cmd::kSystem: return RebootFactoryLaser(s, get, p, reply);
        case cmd::kSensorInfo: return SensorInfo(s, get, p, reply);
        case cmd::kGainResolution: return GainResolution(s, get, p, reply);
        case cmd::kNetwork: return Network(s, get, p, reply);
        case cmd::kDsp: return Dsp(s, get, p, reply);
        case cmd::kStreamState: return StreamState(s, get, p, reply);
        case cmd::kHeartbeat& cmd::kIdMask: reply = p; return get;
        case cmd::kTransfer: return Transfer(s, get, p, reply);
        case cmd::kTestMode: return TestMode(s, get, p);
        case cmd::kSoftwareTrigger:
            if (get) return false;
            ++s.softwareTriggers;
            return true;
        case cmd::kColour: return Colour(s.colour, get, p, reply);
        case cmd::kTriggerSignal: return Mcu(s, get, p, reply);
        default: return false;
    }
}

}  // namespace camsim
