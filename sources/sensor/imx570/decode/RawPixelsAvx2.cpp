// The raw decode loop built for AVX2; chosen at run time where the processor has it.
#include "RawPixelLoop.h"

namespace tofdecode {

void DecodeRawPixelsAvx2(const uint8_t* const phase[4], size_t n, const RawPixelParams& params, uint16_t* depth,
                         uint16_t* ir, uint16_t* confidence) {
    RawPixels(phase, n, params, depth, ir, confidence);
}

}  // namespace tofdecode
