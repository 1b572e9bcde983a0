#pragma once
#include <mutex>
#include <vector>

#include "Frame.h"
#include "ToF_API.h"

// Depth to world factors of each pixel, built from the intrinsics. Entry (x, y) is
// {(x - cx) / fx, (y - cy) / fy}, so a column factor and a row factor hold it whole.
// Built on the application's thread, read by conversions on any thread.
class PointCloudTable {
public:
    // Replaces the table with one for the given size from the nine intrinsic values (fx the
    // first, cx the third, fy the fifth, cy the sixth). Intrinsics that would give infinite or
    // undefined factors (a zero focal length, values that are not finite) leave no table: -15.
    int Build(const double* intrinsic, int width, int height);

    // Fills width x height points, in millimetres, from a depth frame of the expected size:
    // {x factor x d, y factor x d, d} for d from 1 to 65534, {0, 0, 0} for 0 and 0xFFFF.
    // -5 null frame, -12 null output, -15 a frame that is not depth, not of that size or whose
    // valid length does not cover it, -255 no table for that size; 0.
    int Convert(const Frame* frame, int width, int height, Vector3f* out) const;

private:
    mutable std::mutex m_tableMutex;
    std::vector<double> m_columnFactor;  // (x - cx) / fx
    std::vector<double> m_rowFactor;     // (y - cy) / fy
    int m_tableWidth = 0;                // the size the table was built for; 0 when none
    int m_tableHeight = 0;
};
