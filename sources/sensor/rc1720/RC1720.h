#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>

#include "Color_API.h"
#include "FrameQueue.h"
#include "Protocol.h"
#include "StoppableThread.h"

// The colour sensor of one device: takes the camera's JPEG records from the kit's receive
// thread, decodes them on its "Color" thread into RGB or BGR frames and tells the kit's
// frame grouping. Also scales the colour intrinsics and forwards the colour settings.
class RC1720 : public Color_API, public StoppableThread {
public:
    explicit RC1720(rc1720::Protocol::SleepFunction sleep = nullptr);
    ~RC1720() override;

    int SetConfigFilePath(const char* path) override;
    int Init(CommonControl* control, Consumer* consumer, APIImgPreProcess* preProcess) override;
    int SetIntrinsicParams(const double* K, const double* D) override;
    int GetIntrinsic(double* K) override;
    int GetDistortion(double* D) override;
    int SetOpenState(bool open) override;
    int SetStream(bool on) override;
    void RecycleCache() override;
    bool IsFrameReady(FrameType type) override;
    int GetFrame(FrameType type, Frame** frame) override;
    int RecycleFrame(Frame* frame) override;
    int SetFrameEnable(FrameType type, bool enable) override;
    int GetFrameEnable(FrameType type, bool* enable) override;
    int SetPixelFormat(PixelFormat format) override;
    int GetPixelFormat(PixelFormat* format) override;
    int SetDistortionCorrectionEnabled(bool enable) override;
    bool GetDistortionCorrectionEnabled() override;
    int SetExposureControlMode(int mode) override;
    int GetExposureControlMode(int* mode) override;
    int SetExposureTime(ExposureTimeParams params) override;
    int GetExposureTime(ExposureTimeParams* params) override;
    int SetResolution(int width, int height) override;
    int GetResolution(int* width, int* height) override;
    int GetResolutionList(ResolutionList* list) override;
    int ProcessData(uint8_t* record, int size, FrameSyncInfo info) override;
    int CheckImgData(uint8_t* record, int size) override;
    int SetProperty(const char* key, const void* data, int size) override;
    int GetProperty(const char* key, void* data, int size) override;
    void SetDistortionCorrectionCmd(bool byCamera) override;

    int GetRGBRawData(Frame** frame);
    int RecycleRawColorFrame(Frame* frame);

    // One pass of the decode loop; false when it found nothing to do (the loop then pauses).
    bool DecodeStep();

protected:
    void Run() override;

private:
    // The camera matrix for a size, optionally adjusted for undistortion.
    void IntrinsicFor(int width, int height, bool adjust, double* K);
    bool DecodeRGB(const Frame& raw, Frame& rgb);
    void DumpRaw(const uint8_t* payload, uint32_t length, uint32_t frameIndex);
    void Pause();
    const char* Tag() const;

    std::atomic<Consumer*> mConsumer{nullptr};
    rc1720::Protocol mProtocol;
    double mIntrinsic[9] = {};
    double mDistortion[8] = {};
    std::atomic<bool> mStreamOn{false};
    std::atomic<bool> mRecycle{false};
    ResolutionList mResolutionList{};
    std::atomic<PixelFormat> mPixelFormat{PIXEL_FORMAT_BGR};
    std::atomic<int32_t> mWidth{640};
    std::atomic<int32_t> mHeight{480};
    int32_t mFilterWidth = 0;  // the "Color" thread's
    int32_t mFilterHeight = 0;
    FrameQueue mRgbRawFrameQ;
    FrameQueue mRgbDecodedFrameQ;
    Frame* mPtrRaw = nullptr;          // the receive thread's
    Frame* mPtrRawDecoding = nullptr;  // the "Color" thread's
    Frame* mPtrRgb = nullptr;          // the "Color" thread's
    std::atomic<bool> mSaveRaw{false};
    int32_t mSaveRawCount = 0;
    std::atomic<bool> mFrameEnable{true};
    std::atomic<bool> mDistortionCorrection{true};
    APIImgPreProcess* mImgPreProcess = nullptr;
    std::atomic<bool> mDistortionCorrectionCmd{false};
    CommonControl* mCommonControl = nullptr;
    std::mutex mIntrinsicLock;  // mIntrinsic and mDistortion, set by the application
};
