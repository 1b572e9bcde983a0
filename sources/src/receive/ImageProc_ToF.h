#pragma once
#include <memory>

#include "APIImgPreProcess.h"
#include "PreProcessFactory.h"
#include "ReceiveClock.h"
#include "ReceivePath.h"

class DeviceCommonProtocol;
class ToF_API;

// The frame pipeline of a ToF-only camera: every sensor record goes to the ToF plug-in,
// and the device hands out depth, IR and confidence frames. The command set and the
// plug-in are borrowed from the device and must outlive this object; the preprocessing
// object and Sync are its own.
class ImageProc_ToF : public ReceivePath {
public:
    // Gives the plug-in the command set, Sync's Consumer side and the preprocessing object
    // through its Init.
    ImageProc_ToF(DeviceCommonProtocol& control, ToF_API& tof,
                  std::unique_ptr<APIImgPreProcess> preProcess = NewPreProcess(),
                  receive::Clock clock = receive::SteadyMs);
    ~ImageProc_ToF() override;

    // Drops the frames cached by the plug-in, then those held by Sync.
    void RecycleCache() override;
};
