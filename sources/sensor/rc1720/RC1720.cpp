#include "RC1720.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

#include "ColorProfile.h"
#include "JpegDecoder.h"
#include "log.h"

namespace {

constexpr uint32_t kRawQueued = 2;
constexpr uint32_t kRawPool = 5;
constexpr uint32_t kDecodedQueued = 2;
constexpr uint32_t kDecodedPool = 12;
constexpr int kHeaderBytes = 5;
constexpr int kExposureBytes = 4;
constexpr int kRawDumpRecords = 3;
constexpr std::chrono::milliseconds kIdlePause{10};

struct RecordSize {
    int width;
    int height;
};

// The resolution a colour record type carries; {0, 0} for a type that is not colour.
RecordSize SizeOfType(uint8_t type) {
    switch (type) {
        case '4': return {640, 480};
        case '6': return {1600, 1200};
        case '7': return {800, 600};
        default: return {0, 0};
    }
}

uint32_t RecordLength(const uint8_t* record) {
    return record[1] | (record[2] << 8) | (static_cast<uint32_t>(record[3]) << 16);
}

// Empties a frame for reuse; its buffer stays.
void ClearFrame(Frame& frame) {
    std::memset(frame.data, 0, frame.length);
    frame.frameIndex = 0;
    frame.exposureTime = 0;
    frame.width = 0;
    frame.height = 0;
    frame.length = 0;
    frame.depthRange = 0;
    frame.hasFrameType = 0;
    frame.timestamp = 0;
}

}  // namespace

RC1720::RC1720(rc1720::Protocol::SleepFunction sleep)
    : StoppableThread("Color"),
      mProtocol(std::move(sleep)),
      mRgbRawFrameQ(FRAME_RAW_COLOR, kRawQueued, kRawPool),
      mRgbDecodedFrameQ(FRAME_COLOR, kDecodedQueued, kDecodedPool) {
    mPtrRaw = mRgbRawFrameQ.AllocFrame(FRAME_RAW_COLOR);
    mPtrRgb = mRgbDecodedFrameQ.AllocFrame(FRAME_COLOR);
}

RC1720::~RC1720() {
    SetOpenState(false);
    if (mPtrRgb) mRgbDecodedFrameQ.RecycleFrame(mPtrRgb);
    if (mPtrRaw) mRgbRawFrameQ.RecycleFrame(mPtrRaw);
    if (mPtrRawDecoding) mRgbRawFrameQ.RecycleFrame(mPtrRawDecoding);
}

const char* RC1720::Tag() const { return mCommonControl ? mCommonControl->GetDeviceSN() : "null"; }

int RC1720::SetConfigFilePath(const char* path) {
    if (path == nullptr) return -1;
    rc1720::ReadResolutionList(path, mResolutionList);
    return 0;
}

int RC1720::Init(CommonControl* control, Consumer* consumer, APIImgPreProcess* preProcess) {
    if (control == nullptr || consumer == nullptr || preProcess == nullptr) return -1;
    mCommonControl = control;
    mProtocol.SetCommonControl(control);
    mConsumer = consumer;
    mImgPreProcess = preProcess;
    LOG_DEVICE(Tag(), "ok");
    return 0;
}

void RC1720::IntrinsicFor(int width, int height, bool adjust, double* K) {
    {
        std::lock_guard<std::mutex> lock(mIntrinsicLock);
        std::memcpy(K, mIntrinsic, sizeof(mIntrinsic));
    }
    // Calibrated at 1600x1200; the smaller modes are scaled images of it.
    double scale = 1.0;
    if (width == 640 && height == 480) scale = 0.4;
    if (width == 800 && height == 600) scale = 0.5;
    for (int i : {0, 2, 4, 5}) K[i] *= scale;
    if (adjust && mDistortionCorrection && mImgPreProcess) {
        double D[8];
        {
            std::lock_guard<std::mutex> lock(mIntrinsicLock);
            std::memcpy(D, mDistortion, sizeof(D));
        }
        mImgPreProcess->AdjustIntrinsic(K, D, (height << 16) | width);
    }
}

int RC1720::SetIntrinsicParams(const double* K, const double* D) {
    if (K == nullptr || D == nullptr) return -12;
    {
        std::lock_guard<std::mutex> lock(mIntrinsicLock);
        std::memcpy(mIntrinsic, K, sizeof(mIntrinsic));
        std::memcpy(mDistortion, D, sizeof(mDistortion));
    }
    int width = 0;
    int height = 0;
    // A failed read keeps the resolution we had: a 0x0 size would scale nothing right.
    if (mProtocol.GetColorResolution(width, height) == 0) {
        mWidth = width;
        mHeight = height;
    } else {
        LOG_DEVICE(Tag(), "keeps resolution %dx%d.", mWidth.load(), mHeight.load());
    }
    mFilterWidth = mWidth;
    mFilterHeight = mHeight;
    double scaled[9];
    IntrinsicFor(mWidth, mHeight, false, scaled);
    if (mImgPreProcess) mImgPreProcess->SetSensorIntrinsic(1, scaled, mWidth, mHeight);
    return 0;
}

