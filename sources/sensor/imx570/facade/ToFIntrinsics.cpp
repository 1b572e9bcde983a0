#include "ToFIntrinsics.h"

#include <algorithm>

ToFIntrinsics::ImageSize ToFIntrinsics::SizeFor(bool binned) {
    return binned ? ImageSize{320, 240} : ImageSize{640, 480};
}

void ToFIntrinsics::Set(const double* intrinsic, const double* distortion) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::copy_n(intrinsic, m_intrinsic.size(), m_intrinsic.begin());
    std::copy_n(distortion, m_distortion.size(), m_distortion.begin());
}

ToFIntrinsics::Distortion ToFIntrinsics::GetDistortion() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_distortion;
}

ToFIntrinsics::Matrix ToFIntrinsics::Working(bool binned, APIImgPreProcess* adjust) const {
    Matrix matrix;
    Distortion distortion;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        matrix = m_intrinsic;
        distortion = m_distortion;
    }
    if (binned) {
        // fx, cx, fy, cy of the row-ordered matrix.
        for (int at : {0, 2, 4, 5}) {
            matrix[at] *= 0.5;
        }
    }
    if (adjust != nullptr) {
        adjust->AdjustIntrinsic(matrix.data(), distortion.data(), SizeFor(binned).Packed());
    }
    return matrix;
}
