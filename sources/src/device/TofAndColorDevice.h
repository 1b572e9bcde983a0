#pragma once
#include <memory>

#include "APIImgPreProcess.h"
#include "Color_API.h"
#include "PreProcessFactory.h"
#include "SensorDevice.h"

class ImageProc_ToFAndColor;

namespace tofandcolor {

// Holds the colour plug-in in a base that is built before, and destroyed after, the
// SensorDevice part: the pipeline that SensorDevice owns hands colour frames back to the
// plug-in when it goes.
struct ColorPluginOwner {
    explicit ColorPluginOwner(std::unique_ptr<Color_API> color) : colorApi(std::move(color)) {}
    std::unique_ptr<Color_API> colorApi;
};

}  // namespace tofandcolor

// The device of a camera with a ToF and a colour sensor: the ToF device's rules, with the
// colour plug-in beside the ToF plug-in, colour frames and the two mapped images, the
// colour settings, the extrinsics between the two cameras and a point cloud of a depth
// image mapped into the colour camera.
class TofAndColorDevice : private tofandcolor::ColorPluginOwner, public SensorDevice {
public:
    // Owns both plug-ins, the transport and the preprocessing object (null when the library
    // gave none) from then on.
    TofAndColorDevice(const DeviceInfo& info, std::unique_ptr<ToF_API> tof, std::unique_ptr<Color_API> color,
                      std::unique_ptr<IO> io, std::unique_ptr<APIImgPreProcess> preProcess = NewPreProcess(),
                      linktiming::SleepFunction sleep = linktiming::SleepFor);
    ~TofAndColorDevice() override;

    // Only while the JSON controller waits for the host's file (its status 3): -15 for an
    // empty path, -2 outside status 3, else the JSON-path command's result; on success the
    // controller goes on with the path.
    int SetJsonPath_P(const char* path) override;

    // The colour plug-in's thread runs from a successful open to the close.
    int Open() override;
    int Close() override;

    // Sensor 2 is the colour plug-in's; sensor 1 the ToF plug-in's; any other -20.
    int GetCameraIntrinsic(SensorType type, double* k9) override;
    int GetCameraDistortion(SensorType type, double* d8) override;
    int GetSupportedResolutionList(SensorType type, ResolutionList* list) override;
    int SetExposureControlMode(SensorType type, int mode) override;
    int GetExposureControlMode(SensorType type, int* mode) override;
    int SetExposureTime(SensorType type, ExposureTimeParams params) override;
    int GetExposureTime(SensorType type, ExposureTimeParams* params) override;

    int SetColorPixelFormat(PixelFormat format) override;
    int GetColorPixelFormat(PixelFormat* format) override;
    int SetColorResolution(int width, int height) override;
    int GetColorResolution(int* width, int* height) override;
    // The rotation, then (only when that was read) the translation; the first failure.
    int GetSensorExtrinsicParameters(SensorExtrinsicParameters* params) override;
    int SetTransformColorImgToDepthCameraEnabled(bool enable) override;
    int GetTransformColorImgToDepthCameraEnabled(bool* enable) override;
    int SetTransformDepthImgToColorCameraEnabled(bool enable) override;
    int GetTransformDepthImgToColorCameraEnabled(bool* enable) override;
    int TransformedDepthPointToColorPoint(QlDepthVector3 depthPoint, QlVector2u16 colorSize,
                                          QlVector2u16* colorPoint) override;
    // Depth frames through the ToF plug-in; depth-in-colour frames here, with the colour
    // camera's intrinsics (-255 when its focal lengths are 0: nothing is written).
    int ConvertDepthFrameToPointCloudVector(const QlFrame* frame, QlVector3f* points) override;

protected:
    // The colour sensor's keys; any other goes to the ToF plug-in, then to the colour
    // plug-in: -7 (set) or -6 (get) when neither takes it.
    int SetOwnProperty(const char* key, const void* data, int dataSize) override;
    int GetOwnProperty(const char* key, void* data, int dataSize) override;
    void ReadCalibration() override;

private:
    Color_API& Color() { return *colorApi; }
    ImageProc_ToFAndColor& ColorPipeline();
    // A key that is not the colour sensor's: `call` on the ToF plug-in, then on the colour
    // plug-in; `refusal`, logged on behalf of `function`, when neither takes it.
    template <typename Call>
    int PluginProperty(const char* function, const char* key, int refusal, const Call& call);
    int DepthInColorPointCloud(const QlFrame& frame, QlVector3f* points);
};
