#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "DepthLimits.h"
#include "FilterParams.h"
#include "FlyingPixelVotes.h"
#include "Frame.h"
#include "HoleFilling.h"
#include "SpatialSmoothing.h"

// The ToF plug-in's depth filters and their settings. Depth pixels are uint16 millimetres;
// 0 and 0xFFFF mark invalid pixels. Every filter works in place on the depth frame, on as
// many pixels as its buffer holds.
//
// Threads: the filter operations run on one thread (the decoder's); the setters, getters
// and SetMeasuringRange may run on any thread. Each filter call works on one snapshot of
// its settings taken when it starts, so a change never lands part-way through a frame.
class Filter {
public:
    // Reads the per-pixel confidence factors from "ConfidenceFactor.bin" in that folder.
    explicit Filter(const std::string& calibrationFolder = "./Config/");
    ~Filter();
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;

    // Setters copy the record in and accept any values; getters copy it out. 0, or -15 for
    // a null record pointer.
    int SetTimeFilterParams(TimeFilterParams params);
    int GetTimeFilterParams(TimeFilterParams* params) const;
    int SetConfidenceFilterParams(ConfidenceFilterParams params);
    int GetConfidenceFilterParams(ConfidenceFilterParams* params) const;
    int SetFlyingPixelFilterParams(FlyingPixelFilterParams params);
    int GetFlyingPixelFilterParams(FlyingPixelFilterParams* params) const;
    int SetSpatialFilterParams(SpatialFilterParams params);
    int GetSpatialFilterParams(SpatialFilterParams* params) const;
    int SetFillHoleFilterParams(FillHoleFilterParams params);
    int GetFillHoleFilterParams(FillHoleFilterParams* params) const;

    // The depth limits of the current range; values beyond 16 bits saturate at 0xFFFF. 0.
    int SetMeasuringRange(int range, unsigned max, unsigned min);

    // Smooths each pixel against the previous frame; the first frame after the pixel count
    // changes is only remembered.
    void TimeFilter(Frame& depth);
    // Flying pixel, spatial and fill hole, each when enabled, in that order.
    void Depth(Frame& depth);
    void FlyingPixelFilter(Frame& depth);
    void SpatialFilter(Frame& depth);
    void FillHoleFilter(Frame& depth);
    // Invalidates pixels whose amplitude is too low for their distance; works on the
    // pixels that the depth frame, the confidence frame and the factor table all have.
    void ConfidenceFilter(Frame& depth, const Frame& confidence);

    // Whether the confidence factors were read (without them the confidence filter is off).
    bool HasConfidenceFactors() const { return !m_confidenceFactor.empty(); }

    static constexpr uint32_t kFactorCount = 640 * 480;

private:
    DepthLimits SnapshotLimits() const;
    template <typename Record>
    Record Snapshot(const Record& record) const;
    template <typename Record>
    int Store(Record& target, const Record& value);
    template <typename Record>
    int Load(const Record& source, Record* out, const char* getter) const;
    void LoadConfidenceFactors(const std::string& calibrationFolder);

    // Guards the records and the limits, which other threads replace.
    mutable std::mutex m_paramLock;
    int m_range = 0;
    DepthLimits m_limits;
    const uint16_t m_timeShift = 6;
    TimeFilterParams m_timeParams{1, 1};
    ConfidenceFilterParams m_confidenceParams{1, 15};
    FlyingPixelFilterParams m_flyingPixelParams{1, 15};
    SpatialFilterParams m_spatialParams{0, 7, 50, 1};
    FillHoleFilterParams m_fillHoleParams{1, 3, 5, 1};

    // Used only by the filtering thread; resized when the frame size changes, never per frame.
    std::vector<uint16_t> m_history;  // the temporal filter's previous frame
    FlyingPixelVotes m_flyingPixel;
    SpatialSmoothing m_spatial;
    HoleFilling m_fillHole;
    // Empty when the factor file could not be read.
    std::vector<uint16_t> m_confidenceFactor;
};
