#include "DeviceCommonProtocol.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "ByteOrder.h"
#include "KitCommands.h"
#include "StatusCodes.h"
#include "log.h"

using namespace kitcmd;

namespace {

constexpr int kRotationLens = 1;    // the rotation describes the colour camera's lens
constexpr int kMaxFrameRate = 127;  // the read-back reports a signed byte
constexpr int kWorkModes = 3;       // active, hardware trigger, software trigger

bool SameDoubles(const double* a, const double* b, int count) {
    for (int i = 0; i < count; ++i) {
        if (!(a[i] == b[i])) return false;
    }
    return true;
}

// Calibration values as the lines show them: "%08.6f" each, rows of three apart by a tab.
std::string ValueList(const double* values, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0) text += i % 3 == 0 ? '\t' : ' ';
        char value[512];  // room for the widest double "%f" writes
        std::snprintf(value, sizeof(value), "%08.6f", values[i]);
        text += value;
    }
    return text;
}

}  // namespace

DeviceCommonProtocol::DeviceCommonProtocol(std::unique_ptr<IO> io, linktiming::SleepFunction sleep)
    : m_pIO(std::move(io)), m_sleep(std::move(sleep)) {}

DeviceCommonProtocol::~DeviceCommonProtocol() = default;

int DeviceCommonProtocol::SetCmd(int cmd, char* buf, int bufSize, unsigned char len, int cmdType) {
    return Exchange(cmd, buf, bufSize, len, static_cast<CMDTYPE>(cmdType));
}

const char* DeviceCommonProtocol::GetHostIP() { return m_pIO ? m_pIO->GetHostIp() : "null"; }

const char* DeviceCommonProtocol::GetDeviceSN() { return m_pIO ? m_pIO->GetDeviceSN() : "null"; }

int DeviceCommonProtocol::SetOpenState(bool open) {
    if (!m_pIO) return status::kFailed;
    if (!open) return m_pIO->CloseDevice();
    m_answered = false;
    return m_pIO->OpenDevice();
}

int DeviceCommonProtocol::ReadData(unsigned char* buf, int capacity, int* len) {
    if (!m_pIO) return status::kFailed;
    return m_pIO->ReadData(buf, capacity, len);
}

void DeviceCommonProtocol::Shutdown() {
    if (m_pIO) m_pIO->Shutdown();
}

bool DeviceCommonProtocol::DataLinkLost() const { return m_pIO && m_pIO->DataLinkLost(); }

void DeviceCommonProtocol::SetDataLinkLostHook(std::function<void()> hook) {
    if (m_pIO) m_pIO->SetDataLinkLostHook(std::move(hook));
}

int DeviceCommonProtocol::Exchange(int cmd, void* buf, int bufSize, int len, CMDTYPE type) {
    if (!m_pIO) return status::kFailed;
    const int ret = m_pIO->SetCmd(cmd, static_cast<char*>(buf), bufSize, static_cast<unsigned char>(len), type);
    // Sets below 0x80 read no reply, so their success says nothing about the camera.
    const bool readsReply = type != CMDTYPE_SET || (cmd & kReplyWanted) != 0;
    if (ret == 0 && readsReply) m_answered = true;
    return ret;
}

int DeviceCommonProtocol::Command(int cmd, void* buf, int bufSize, int len, CMDTYPE type) {
    const int ret = Exchange(cmd, buf, bufSize, len, type);
    if (ret != 0) LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
    return ret;
}

