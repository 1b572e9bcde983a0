#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "APIImgPreProcess.h"
#include "PreProcessFactory.h"
#include "QlTypes.h"
#include "ReceiveClock.h"
#include "ReceivePath.h"

class Color_API;
class DeviceCommonProtocol;
class ToF_API;

// The frame pipeline of a camera with a ToF and a colour sensor: records the ToF plug-in
// does not know go to the colour plug-in, Sync groups both plug-ins' frames, and the device
// hands out colour frames beside the ToF kinds. While switched on, two images are mapped
// from each fresh group through the preprocessing object: the colour image seen from the
// depth camera and the depth image seen from the colour camera. The command set and both
// plug-ins are borrowed from the device and must outlive this object.
class ImageProc_ToFAndColor : public ReceivePath {
public:
    static constexpr uint32_t kColorFrameBytes = 5760000;         // 1600 x 1200 x 3
    static constexpr uint32_t kColorInDepthFrameBytes = 921600;   // 640 x 480 x 3
    static constexpr uint32_t kDepthInColorFrameBytes = 3840000;  // 1600 x 1200 x 2

    // Gives both plug-ins the command set, Sync's Consumer side and the preprocessing object
    // through their Init; the device types whose camera undistorts colour itself tell the
    // colour plug-in so.
    ImageProc_ToFAndColor(DeviceCommonProtocol& control, ToF_API& tof, Color_API& color, int32_t deviceType,
                          std::unique_ptr<APIImgPreProcess> preProcess = NewPreProcess(),
                          receive::Clock clock = receive::SteadyMs);
    ~ImageProc_ToFAndColor() override;

    // Also switches the colour plug-in's stream.
    void SetStream(bool enable) override;
    // The ToF plug-in's cached frames, the colour plug-in's, then Sync's.
    void RecycleCache() override;
    // As the base, and a mapped image whose switch is off is not handed out (-4).
    int GetFrame(FrameType type, Frame* out) override;

    // 0, or -255 without a preprocessing object; the getters -12 for a null `enable`.
    int SetTransformColorImgToDepthCameraEnabled(bool enable);
    int GetTransformColorImgToDepthCameraEnabled(bool* enable) const;
    int SetTransformDepthImgToColorCameraEnabled(bool enable);
    int GetTransformDepthImgToColorCameraEnabled(bool* enable) const;

    // The colour pixel a depth pixel lands on at colour image `size`: 0; -1 (and {0, 0})
    // when the library could not map it; -255 (and {0, 0}) without a preprocessing object;
    // -12 for a null `colorPoint`.
    int GetMappedPointDepthToRGB(QlDepthVector3 depthPoint, QlVector2u16 size, QlVector2u16* colorPoint);

protected:
    void OnFreshGroup(const SyncFrame& group) override;

private:
    bool MapColorToDepth(APIImgPreProcess& pre, const Frame& depth, const Frame& color);
    bool MapDepthToColor(APIImgPreProcess& pre, const Frame& depth, const Frame& color);
    // One line for the first failure of a run, so a camera without calibration does not
    // write one per frame.
    void LogMappingFailure(const char* what, int ret, bool& logged);

    Color_API& m_colorApi;
    const char* m_tag;
    // Switched by the application while the receive path serves frame requests.
    std::atomic<bool> m_transformColorToDepth{false};
    std::atomic<bool> m_transformDepthToColor{false};
    // Under the device's stream lock, as the mapping is.
    bool m_colorToDepthFailureLogged = false;
    bool m_depthToColorFailureLogged = false;
};
