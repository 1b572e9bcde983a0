#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "CommandRecords.h"
#include "DeviceCommonProtocol.h"
#include "DeviceInfo.h"
#include "FilterParams.h"
#include "Frame.h"
#include "IO.h"
#include "ImageProc.h"
#include "LinkTiming.h"
#include "MessageType.h"
#include "PropertyKeys.h"
#include "QlTypes.h"
#include "TransferController.h"

// One opened camera, as the API and the device manager see it. The device classes derive
// from it; its own bodies either forward to the camera's command set or report -20 (not
// supported by this device class). It answers the camera-wide property keys that the device
// classes try before their own.
class BaseDevice {
public:
    // Takes a copy of the camera's record and owns the transport from then on. `sleep`
    // paces the command set's read-backs and the pause after a work-mode change.
    BaseDevice(const DeviceInfo& info, std::unique_ptr<IO> io, linktiming::SleepFunction sleep = linktiming::SleepFor);
    virtual ~BaseDevice();
    BaseDevice(const BaseDevice&) = delete;
    BaseDevice& operator=(const BaseDevice&) = delete;

    virtual int Open();
    virtual int Close();
    // Also fails once the camera closed or reset the data connection.
    virtual int HeartbeatCheck();
    virtual int OnMessage(MessageType message);
    virtual int StartStream();
    virtual int StopStream();
    virtual int GetFrameReady(uint16_t waitMs, FrameReady* ready);
    virtual int GetFrame(FrameType type, Frame* frame);
    // A confirmed change records the mode and drops the frames cached for the old one.
    virtual int SetWorkMode(int mode);
    virtual int GetWorkMode(int* mode);
    virtual int SetSoftwareSlaveTrigger();
    // The camera is told to fetch the image; the device classes add the check and the hand-over.
    virtual int StartUpgradeFirmWare(const char* imgPath);
    // Stored in the process-wide upgrade controller: the last one set through any device holds.
    virtual int SetUpgradeStatusCallback(UpgradeStatusCallback callback, const void* userData);
    virtual int SetUpgradeState(UpgradeState state);
    virtual int GetUpgradeState(UpgradeState& state);
    // Switches the camera into JSON mode and stops the stream (the device stays open), then
    // lends the command set to the JSON controller; -3 when the camera refused.
    virtual int SetUpgradeJsonStatusCallback(UpgradeJsonStatusCallback callback, const void* userData);
    virtual int SetToJsonMode_P();
    virtual int SetJsonPath_P(const char* path);
    virtual int SetJsonState(JsonState state);
    virtual int GetJsonState(JsonState& state);
    virtual int GetFirmwareVersion(char* buf, int len);
    virtual int GetCameraIntrinsic(SensorType type, double* k9);
    virtual int GetCameraDistortion(SensorType type, double* d8);
    virtual int Reboot();
    virtual int SetSubnetMask(const char* mask, int len);
    virtual int GetSubnetMask(char* mask, int len);
    virtual int SetMACAddress(const char* mac, int len);
    virtual int GetMACAddress(char* mac, int len);
    virtual int SetFrameRate(int fps);
    virtual int GetFrameRate(int* fps);
    virtual int SetIRGMMGain(int gain);
    virtual int GetIRGMMGain(int* gain);
    // Base keys; -255 for a key that is not one of them (or a calibration key of the wrong
    // size), so that the device classes try their own keys and the plug-ins next.
    virtual int SetProperty(const char* key, const void* data, int dataSize);
    virtual int GetProperty(const char* key, void* data, int dataSize);
    virtual int ConvertDepthFrameToPointCloudVector(const QlFrame* frame, QlVector3f* points);
    virtual int SetTimeFilterParams(TimeFilterParams params);
    virtual int GetTimeFilterParams(TimeFilterParams* params);
    virtual int SetConfidenceFilterParams(ConfidenceFilterParams params);
    virtual int GetConfidenceFilterParams(ConfidenceFilterParams* params);
    virtual int SetFlyingPixelFilterParams(FlyingPixelFilterParams params);
    virtual int GetFlyingPixelFilterParams(FlyingPixelFilterParams* params);
    virtual int SetFillHoleFilterParams(FillHoleFilterParams params);
    virtual int GetFillHoleFilterParams(FillHoleFilterParams* params);
    virtual int SetSpatialFilterParams(SpatialFilterParams params);
    virtual int GetSpatialFilterParams(SpatialFilterParams* params);
    virtual int SetColorPixelFormat(PixelFormat format);
    virtual int GetColorPixelFormat(PixelFormat* format);
    virtual int SetColorResolution(int width, int height);
    virtual int GetColorResolution(int* width, int* height);
    virtual int GetSupportedResolutionList(SensorType type, ResolutionList* list);
    virtual int SetExposureControlMode(SensorType type, int mode);
    virtual int GetExposureControlMode(SensorType type, int* mode);
    virtual int SetExposureTime(SensorType type, ExposureTimeParams params);
    virtual int GetExposureTime(SensorType type, ExposureTimeParams* params);
    virtual int GetSensorExtrinsicParameters(SensorExtrinsicParameters* params);
    virtual int SetTransformColorImgToDepthCameraEnabled(bool enable);
    virtual int GetTransformColorImgToDepthCameraEnabled(bool* enable);
    virtual int SetTransformDepthImgToColorCameraEnabled(bool enable);
    virtual int GetTransformDepthImgToColorCameraEnabled(bool* enable);
    virtual int TransformedDepthPointToColorPoint(QlDepthVector3 depthPoint, QlVector2u16 colorSize,
                                                  QlVector2u16* colorPoint);
    virtual int SetToFDistortionEnable(bool enable);
    virtual int GetToFDistortionEnable(bool* enable);
    virtual int SetColorDistortionEnable(bool enable);
    virtual int GetColorDistortionEnable(bool* enable);
    virtual int GetErrMsg(QlDeviceErrorInfo* info);
    virtual DeviceCommonProtocol* GetCommonProtocol();
    virtual int GetWorkModeInternal();
    virtual int SetHDRModeEnabled(bool enable);
    virtual int GetHDRModeEnabled(bool* enable);

