#include "RC1720.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <thread>

#include "ByteOrder.h"
#include "ColorCommands.h"
#include "ColorProfile.h"
#include "JpegDecoder.h"
#include "StatusCodes.h"
#include "log.h"

namespace {

// Two frames queued each way keep the newest and drop the oldest; the pools leave room for
// the frames the threads and the application hold meanwhile.
constexpr uint32_t kRawQueued = 2;
constexpr uint32_t kRawPool = 5;
constexpr uint32_t kDecodedQueued = 2;
constexpr uint32_t kDecodedPool = 12;
constexpr int kHeaderBytes = 5;                      // type, 24-bit payload length, one byte not read
constexpr int kExposureBytes = 4;                    // the exposure float that ends the payload
constexpr int kJpegMarkerBytes = 2;                  // a JPEG starts with 0xFF 0xD8
constexpr int kRawDumpRecords = 3;                   // records dumped for each "Py_SaveRawRGBImg"
constexpr std::chrono::milliseconds kIdlePause{10};  // the decode loop's wait when it found nothing to do
constexpr float kExposureScale = 1000;  // the frame counts exposure in units 1000 times finer than the record
// The intrinsics are calibrated at 1600x1200; the smaller modes are the same image scaled.
constexpr double kScale640 = 0.4;
constexpr double kScale800 = 0.5;
// ExposureTimeParams carry thousandths of the camera's unit; its manual exposure time counts
// in tenths of that unit.
constexpr int kPerAEUnit = 1000;
constexpr int kPerManualUnit = 100;
constexpr int kMaxExposureMode = 255;  // the read-only mode: the camera's maximum exposure

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

uint32_t RecordLength(const uint8_t* record) { return byteorder::GetLe24(record + 1); }

// A frame's holder starts afresh: the pool empties the frame as it takes it back, and the
// holder takes a free one in its place (its thread is the pool's only taker, so one is free).
Frame* Renew(FrameQueue& queue, Frame* frame, FrameType type) {
    queue.RecycleFrame(frame);
    return queue.AllocFrame(type);
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
    if (path == nullptr) return status::kFailed;
    rc1720::ReadResolutionList(path, mResolutionList);
    return 0;
}

int RC1720::Init(CommonControl* control, Consumer* consumer, APIImgPreProcess* preProcess) {
    if (control == nullptr || consumer == nullptr || preProcess == nullptr) return status::kFailed;
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
    double scale = 1.0;
    if (width == 640 && height == 480) scale = kScale640;
    if (width == 800 && height == 600) scale = kScale800;
    for (int i : {0, 2, 4, 5}) K[i] *= scale;  // fx, cx, fy, cy
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
    if (K == nullptr || D == nullptr) return status::kNullArgument;
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
    if (K == nullptr) return status::kNullArgument;
    IntrinsicFor(mWidth, mHeight, true, K);
    return 0;
}

int RC1720::GetDistortion(double* D) {
    if (D == nullptr) return status::kNullArgument;
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
    if (frame == nullptr) return status::kNullArgument;
    *frame = nullptr;
    if (type != FRAME_COLOR) return status::kFailed;
    *frame = mRgbDecodedFrameQ.Pop(FRAME_COLOR);
    return *frame ? status::kOk : status::kFailed;
}

int RC1720::RecycleFrame(Frame* frame) { return mRgbDecodedFrameQ.RecycleFrame(frame); }

int RC1720::SetFrameEnable(FrameType type, bool enable) {
    if (type == FRAME_COLOR) mFrameEnable = enable;
    return 0;
}

int RC1720::GetFrameEnable(FrameType type, bool* enable) {
    if (enable == nullptr) return status::kNullArgument;
    *enable = type == FRAME_COLOR && mFrameEnable;
    return 0;
}

int RC1720::SetPixelFormat(PixelFormat format) {
    mPixelFormat = format;
    return 0;
}

int RC1720::GetPixelFormat(PixelFormat* format) {
    if (format == nullptr) return status::kNullArgument;
    *format = mPixelFormat;
    return 0;
}

int RC1720::SetDistortionCorrectionEnabled(bool enable) {
    if (mDistortionCorrectionCmd) {
        const int ret = mProtocol.SetDspStatus({colorcmd::kDspConfigDistortion, 0, static_cast<uint8_t>(enable), 0});
        if (ret != 0) return ret;
    }
    mDistortionCorrection = enable;
    return 0;
}

bool RC1720::GetDistortionCorrectionEnabled() {
    if (!mDistortionCorrectionCmd) return mDistortionCorrection;
    DSPParameters params{colorcmd::kDspConfigDistortion, 0, 1, 0};
    if (mProtocol.GetDspStatus(params) == 0) mDistortionCorrection = params.enable != 0;
    return mDistortionCorrection;
}

void RC1720::SetDistortionCorrectionCmd(bool byCamera) { mDistortionCorrectionCmd = byCamera; }

int RC1720::SetExposureControlMode(int mode) { return mProtocol.SetRGBManualExposureState(static_cast<uint8_t>(mode)); }

int RC1720::GetExposureControlMode(int* mode) {
    if (mode == nullptr) return status::kNullArgument;
    uint8_t manual = 0;
    const int ret = mProtocol.GetRGBManualExposureState(manual);
    *mode = ret == 0 && manual == 1 ? 1 : 0;
    return ret;
}

int RC1720::SetExposureTime(ExposureTimeParams params) {
    switch (params.mode) {
        case 0: {
            const int value = params.exposureTime / kPerAEUnit;
            if (value < 0 || value > UINT8_MAX) break;  // does not fit the camera's byte
            return mProtocol.SetAEMaxExposureTime(static_cast<uint8_t>(value));
        }
        case 1: {
            const int value = params.exposureTime / kPerManualUnit;
            if (value < 0 || value > UINT16_MAX) break;
            return mProtocol.SetRGBManualExposureTime(static_cast<uint16_t>(value));
        }
        default: LOG_DEVICE(Tag(), "mode:%d is invalid.", params.mode); return status::kInvalidParameter;
    }
    LOG_DEVICE(Tag(), "exposureTime:%d is invalid.", params.exposureTime);
    return status::kInvalidParameter;
}

int RC1720::GetExposureTime(ExposureTimeParams* params) {
    if (params == nullptr) return status::kNullArgument;
    switch (params->mode) {
        case 1: {
            uint16_t value = 0;
            const int ret = mProtocol.GetRGBManualExposureTime(value);
            params->exposureTime = ret == 0 ? value * kPerManualUnit : 0;
            return ret;
        }
        case 0: {
            uint8_t value = 0;
            const int ret = mProtocol.GetAEMaxExposureTime(value);
            params->exposureTime = ret == 0 ? value * kPerAEUnit : 0;
            return ret;
        }
        case kMaxExposureMode: {
            uint8_t value = 0;
            const int ret = mProtocol.GetRGBMaxExposureTime(value);
            if (ret == 0) params->exposureTime = value * kPerAEUnit;
            return ret;
        }
        default: LOG_DEVICE(Tag(), "mode:%d is invalid.", params->mode); return status::kInvalidParameter;
    }
}

int RC1720::SetResolution(int width, int height) {
    const int count = std::clamp(mResolutionList.count, 0, static_cast<int>(std::size(mResolutionList.resolution)));
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
    return status::kInvalidParameter;
}

int RC1720::GetResolution(int* width, int* height) {
    if (width == nullptr || height == nullptr) return status::kNullArgument;
    return mProtocol.GetColorResolution(*width, *height);
}

int RC1720::GetResolutionList(ResolutionList* list) {
    if (list == nullptr) return status::kNullArgument;
    *list = mResolutionList;
    return 0;
}

int RC1720::CheckImgData(uint8_t* record, int size) {
    if (record == nullptr || size < kHeaderBytes) return status::kFailed;  // no whole head to read
    const uint8_t type = record[0];
    if (SizeOfType(type).width == 0) return status::kNotMine;
    const uint32_t length = RecordLength(record);
    if (length == 0) {
        LOG_DEVICE(Tag(), "typeId:%d dataLenth.lenth:%d is invalid.", type, 0);
        return status::kFailed;
    }
    return mFrameEnable ? static_cast<int>(HAS_COLOR_FRAME) : 0;
}

// Answers -1 on every path: the kit does not look at it.
int RC1720::ProcessData(uint8_t* record, int size, FrameSyncInfo info) {
    if (mPtrRaw == nullptr) {
        LOG_DEVICE(Tag(), "mPtrRaw:%p %p is NULL.", static_cast<void*>(mPtrRaw), static_cast<void*>(record));
        mPtrRaw = mRgbRawFrameQ.AllocFrame(FRAME_RAW_COLOR);
        return status::kFailed;
    }
    // A record needs its head and at least one payload byte.
    if (record == nullptr || size < kHeaderBytes + 1) {
        LOG_DEVICE(Tag(), "dataSize:%d is too short.", size);
        return status::kFailed;
    }
    const uint8_t type = record[0];
    const int64_t length = RecordLength(record);
    const int64_t unused = static_cast<int64_t>(size) - kHeaderBytes;
    if (unused < length) {
        LOG_DEVICE(Tag(), "dataSize:%d typeId:%d dataLenth.lenth:%d  > unUsed:%d", size, type, static_cast<int>(length),
                   static_cast<int>(unused));
        return status::kFailed;
    }
    if (length + kHeaderBytes > mPtrRaw->capacity) {
        LOG_DEVICE(Tag(), "dataLenth.lenth:%d is more than %u.", static_cast<int>(length),
                   mPtrRaw->capacity - kHeaderBytes);
        return status::kFailed;
    }
    if (SizeOfType(type).width != 0) {
        const uint32_t total = static_cast<uint32_t>(length) + kHeaderBytes;
        std::memcpy(mPtrRaw->data, record, total);
        mPtrRaw->length = total;
        if (mSaveRaw) DumpRaw(record + kHeaderBytes, static_cast<uint32_t>(length), info.frameIndex);
    } else {
        LOG_DEVICE(Tag(), "typeId:%d is non-supported.", type);
    }
    if (mPtrRaw->length == 0) return status::kFailed;
    if (!mStreamOn) {
        mPtrRaw = Renew(mRgbRawFrameQ, mPtrRaw, FRAME_RAW_COLOR);
        return status::kFailed;
    }
    mPtrRaw->frameIndex = info.frameIndex;
    mPtrRaw->hasFrameType = info.hasFrameType;
    mPtrRaw->timestamp = info.timestamp;
    mRgbRawFrameQ.Push(mPtrRaw);
    mPtrRaw = mRgbRawFrameQ.AllocFrame(FRAME_RAW_COLOR);
    return status::kFailed;
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
    if (frame == nullptr) return status::kNullArgument;
    *frame = mRgbRawFrameQ.Pop(FRAME_RAW_COLOR);
    return *frame ? status::kOk : status::kFailed;
}

int RC1720::RecycleRawColorFrame(Frame* frame) { return mRgbRawFrameQ.RecycleFrame(frame); }

bool RC1720::DecodeRGB(const Frame& raw, Frame& rgb) {
    if (raw.length < static_cast<uint32_t>(kHeaderBytes + kExposureBytes + kJpegMarkerBytes)) return false;
    const uint8_t* payload = raw.data + kHeaderBytes;
    const uint32_t length = raw.length - kHeaderBytes;
    rgb.exposureTime = byteorder::GetLeFloat(payload + length - kExposureBytes) * kExposureScale;
    if (payload[0] != 0xFF || payload[1] != 0xD8) return false;
    const RecordSize size = SizeOfType(raw.data[0]);
    rgb.width = static_cast<uint16_t>(size.width);
    rgb.height = static_cast<uint16_t>(size.height);
    if (rc1720::Mjpeg2Rgb_new(payload, size.width, size.height, length, rgb.data, rgb.capacity, mPixelFormat, Tag()) !=
        0) {
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
        mPtrRgb = Renew(mRgbDecodedFrameQ, mPtrRgb, FRAME_COLOR);
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
        mPtrRgb = Renew(mRgbDecodedFrameQ, mPtrRgb, FRAME_COLOR);
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
