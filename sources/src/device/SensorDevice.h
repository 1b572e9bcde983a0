#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "BaseDevice.h"
#include "ReceivePath.h"
#include "ToF_API.h"

// What every device class of a camera with a ToF sensor shares: the ToF plug-in and the
// frame pipeline it owns, opening and closing, the stream with its first-start work, the
// frame hand-out under the stream lock, the property chain and the ToF sensor's settings.
//
// Threads: Open and Close are serialised by their own lock; stream start and stop, the
// frame-ready query and the frame hand-out by the stream lock. Stop, Close and a leave end a
// waiting frame-ready query at once, so the stream lock comes free without waiting out the
// application's wait.
class SensorDevice : public BaseDevice {
public:
    using PipelineFactory = std::function<std::unique_ptr<ReceivePath>(DeviceCommonProtocol&, ToF_API&)>;

    ~SensorDevice() override;

    // -104, with nothing left open, when the camera answers none of the open's commands.
    int Open() override;
    // Shuts the transport down, stops the stream without a stream-off command (the camera
    // is going away from us), stops and joins the pipeline's threads, then closes the
    // transport and tells the plug-in.
    int Close() override;
    // Once the manager reported the camera removed, frame requests and stream starts give
    // -1 until the next successful open.
    int OnMessage(MessageType message) override;
    int StartStream() override;
    int StopStream() override;
    int GetFrameReady(uint16_t waitMs, FrameReady* ready) override;
    int GetFrame(FrameType type, Frame* frame) override;
    int GetCameraIntrinsic(SensorType type, double* k9) override;
    int GetCameraDistortion(SensorType type, double* d8) override;
    int SetIRGMMGain(int gain) override;
    int GetIRGMMGain(int* gain) override;
    // The base's keys, then those of every device with a ToF sensor, then the device class's
    // (by default the ToF plug-in's); -20 for a key nobody takes, -15 for a wrong size.
    int SetProperty(const char* key, const void* data, int dataSize) override;
    int GetProperty(const char* key, void* data, int dataSize) override;
    int ConvertDepthFrameToPointCloudVector(const QlFrame* frame, QlVector3f* points) override;
    int SetTimeFilterParams(TimeFilterParams params) override;
    int GetTimeFilterParams(TimeFilterParams* params) override;
    int SetConfidenceFilterParams(ConfidenceFilterParams params) override;
    int GetConfidenceFilterParams(ConfidenceFilterParams* params) override;
    int SetFlyingPixelFilterParams(FlyingPixelFilterParams params) override;
    int GetFlyingPixelFilterParams(FlyingPixelFilterParams* params) override;
    int SetFillHoleFilterParams(FillHoleFilterParams params) override;
    int GetFillHoleFilterParams(FillHoleFilterParams* params) override;
    int SetSpatialFilterParams(SpatialFilterParams params) override;
    int GetSpatialFilterParams(SpatialFilterParams* params) override;
    int GetSupportedResolutionList(SensorType type, ResolutionList* list) override;
    int SetExposureControlMode(SensorType type, int mode) override;
    int GetExposureControlMode(SensorType type, int* mode) override;
    int SetExposureTime(SensorType type, ExposureTimeParams params) override;
    int GetExposureTime(SensorType type, ExposureTimeParams* params) override;
    int GetErrMsg(QlDeviceErrorInfo* info) override;
    int SetHDRModeEnabled(bool enable) override;
    int GetHDRModeEnabled(bool* enable) override;
    // Checks the image against the camera's firmware, tells the camera to fetch it, stops
    // and closes the device, then lends the command set to the upgrade controller; -19
    // (device closed, controller not started) without an upgrade callback.
    int StartUpgradeFirmWare(const char* imgPath) override;

    // After a success the plug-in is asked for its intrinsics and distortion once, so that
    // it prepares its undistortion for the new setting.
    virtual int SetToFDistortionCorrectionEnable(bool enable);
    virtual int GetToFDistortionCorrectionEnable(bool* enable);

    // The plug-in's data mode; a change drops the frames cached for the old one.
    int SetDataMode(int mode);

protected:
    // `makePipeline` builds the frame pipeline over the command set and the plug-in, both
    // of which outlive it.
    SensorDevice(const DeviceInfo& info, std::unique_ptr<ToF_API> tof, std::unique_ptr<IO> io,
                 const PipelineFactory& makePipeline, linktiming::SleepFunction sleep);

    ToF_API& ToF() { return *m_tofApi; }
    ReceivePath& Pipeline() { return *m_receivePath; }

    // The keys past the shared ones: the device class's own, then its plug-ins'. By default
    // the ToF plug-in's; -255 for a key nobody here takes.
    virtual int SetOwnProperty(const char* key, const void* data, int dataSize);
    virtual int GetOwnProperty(const char* key, void* data, int dataSize);
    // The first-start reads of the camera's calibration, handed to the preprocessing
    // object and the plug-ins.
    virtual void ReadCalibration() = 0;

private:
    // The keys of every device with a ToF sensor; -255 for any other.
    int SetSensorProperty(const char* key, const void* data, int dataSize);
    int GetSensorProperty(const char* key, void* data, int dataSize);
    // The JSON path key's data as a text shorter than its 1024-byte buffer, with or without its
    // terminating zero, handed to SetJsonPath_P.
    int SetJsonPathProperty(const void* data, int dataSize);
    void SetPluginsOpen(bool open);
    // Close under the open lock.
    int CloseOpened();
    // Under the stream lock. The first stream start after each open.
    void InitDevice();
    // Under the stream lock; the plug-in's result.
    int SwitchStreamOff(bool tellCamera);
    // The last step of the property chain: -15 and -255 logged, -255 becomes -20.
    int PropertyResult(const char* key, int dataSize, int ret);
    bool IsToFSensor(SensorType type);

    std::unique_ptr<ToF_API> m_tofApi;
    // Declared after the plug-in: it hands the plug-in's frames back when it goes.
    std::unique_ptr<ReceivePath> m_receivePath;
    std::atomic<bool> m_opened{false};
    std::atomic<bool> m_streaming{false};
    std::atomic<bool> m_gone{false};  // told by the manager that the camera is removed
    bool m_initialized = false;       // under the stream lock
    std::mutex m_openMutex;
    std::mutex m_streamMutex;
};