int DeviceCommonProtocol::QueryStreamState(bool& state) {
    uint8_t buf[2] = {0, 0};  // asked with two zero bytes; the state comes back in byte 1
    const int ret = Exchange(kStream, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    state = ret == 0 && buf[1] == 1;
    return ret;
}

int DeviceCommonProtocol::GetStreamState(bool& state) {
    const int ret = QueryStreamState(state);
    if (ret != 0) LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
    return ret;
}

int DeviceCommonProtocol::SetStreamState(bool on) {
    uint8_t value = on ? 1 : 0;
    bool last = false;
    const Confirmation set = m_sets.Set(
        kStream, &value, sizeof(value), [&] { return QueryStreamState(last); }, [&] { return last == on; });
    if (set.writeLine) LOG_DEVICE(GetDeviceSN(), "Set StreamState:%d; Get StreamState:%d", on, last);
    return set.result;
}

int DeviceCommonProtocol::HeartbeatCheck() {
    uint8_t buf[8] = {1};  // payload 1; room for a short reply, whose content is not looked at
    return Command(kHeartbeat, buf, sizeof(buf), 1, CMDTYPE_GET);
}

int DeviceCommonProtocol::QueryInt8(int cmd, int* value) {
    uint8_t buf[1] = {0};
    const int ret = Exchange(cmd, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) *value = static_cast<int8_t>(buf[0]);
    return ret;
}

int DeviceCommonProtocol::GetWorkMode(int* mode) {
    if (!mode) return status::kInvalidParameter;
    const int ret = QueryInt8(kWorkMode, mode);
    if (ret != 0) LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
    return ret;
}

int DeviceCommonProtocol::SetWorkMode(int mode) {
    // Any other value would go out as its remainder and switch the camera to a mode
    // nobody asked for.
    if (mode < 0 || mode >= kWorkModes) {
        LOG_DEVICE(GetDeviceSN(), "workMode:%d is invalid.", mode);
        return status::kInvalidParameter;
    }
    uint8_t value = static_cast<uint8_t>(mode);
    int last = 0;
    const Confirmation set = m_sets.SetUnder(
        kWorkModeConfirm, kWorkMode, &value, sizeof(value), [&] { return QueryInt8(kWorkMode, &last); },
        [&] { return last == mode; });
    if (set.writeLine) LOG_DEVICE(GetDeviceSN(), "Set workMode:%d ,Get workMode_:%d", mode, last);
    return set.result;
}

int DeviceCommonProtocol::SetSoftwareSlaveTrigger() {
    uint8_t value = 0;
    const int ret = Exchange(kSoftwareTrigger, &value, sizeof(value), sizeof(value), CMDTYPE_SET);
    m_sleep(linktiming::kTriggerPause);
    if (ret != 0) LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
    return ret;
}

int DeviceCommonProtocol::GetFrameRate(int* fps) {
    if (!fps) return status::kInvalidParameter;
    const int ret = QueryInt8(kFrameRate, fps);
    if (ret != 0) LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
    return ret;
}

int DeviceCommonProtocol::SetFrameRate(int fps) {
    // The read-back reports a signed byte, so nothing above 127 could be confirmed.
    if (fps < 0 || fps > kMaxFrameRate) {
        LOG_DEVICE(GetDeviceSN(), "fps:%d is invalid.", fps);
        return status::kInvalidParameter;
    }
    m_sleep(linktiming::kFrameRatePause);
    uint8_t value = static_cast<uint8_t>(fps);
    int last = 0;
    const Confirmation set = m_sets.Set(
        kFrameRate, &value, sizeof(value), [&] { return QueryInt8(kFrameRate, &last); }, [&] { return last == fps; });
    if (set.writeLine) LOG_DEVICE(GetDeviceSN(), "Set FrameRate:%d; Get FrameRate fps_:%d.", fps, last);
    return set.result;
}

// Calibration values follow the sub-id as little-endian doubles.
int DeviceCommonProtocol::QueryDoubles(uint8_t firstSub, double* out, DoubleParts parts) {
    const int counts[2] = {parts.first, parts.second};
    for (int part = 0; part < 2 && counts[part] > 0; ++part) {
        uint8_t buf[1 + kMostDoubles * sizeof(double)] = {};
        const int size = 1 + counts[part] * static_cast<int>(sizeof(double));
        buf[0] = static_cast<uint8_t>(firstSub + part);
        const int ret = Exchange(kCalibration, buf, size, 1, CMDTYPE_GET);
        if (ret != 0) return ret;
        double* values = out + (part == 0 ? 0 : parts.first);
        for (int i = 0; i < counts[part]; ++i) values[i] = byteorder::GetLeDouble(buf + 1 + i * sizeof(double));
    }
    return 0;
}

int DeviceCommonProtocol::SendDoubles(uint8_t firstSub, const double* values, DoubleParts parts) {
    const int counts[2] = {parts.first, parts.second};
    for (int part = 0; part < 2 && counts[part] > 0; ++part) {
        uint8_t buf[1 + kMostDoubles * sizeof(double)] = {};
        const int size = 1 + counts[part] * static_cast<int>(sizeof(double));
        buf[0] = static_cast<uint8_t>(firstSub + part);
        const double* sent = values + (part == 0 ? 0 : parts.first);
        for (int i = 0; i < counts[part]; ++i) byteorder::PutLeDouble(buf + 1 + i * sizeof(double), sent[i]);
        const int ret = Command(kCalibration, buf, size, size, CMDTYPE_SET);
        if (ret != 0) return ret;
    }
    return 0;
}

Confirmation DeviceCommonProtocol::SetDoubles(uint8_t firstSub, const double* values, DoubleParts parts, double* got) {
    return m_sets.Confirm([&] { return SendDoubles(firstSub, values, parts); },
                          [&] { return QueryDoubles(firstSub, got, parts); },
                          [&] { return SameDoubles(values, got, parts.Total()); });
}

bool DeviceCommonProtocol::ValidSensor(SensorType type) {
    if (type == SENSOR_TYPE_TOF || type == SENSOR_TYPE_COLOR) return true;
    LOG_DEVICE(GetDeviceSN(), "cameraType:%d is invaild", static_cast<int>(type));
    LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", status::kFailed);
    return false;
}

const DeviceCommonProtocol::SensorDoubles DeviceCommonProtocol::kIntrinsic{
    calibration::kTofIntrinsic, calibration::kColorIntrinsic, kMatrixParts, "Intrinsic"};
const DeviceCommonProtocol::SensorDoubles DeviceCommonProtocol::kDistortion{
    calibration::kTofDistortion, calibration::kColorDistortion, kDistortionParts, "Distortion"};

int DeviceCommonProtocol::GetSensorDoubles(const SensorDoubles& item, SensorType type, double* out,
                                           const char* operation) {
    if (!ValidSensor(type)) return status::kFailed;
    if (!out) return status::kInvalidParameter;
    const int ret = QueryDoubles(type == SENSOR_TYPE_TOF ? item.tofSub : item.colorSub, out, item.parts);
    if (ret != 0) {
        LOG_DEVICE_AS(operation, GetDeviceSN(), "ret:%d is failed.", ret);
        return ret;
    }
    LOG_DEVICE_AS(operation, GetDeviceSN(), "type:%d %s:%s", static_cast<int>(type), item.name,
                  ValueList(out, item.parts.Total()).c_str());
    return 0;
}

int DeviceCommonProtocol::SetSensorDoubles(const SensorDoubles& item, SensorType type, const double* values,
                                           const char* operation) {
    if (!ValidSensor(type)) return status::kFailed;
    if (!values) return status::kInvalidParameter;
    const int total = item.parts.Total();
    double got[kMostValues] = {};
    const Confirmation set = SetDoubles(type == SENSOR_TYPE_TOF ? item.tofSub : item.colorSub, values, item.parts, got);
    if (!set.writeLine) return set.result;
    LOG_DEVICE_AS(operation, GetDeviceSN(), "Set type:%d p%s:%s ;\tGet Camera%s type:%d p%s_:%s",
                  static_cast<int>(type), item.name, ValueList(values, total).c_str(), item.name,
                  static_cast<int>(type), item.name, ValueList(got, total).c_str());
    return status::kFailed;
}

int DeviceCommonProtocol::GetCameraIntrinsic(SensorType type, double* K) {
    return GetSensorDoubles(kIntrinsic, type, K, __func__);
}

int DeviceCommonProtocol::SetCameraIntrinsic(SensorType type, const double* K) {
    return SetSensorDoubles(kIntrinsic, type, K, __func__);
}

int DeviceCommonProtocol::GetCameraDistortion(SensorType type, double* D) {
    return GetSensorDoubles(kDistortion, type, D, __func__);
}

int DeviceCommonProtocol::SetCameraDistortion(SensorType type, const double* D) {
    return SetSensorDoubles(kDistortion, type, D, __func__);
}

int DeviceCommonProtocol::GetCameraRotation(double* R) {
    if (!R) return status::kInvalidParameter;
    const int ret = QueryDoubles(calibration::kRotation, R, kMatrixParts);
    if (ret != 0) {
        LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
        return ret;
    }
    LOG_DEVICE(GetDeviceSN(), "Lens:%d Rotation:%s", kRotationLens, ValueList(R, kMatrixParts.Total()).c_str());
    return 0;
}

int DeviceCommonProtocol::SetCameraRotation(const double* R) {
    if (!R) return status::kInvalidParameter;
    double got[kMatrixParts.Total()] = {};
    const Confirmation set = SetDoubles(calibration::kRotation, R, kMatrixParts, got);
    if (!set.writeLine) return set.result;
    LOG_DEVICE(GetDeviceSN(), "Set Lens:%d Rotation:%s ;\tGet Rotation_:%s", kRotationLens,
               ValueList(R, kMatrixParts.Total()).c_str(), ValueList(got, kMatrixParts.Total()).c_str());
    return status::kFailed;
}

int DeviceCommonProtocol::GetCameraTranslation(double* T) {
    if (!T) return status::kInvalidParameter;
    const int ret = QueryDoubles(calibration::kTranslation, T, kTranslationParts);
    if (ret != 0) {
        LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
        return ret;
    }
    LOG_DEVICE(GetDeviceSN(), "Transfer:%s", ValueList(T, kTranslationParts.Total()).c_str());
    return 0;
}

int DeviceCommonProtocol::SetCameraTransfer(const double* T) {
    if (!T) return status::kInvalidParameter;
    double got[kTranslationParts.Total()] = {};
    const Confirmation set = SetDoubles(calibration::kTranslation, T, kTranslationParts, got);
    if (set.writeLine) {
        LOG_DEVICE(GetDeviceSN(), "Set Transfer:%s ;\tGet Transfer_:%s",
                   ValueList(T, kTranslationParts.Total()).c_str(), ValueList(got, kTranslationParts.Total()).c_str());
    }
    return set.result;
}