int RC1720::GetIntrinsic(double* K) {
    if (K == nullptr) return -12;
    IntrinsicFor(mWidth, mHeight, true, K);
    return 0;
}

int RC1720::GetDistortion(double* D) {
    if (D == nullptr) return -12;
    std::lock_guard<std::mutex> lock(mIntrinsicLock);
    std::memcpy(D, mDistortion, sizeof(mDistortion));
    return 0;
}

int RC1720::SetOpenState(bool open) {
    if (open) {
        mRgbRawFrameQ.Rearm();
        return Start();
    }
    Stop();
    mRgbRawFrameQ.Wake();  // the thread may wait for a record
    Join();
    mRgbRawFrameQ.Rearm();
    return 0;
}

int RC1720::SetStream(bool on) {
    mStreamOn = on;
    return 0;
}

void RC1720::RecycleCache() { mRecycle = true; }

bool RC1720::IsFrameReady(FrameType) { return mRgbDecodedFrameQ.Size() > 0; }

int RC1720::GetFrame(FrameType type, Frame** frame) {
    if (frame == nullptr) return -12;
    *frame = nullptr;
    if (type != FRAME_COLOR) return -1;
    *frame = mRgbDecodedFrameQ.Pop(FRAME_COLOR);
    return *frame ? 0 : -1;
}

int RC1720::RecycleFrame(Frame* frame) { return mRgbDecodedFrameQ.RecycleFrame(frame); }

int RC1720::SetFrameEnable(FrameType type, bool enable) {
    if (type == FRAME_COLOR) mFrameEnable = enable;
    return 0;
}

int RC1720::GetFrameEnable(FrameType type, bool* enable) {
    if (enable == nullptr) return -12;
    *enable = type == FRAME_COLOR && mFrameEnable;
    return 0;
}

int RC1720::SetPixelFormat(PixelFormat format) {
    mPixelFormat = format;
    return 0;
}

int RC1720::GetPixelFormat(PixelFormat* format) {
    if (format == nullptr) return -12;
    *format = mPixelFormat;
    return 0;
}

int RC1720::SetDistortionCorrectionEnabled(bool enable) {
    if (mDistortionCorrectionCmd) {
        const int ret = mProtocol.SetDspStatus({8, 0, static_cast<uint8_t>(enable), 0});
        if (ret != 0) return ret;
    }
    mDistortionCorrection = enable;
    return 0;
}

bool RC1720::GetDistortionCorrectionEnabled() {
    if (!mDistortionCorrectionCmd) return mDistortionCorrection;
    DSPParameters params{8, 0, 1, 0};
    if (mProtocol.GetDspStatus(params) == 0) mDistortionCorrection = params.enable != 0;
    return mDistortionCorrection;
}

void RC1720::SetDistortionCorrectionCmd(bool byCamera) { mDistortionCorrectionCmd = byCamera; }

int RC1720::SetExposureControlMode(int mode) {
    return mProtocol.SetRGBManualExposureState(static_cast<uint8_t>(mode));
}

int RC1720::GetExposureControlMode(int* mode) {
    if (mode == nullptr) return -12;
    uint8_t manual = 0;
    const int ret = mProtocol.GetRGBManualExposureState(manual);
    *mode = ret == 0 && manual == 1 ? 1 : 0;
    return ret;
}

int RC1720::SetExposureTime(ExposureTimeParams params) {
    switch (params.mode) {
        case 0: {
            const int value = params.exposureTime / 1000;
            if (value < 0 || value > UINT8_MAX) break;  // does not fit the camera's byte
            return mProtocol.SetAEMaxExposureTime(static_cast<uint8_t>(value));
        }
        case 1: {
            const int value = params.exposureTime / 100;
            if (value < 0 || value > UINT16_MAX) break;
            return mProtocol.SetRGBManualExposureTime(static_cast<uint16_t>(value));
        }
        default:
            LOG_DEVICE(Tag(), "mode:%d is invalid.", params.mode);
            return -15;
    }
    LOG_DEVICE(Tag(), "exposureTime:%d is invalid.", params.exposureTime);
    return -15;
}

int RC1720::GetExposureTime(ExposureTimeParams* params) {
    if (params == nullptr) return -12;
    switch (params->mode) {
        case 1: {
            uint16_t value = 0;
            const int ret = mProtocol.GetRGBManualExposureTime(value);
            params->exposureTime = ret == 0 ? value * 100 : 0;
            return ret;
        }
        case 0: {
            uint8_t value = 0;
            const int ret = mProtocol.GetAEMaxExposureTime(value);
            params->exposureTime = ret == 0 ? value * 1000 : 0;
            return ret;
        }
        case 255: {
            uint8_t value = 0;
            const int ret = mProtocol.GetRGBMaxExposureTime(value);
            if (ret == 0) params->exposureTime = value * 1000;
            return ret;
        }
        default:
            LOG_DEVICE(Tag(), "mode:%d is invalid.", params->mode);
            return -15;
    }
}