    DeviceInfo GetDeviceInfo() const { return m_deviceInfo; }
    // True while the device stops and closes itself to give its camera to a transfer: a
    // heartbeat that fails meanwhile failed by that close, not by the camera.
    bool HandingOver() const { return m_handingOver.load(); }

protected:
    // Marks the device as handing over for as long as it lives.
    class HandOver {
    public:
        explicit HandOver(BaseDevice& device) : m_device(device) { m_device.m_handingOver = true; }
        ~HandOver() { m_device.m_handingOver = false; }
        HandOver(const HandOver&) = delete;
        HandOver& operator=(const HandOver&) = delete;

    private:
        BaseDevice& m_device;
    };

    // The device class's frame pipeline, flushed after a work-mode change; borrowed.
    void SetImageProc(ImageProc* imageProc) { m_imageProc = imageProc; }
    // The camera's serial number, the tag of every log line about it.
    const char* Tag() const { return m_deviceInfo.serialNumber; }
    DeviceCommonProtocol& CommandSet() { return m_commonProtocol; }
    void SetWorkModeInternal(int mode) { m_workMode = mode; }
    // Records that a transfer controller borrows the command set.
    void MarkLent() { m_lent = true; }
    // Takes the command set back from both controllers; the device classes call it first
    // in their destructors, before anything the controllers' workers may touch goes.
    void DetachTransfers();

private:
    int GetBaseProperty(const propertykeys::Key& key, void* data, int dataSize);
    int SetBaseProperty(const propertykeys::Key& key, const void* data, int dataSize);

    const DeviceInfo m_deviceInfo;
    DeviceCommonProtocol m_commonProtocol;
    std::atomic<int> m_workMode{-1};  // written by the application, read by the receive thread
    ImageProc* m_imageProc = nullptr;
    std::atomic<bool> m_lent{false};
    std::atomic<bool> m_handingOver{false};
    const linktiming::SleepFunction m_sleep;
};
