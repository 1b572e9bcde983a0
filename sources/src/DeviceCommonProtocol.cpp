#include "DeviceCommonProtocol.h"

#include <algorithm>

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
    const Confirmation set = SetConfirmed(
        kStream, &value, sizeof(value), kConfirm, [&] { return QueryStreamState(last); }, [&] { return last == on; });
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
    const Confirmation set = SetConfirmed(
        kWorkMode, &value, sizeof(value), kWorkModeConfirm, [&] { return QueryInt8(kWorkMode, &last); },
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
    const Confirmation set = SetConfirmed(
        kFrameRate, &value, sizeof(value), kConfirm, [&] { return QueryInt8(kFrameRate, &last); },
        [&] { return last == fps; });
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

int DeviceCommonProtocol::ConfirmDoubles(uint8_t firstSub, const double* values, DoubleParts parts, double* got) {
    const int total = parts.Total();
    return ReadBack(linktiming::kReadBackReads, linktiming::kReadBackPause, [&](bool& matched) {
        const int r = QueryDoubles(firstSub, got, parts);
        matched = r == 0 && SameDoubles(values, got, total);
        return r;
    });
}

bool DeviceCommonProtocol::ValidSensor(SensorType type) {
    if (type == SENSOR_TYPE_TOF || type == SENSOR_TYPE_COLOR) return true;
    LOG_DEVICE(GetDeviceSN(), "cameraType:%d is invaild", static_cast<int>(type));
    LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", status::kFailed);
    return false;
}

#define NINE_FORMAT  "%08.6f %08.6f %08.6f\t%08.6f %08.6f %08.6f\t%08.6f %08.6f %08.6f"
#define EIGHT_FORMAT "%08.6f %08.6f %08.6f\t%08.6f %08.6f %08.6f\t%08.6f %08.6f"
#define NINE(a)      a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]
#define EIGHT(a)     a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]

int DeviceCommonProtocol::GetCameraIntrinsic(SensorType type, double* K) {
    if (!ValidSensor(type)) return status::kFailed;
    if (!K) return status::kInvalidParameter;
    const uint8_t sub = type == SENSOR_TYPE_TOF ? calibration::kTofIntrinsic : calibration::kColorIntrinsic;
    const int ret = QueryDoubles(sub, K, kMatrixParts);
    if (ret != 0) {
        LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
        return ret;
    }
    LOG_DEVICE(GetDeviceSN(), "type:%d Intrinsic:" NINE_FORMAT, static_cast<int>(type), NINE(K));
    return 0;
}

int DeviceCommonProtocol::SetCameraIntrinsic(SensorType type, const double* K) {
    if (!ValidSensor(type)) return status::kFailed;
    if (!K) return status::kInvalidParameter;
    const uint8_t sub = type == SENSOR_TYPE_TOF ? calibration::kTofIntrinsic : calibration::kColorIntrinsic;
    const int sent = SendDoubles(sub, K, kMatrixParts);
    if (sent != 0) return sent;
    double got[kMatrixParts.Total()] = {};
    if (ConfirmDoubles(sub, K, kMatrixParts, got) == 0) return 0;
    LOG_DEVICE(GetDeviceSN(),
               "Set type:%d pIntrinsic:" NINE_FORMAT " ;\tGet CameraIntrinsic type:%d pIntrinsic_:" NINE_FORMAT,
               static_cast<int>(type), NINE(K), static_cast<int>(type), NINE(got));
    return status::kFailed;
}

int DeviceCommonProtocol::GetCameraDistortion(SensorType type, double* D) {
    if (!ValidSensor(type)) return status::kFailed;
    if (!D) return status::kInvalidParameter;
    const uint8_t sub = type == SENSOR_TYPE_TOF ? calibration::kTofDistortion : calibration::kColorDistortion;
    const int ret = QueryDoubles(sub, D, kDistortionParts);
    if (ret != 0) {
        LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
        return ret;
    }
    LOG_DEVICE(GetDeviceSN(), "type:%d Distortion:" EIGHT_FORMAT, static_cast<int>(type), EIGHT(D));
    return 0;
}

int DeviceCommonProtocol::SetCameraDistortion(SensorType type, const double* D) {
    if (!ValidSensor(type)) return status::kFailed;
    if (!D) return status::kInvalidParameter;
    const uint8_t sub = type == SENSOR_TYPE_TOF ? calibration::kTofDistortion : calibration::kColorDistortion;
    const int sent = SendDoubles(sub, D, kDistortionParts);
    if (sent != 0) return sent;
    double got[kDistortionParts.Total()] = {};
    if (ConfirmDoubles(sub, D, kDistortionParts, got) == 0) return 0;
    LOG_DEVICE(GetDeviceSN(),
               "Set type:%d pDistortion:" EIGHT_FORMAT " ;\tGet CameraDistortion type:%d pDistortion_:" EIGHT_FORMAT,
               static_cast<int>(type), EIGHT(D), static_cast<int>(type), EIGHT(got));
    return status::kFailed;
}

int DeviceCommonProtocol::GetCameraRotation(double* R) {
    if (!R) return status::kInvalidParameter;
    const int ret = QueryDoubles(calibration::kRotation, R, kMatrixParts);
    if (ret != 0) {
        LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
        return ret;
    }
    LOG_DEVICE(GetDeviceSN(), "Lens:%d Rotation:" NINE_FORMAT, kRotationLens, NINE(R));
    return 0;
}

int DeviceCommonProtocol::SetCameraRotation(const double* R) {
    if (!R) return status::kInvalidParameter;
    const int sent = SendDoubles(calibration::kRotation, R, kMatrixParts);
    if (sent != 0) return sent;
    double got[kMatrixParts.Total()] = {};
    if (ConfirmDoubles(calibration::kRotation, R, kMatrixParts, got) == 0) return 0;
    LOG_DEVICE(GetDeviceSN(), "Set Lens:%d Rotation:" NINE_FORMAT " ;\tGet Rotation_:" NINE_FORMAT, kRotationLens,
               NINE(R), NINE(got));
    return status::kFailed;
}

int DeviceCommonProtocol::GetCameraTranslation(double* T) {
    if (!T) return status::kInvalidParameter;
    const int ret = QueryDoubles(calibration::kTranslation, T, kTranslationParts);
    if (ret != 0) {
        LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
        return ret;
    }
    LOG_DEVICE(GetDeviceSN(), "Transfer:%08.6f %08.6f %08.6f", T[0], T[1], T[2]);
    return 0;
}

int DeviceCommonProtocol::SetCameraTransfer(const double* T) {
    if (!T) return status::kInvalidParameter;
    const int sent = SendDoubles(calibration::kTranslation, T, kTranslationParts);
    if (sent != 0) return sent;
    double got[kTranslationParts.Total()] = {};
    const int ret = ConfirmDoubles(calibration::kTranslation, T, kTranslationParts, got);
    if (ret != 0) {
        LOG_DEVICE(GetDeviceSN(), "Set Transfer:%08.6f %08.6f %08.6f ;\tGet Transfer_:%08.6f %08.6f %08.6f", T[0], T[1],
                   T[2], got[0], got[1], got[2]);
    }
    return ret;
}