int RC1720::SetResolution(int width, int height) {
    const int count = std::clamp(mResolutionList.count, 0, 6);
    for (int i = 0; i < count; ++i) {
        if (mResolutionList.resolution[i].width != width || mResolutionList.resolution[i].height != height) continue;
        const int ret = mProtocol.SetColorResolution(width, height);
        if (ret == 0) {
            mWidth = width;
            mHeight = height;
        }
        return ret;
    }
    LOG_DEVICE(Tag(), "w:%d, h:%d is invalid.", width, height);
    return -15;
}

int RC1720::GetResolution(int* width, int* height) {
    if (width == nullptr || height == nullptr) return -12;
    return mProtocol.GetColorResolution(*width, *height);
}

int RC1720::GetResolutionList(ResolutionList* list) {
    if (list == nullptr) return -12;
    *list = mResolutionList;
    return 0;
}

int RC1720::CheckImgData(uint8_t* record, int size) {
    if (record == nullptr || size < kHeaderBytes) return -1;  // no whole head to read
    const uint8_t type = record[0];
    if (SizeOfType(type).width == 0) return -255;
    const uint32_t length = RecordLength(record);
    if (length == 0) {
        LOG_DEVICE(Tag(), "typeId:%d dataLenth.lenth:%d is invalid.", type, 0);
        return -1;
    }
    return mFrameEnable ? static_cast<int>(HAS_COLOR_FRAME) : 0;
}

int RC1720::ProcessData(uint8_t* record, int size, FrameSyncInfo info) {
    if (mPtrRaw == nullptr) {
        LOG_DEVICE(Tag(), "mPtrRaw:%p %p is NULL.", static_cast<void*>(mPtrRaw), static_cast<void*>(record));
        mPtrRaw = mRgbRawFrameQ.AllocFrame(FRAME_RAW_COLOR);
        return -1;
    }
    // A record needs its head and at least one payload byte.
    if (record == nullptr || size < kHeaderBytes + 1) {
        LOG_DEVICE(Tag(), "dataSize:%d is too short.", size);
        return -1;
    }
    const uint8_t type = record[0];
    const int64_t length = RecordLength(record);
    const int64_t unused = static_cast<int64_t>(size) - kHeaderBytes;
    if (unused < length) {
        LOG_DEVICE(Tag(), "dataSize:%d typeId:%d dataLenth.lenth:%d  > unUsed:%d", size, type,
                   static_cast<int>(length), static_cast<int>(unused));
        return -1;
    }
    if (length + kHeaderBytes > mPtrRaw->capacity) {
        LOG_DEVICE(Tag(), "dataLenth.lenth:%d is more than %u.", static_cast<int>(length),
                   mPtrRaw->capacity - kHeaderBytes);
        return -1;
    }
    if (SizeOfType(type).width != 0) {
        const uint32_t total = static_cast<uint32_t>(length) + kHeaderBytes;
        std::memcpy(mPtrRaw->data, record, total);
        mPtrRaw->length = total;
        if (mSaveRaw) DumpRaw(record + kHeaderBytes, static_cast<uint32_t>(length), info.frameIndex);
    } else {
        LOG_DEVICE(Tag(), "typeId:%d is non-supported.", type);
    }
    if (mPtrRaw->length == 0) return -1;
    if (!mStreamOn) {
        ClearFrame(*mPtrRaw);
        return -1;
    }
    mPtrRaw->frameIndex = info.frameIndex;
    mPtrRaw->hasFrameType = info.hasFrameType;
    mPtrRaw->timestamp = info.timestamp;
    mRgbRawFrameQ.Push(mPtrRaw);
    mPtrRaw = mRgbRawFrameQ.AllocFrame(FRAME_RAW_COLOR);
    return -1;
}

void RC1720::DumpRaw(const uint8_t* payload, uint32_t length, uint32_t frameIndex) {
    char name[64];
    std::snprintf(name, sizeof(name), "raw_rgb_%d.jpg", static_cast<int>(frameIndex));
    if (FILE* file = std::fopen(name, "ab+e")) {
        std::fwrite(payload, 1, length, file);
        std::fclose(file);
    } else {
        LOG_DEVICE(Tag(), "open %s failed.", name);
    }
    if (++mSaveRawCount >= kRawDumpRecords) {
        mSaveRaw = false;
        mSaveRawCount = 0;
    }
}

