#include "PreProcParams.h"

namespace kpimg {

PreProcParams::PreProcParams() {
    tof.width = kToFCalibratedWidth;
    tof.height = kToFCalibratedHeight;
    color.width = kColorCalibratedWidth;
    color.height = kColorCalibratedHeight;
}

}  // namespace kpimg
