// A colour plug-in that does nothing but note its factory call, construction and
// destruction in the ledger under its PLUGIN_NAME.
#include <string>

#include "Color_API.h"
#include "PluginLedger.h"

namespace {

class TinyColor : public Color_API {
public:
    TinyColor() { PluginLedgerRecord("+" PLUGIN_NAME); }
    ~TinyColor() override { PluginLedgerRecord("-" PLUGIN_NAME); }

    int SetConfigFilePath(const char*) override { return 0; }
    int Init(CommonControl*, Consumer*, APIImgPreProcess*) override { return 0; }
    int SetIntrinsicParams(const double*, const double*) override { return 0; }
    int GetIntrinsic(double*) override { return -1; }
    int GetDistortion(double*) override { return -1; }
    int SetOpenState(bool) override { return 0; }
    int SetStream(bool) override { return 0; }
    void RecycleCache() override {}
    bool IsFrameReady(FrameType) override { return false; }
    int GetFrame(FrameType, Frame**) override { return -1; }
    int RecycleFrame(Frame*) override { return 0; }
    int SetFrameEnable(FrameType, bool) override { return 0; }
    int GetFrameEnable(FrameType, bool*) override { return -1; }
    int SetPixelFormat(PixelFormat) override { return 0; }
    int GetPixelFormat(PixelFormat*) override { return -1; }
    int SetDistortionCorrectionEnabled(bool) override { return 0; }
    bool GetDistortionCorrectionEnabled() override { return false; }
    int SetExposureControlMode(int) override { return 0; }
    int GetExposureControlMode(int*) override { return -1; }
    int SetExposureTime(ExposureTimeParams) override { return 0; }
    int GetExposureTime(ExposureTimeParams*) override { return -1; }
    int SetResolution(int, int) override { return 0; }
    int GetResolution(int*, int*) override { return -1; }
    int GetResolutionList(ResolutionList*) override { return -1; }
    int ProcessData(uint8_t*, int, FrameSyncInfo) override { return -1; }
    int CheckImgData(uint8_t*, int) override { return -255; }
    int SetProperty(const char*, const void*, int) override { return -255; }
    int GetProperty(const char*, void*, int) override { return -255; }
    void SetDistortionCorrectionCmd(bool) override {}
};

}  // namespace

extern "C" __attribute__((visibility("default"))) Color_API* Get_Color(const char* logPath) {
    PluginLedgerRecord(std::string("log " PLUGIN_NAME " ") + logPath);
    return new TinyColor();
}
