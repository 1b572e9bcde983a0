// A ToF plug-in that does nothing but note its factory call, construction and destruction
// in the ledger under its PLUGIN_NAME.
#include <string>

#include "PluginLedger.h"
#include "ToF_API.h"

namespace {

class TinyToF : public ToF_API {
public:
    TinyToF() { PluginLedgerRecord("+" PLUGIN_NAME); }
    ~TinyToF() override { PluginLedgerRecord("-" PLUGIN_NAME); }

    int Init(CommonControl*, Consumer*, APIImgPreProcess*) override { return 0; }
    int SetConfigFilePath(const char*) override { return 0; }
    int SetIntrinsicParams(const double*, const double*) override { return 0; }
    int GetIntrinsic(double*) override { return -1; }
    int GetDistortion(double*) override { return -1; }
    int SetOpenState(bool) override { return 0; }
    int SetStream(bool) override { return 0; }
    void RecycleCache() override {}
    void SetRawDepthCut(bool) override {}
    bool IsFrameReady(FrameType) override { return false; }
    int GetFrame(FrameType, Frame**) override { return -1; }
    int RecycleFrame(Frame*) override { return 0; }
    int SetFrameEnable(FrameType, bool) override { return 0; }
    int GetFrameEnable(FrameType, bool*) override { return -1; }
    int SetIRGMMGain(int) override { return 0; }
    int GetIRGMMGain(int*) override { return -1; }
    int SetDepthRange(const int&) override { return 0; }
    int GetDepthRange(int&) override { return -1; }
    int SetDatamode(const int&) override { return 0; }
    int GetDatamode(int&) override { return -1; }
    int SetProperty(const char*, const void*, int) override { return -255; }
    int GetProperty(const char*, void*, int) override { return -255; }
    int SetTimeFilterParams(TimeFilterParams) override { return 0; }
    int GetTimeFilterParams(TimeFilterParams*) override { return -1; }
    int SetConfidenceFilterParams(ConfidenceFilterParams) override { return 0; }
    int GetConfidenceFilterParams(ConfidenceFilterParams*) override { return -1; }
    int SetFlyingPixelFilterParams(FlyingPixelFilterParams) override { return 0; }
    int GetFlyingPixelFilterParams(FlyingPixelFilterParams*) override { return -1; }
    int SetFillHoleFilterParams(FillHoleFilterParams) override { return 0; }
    int GetFillHoleFilterParams(FillHoleFilterParams*) override { return -1; }
    int SetSpatialFilterParams(SpatialFilterParams) override { return 0; }
    int GetSpatialFilterParams(SpatialFilterParams*) override { return -1; }
    int SetExposureControlMode(int) override { return 0; }
    int GetExposureControlMode(int*) override { return -1; }
    int SetExposureTime(ExposureTimeParams) override { return 0; }
    int GetExposureTime(ExposureTimeParams*) override { return -1; }
    int SetDistortionCorrectionEnabled(bool) override { return 0; }
    int GetDistortionCorrectionEnabled(bool*) override { return -1; }
    int GetResolutionList(ResolutionList*) override { return -1; }
    int ProcessData(uint8_t*, int, FrameSyncInfo) override { return -1; }
    int CheckImgData(uint8_t*, int) override { return -255; }
    int ConvertDepthFrameToPointCloudVector(const Frame*, Vector3f*) override { return -1; }
    int SetHDRModeEnabled(bool) override { return 0; }
    int GetHDRModeEnabled(bool*) override { return -1; }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) ToF_API* Get_ToF(const char* logPath) {
    PluginLedgerRecord(std::string("log " PLUGIN_NAME " ") + logPath);
    return new TinyToF();
}
