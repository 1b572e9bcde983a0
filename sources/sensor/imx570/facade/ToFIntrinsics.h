#pragma once
#include <array>
#include <mutex>

#include "APIImgPreProcess.h"

// The ToF camera matrix and distortion that the device hands over, and the working matrix
// derived from them for the current image size. Set from the application's thread, read
// from the kit's frame threads.
class ToFIntrinsics {
public:
    using Matrix = std::array<double, 9>;
    using Distortion = std::array<double, 8>;

    struct ImageSize {
        int width;
        int height;
        // As the preprocessing library takes it: (height << 16) | width.
        int Packed() const { return (height << 16) | width; }
    };

    static ImageSize SizeFor(bool binned);

    void Set(const double* intrinsic, const double* distortion);
    Distortion GetDistortion() const;
    // The stored matrix, with fx, cx, fy and cy halved for a binned image; when `adjust`
    // is given it rewrites the matrix for undistorted images.
    Matrix Working(bool binned, APIImgPreProcess* adjust) const;

private:
    mutable std::mutex m_mutex;
    Matrix m_intrinsic{};
    Distortion m_distortion{};
};