int RC1720::GetRGBRawData(Frame** frame) {
    if (frame == nullptr) return -12;
    *frame = mRgbRawFrameQ.Pop(FRAME_RAW_COLOR);
    return *frame ? 0 : -1;
}

int RC1720::RecycleRawColorFrame(Frame* frame) { return mRgbRawFrameQ.RecycleFrame(frame); }

bool RC1720::DecodeRGB(const Frame& raw, Frame& rgb) {
    if (raw.length < static_cast<uint32_t>(kHeaderBytes + kExposureBytes + 2)) return false;
    const uint8_t* payload = raw.data + kHeaderBytes;
    const uint32_t length = raw.length - kHeaderBytes;
    float exposure = 0;
    std::memcpy(&exposure, payload + length - kExposureBytes, sizeof(exposure));
    rgb.exposureTime = exposure * 1000;
    if (payload[0] != 0xFF || payload[1] != 0xD8) return false;
    const RecordSize size = SizeOfType(raw.data[0]);
    rgb.width = static_cast<uint16_t>(size.width);
    rgb.height = static_cast<uint16_t>(size.height);
    if (rc1720::Mjpeg2Rgb_new(payload, size.width, size.height, length, rgb.data, rgb.capacity, mPixelFormat,
                              Tag()) != 0) {
        return false;
    }
    rgb.length = static_cast<uint32_t>(size.width) * size.height * 3;
    return true;
}

void RC1720::Pause() { std::this_thread::sleep_for(kIdlePause); }

bool RC1720::DecodeStep() {
    if (!mStreamOn || mRecycle) {
        // Drop what is queued: every record while the stream is off, one on a recycle request.
        while (Frame* stale = mRgbRawFrameQ.Pop(FRAME_RAW_COLOR)) {
            mRgbRawFrameQ.RecycleFrame(stale);
            if (mStreamOn) break;
        }
        mRecycle = false;
        return true;
    }
    mPtrRawDecoding = mRgbRawFrameQ.Pop(FRAME_RAW_COLOR);
    if (mPtrRawDecoding == nullptr) return false;
    const auto giveRawBack = [this] {
        mRgbRawFrameQ.RecycleFrame(mPtrRawDecoding);
        mPtrRawDecoding = nullptr;
    };
    const PixelFormat format = mPixelFormat;
    if (format != PIXEL_FORMAT_RGB && format != PIXEL_FORMAT_BGR) {
        giveRawBack();
        return false;
    }
    if (mPtrRgb == nullptr) {
        giveRawBack();
        mPtrRgb = mRgbDecodedFrameQ.AllocFrame(FRAME_COLOR);
        return false;
    }
    if (!DecodeRGB(*mPtrRawDecoding, *mPtrRgb) || mPtrRgb->length == 0) {
        ClearFrame(*mPtrRgb);
        giveRawBack();
        return true;
    }
    if (mPtrRgb->width != mFilterWidth || mPtrRgb->height != mFilterHeight) {
        mFilterWidth = mPtrRgb->width;
        mFilterHeight = mPtrRgb->height;
        double K[9];
        IntrinsicFor(mFilterWidth, mFilterHeight, false, K);
        if (mImgPreProcess) mImgPreProcess->SetSensorIntrinsic(1, K, mFilterWidth, mFilterHeight);
    }
    if (mDistortionCorrection && !mDistortionCorrectionCmd && mImgPreProcess) {
        PreProcImage image{mPtrRgb->data, ALG_ELEM_8UC3, mPtrRgb->width, mPtrRgb->height};
        mImgPreProcess->ProcessColorImage(&image);
    }
    mPtrRgb->pixelFormat = format;
    if (mRecycle) {
        mRgbDecodedFrameQ.RecycleFrame(mPtrRgb);
        mPtrRgb = mRgbDecodedFrameQ.AllocFrame(FRAME_COLOR);
        giveRawBack();
        return true;
    }
    mPtrRgb->frameIndex = mPtrRawDecoding->frameIndex;
    mPtrRgb->hasFrameType = mPtrRawDecoding->hasFrameType;
    mPtrRgb->timestamp = mPtrRawDecoding->timestamp;
    mPtrRgb->frameType = FRAME_COLOR;
    mRgbDecodedFrameQ.Push(mPtrRgb);
    if (Consumer* consumer = mConsumer) consumer->SetSingleFrameReady(HAS_COLOR_FRAME);
    mPtrRgb = mRgbDecodedFrameQ.AllocFrame(FRAME_COLOR);
    if (mPtrRgb == nullptr) {
        LOG_DEVICE(Tag(), "Alloc mRgbDecodedFrameQ is NULL RGBFrame %u", mRgbDecodedFrameQ.Size());
    }
    giveRawBack();
    return true;
}

void RC1720::Run() {
    while (IsRunning()) {
        if (!DecodeStep()) Pause();
    }
}
