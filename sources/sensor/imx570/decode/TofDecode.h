#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "APIImgPreProcess.h"
#include "Consumer.h"
#include "Filter.h"
#include "FilterParams.h"
#include "Frame.h"
#include "FrameQueue.h"
#include "PointCloudTable.h"
#include "Producer.h"
#include "RangeRecords.h"
#include "RangeTable.h"
#include "RecordDecoders.h"
#include "StoppableThread.h"
#include "ToF_API.h"

// The ToF plug-in's decoder: the "TofDecode" thread takes the raw records the producer queued,
// decodes each into depth, IR and confidence frames, corrects and filters them, queues them
// and tells the consumer.
//
// Threads: the decode loop (or DecodeOne) runs on one thread; every other operation may run
// on the application's or the kit's threads. Switches are atomic; the measuring ranges, the
// offset tables and the dual-range parameters are read as one snapshot per record.
//
// Stopping: Stop is noticed at the next pass of the loop, which may sit in the producer's
// GetRawData wait; the producer's owner wakes that wait after Stop, before Join.
class TofDecode : public StoppableThread {
public:
    // Calibration files ("ir_background.bin", "rangeOffset_<r>.bin", the filters'
    // "ConfidenceFactor.bin") are read from the folder, which ends in a slash.
    explicit TofDecode(Producer* producer, const std::string& calibrationFolder = "./Config/");
    ~TofDecode() override;

    // Both borrowed; preprocess may be null. Called before the thread starts.
    void Init(Consumer* consumer, APIImgPreProcess* preprocess);

    void SetStream(bool on) { m_stream = on; }
    bool GetStream() const { return m_stream; }
    void RecycleCache() { m_recycleCache = true; }
    void SetRawDepthCut(bool cut) { m_rawDepthCut = cut; }
    int SetTemperatureOffsetEnable(bool on);
    void SetIRPixelFormat(int format) { m_irPixelFormat = format; }
    int SetDistortionCorrectionEnabled(bool on);
    bool GetDistortionCorrectionEnabled() const { return m_distortionCorrection; }

    // Ranges.
    void SetDualFreqFusionEnable(bool on);
    void SetDepthRange(int range);
    void SetDataMode(int mode);
    int GetDataMode() const { return m_dataMode; }
    void SetDualRangeParams(const DualRangeParams& params);
    DualRangeParams GetDualRangeParams() const;
    // Records for the ranges whose depthMax is non-zero, then the offset tables.
    void InitRangeValue(const uint16_t depthMax[6], const uint16_t effectDepthMax[6], const uint16_t effectDepthMin[6]);
    // The list replaces the measuring ranges, then the offset tables.
    void InitRangeValue(const std::vector<MeasuringRange>& list);
    void SetRangeValue(int range, unsigned max, unsigned min);
    void adaptRangeValue(int range);
    // depthMax of the last measuring record for the range; 0 when none.
    uint16_t GetSonyMaxDepth(int range) const;

    // Frames for the kit (types 0, 1 and 8).
    int GetFrame(FrameType type, Frame** out);
    bool IsFrameReady(FrameType type);
    int RecycleFrame(Frame* frame);

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

    // Point cloud; the size follows the data mode (320 by 240 in the binned modes). The
    // distortion, width and height arguments are not used. 0, or -15 when the intrinsics
    // give no usable table.
    int InitDepthFrame2WorldTab(const double* intrinsic, const double* distortion, int width, int height);
    int ConvertDepthFrameToPointCloudVector(const Frame* frame, Vector3f* out);

    // One pass of the decode loop for a record already taken from the producer: decode, hand
    // out the frames, give the raw frame back. True when the record was decoded.
    bool DecodeOne(Frame* raw);

protected:
    void Run() override;

private:
    // What one record is decoded with, taken once at its start.
    struct Snapshot {
        std::shared_ptr<const RangeTable> ranges;
        DualRangeParams dualRange;
        int dataMode;
        bool dualFreqFusion;
        bool rawDepthCut;
        bool temperatureOffset;
        int irPixelFormat;
        bool distortionCorrection;
    };

    Snapshot TakeSnapshot() const;
    std::shared_ptr<const RangeTable> Ranges() const;
    // Loads the offset tables for the ranges and publishes both; m_rangeLoadMutex held.
    void PublishRanges(std::vector<MeasuringRange> ranges);
    void Flush();
    // Takes every missing output frame from its pool; false when one stays missing.
    bool TakeMissingFrames();
    bool DecodeRecord(const Frame& raw, const Snapshot& snapshot);
    bool DecodeRaw(const uint8_t* payload, uint8_t type, int range, const Snapshot& snapshot);
    bool DecodeComputed(const uint8_t* payload, uint8_t type, int range, const Snapshot& snapshot);
    // True when the frame became the fusion reference and leaves as it is.
    bool FuseDualRange(uint8_t type, int range, const Snapshot& snapshot);
    void postProcFrame(bool depth, bool ir, const Snapshot& snapshot);
    // Tells the filters and the preprocessing object the range's limits when it changed.
    void FollowDepthRange(int range, const Snapshot& snapshot);
    void HandOut(const Frame& raw);
    void HandOutOne(FrameQueue& queue, Frame*& frame, FrameType type, HasFrameType bit, const Frame& raw);
    FrameQueue* QueueFor(FrameType type);
    DecodeTargets Targets() { return DecodeTargets{*m_depthFrame, *m_irFrame, *m_confidenceFrame}; }
    void SendToPreProcess(Frame& frame, ALG_ElemType type, bool depthImage);

    // Two frames of each kind wait at most, so a slow consumer gets the newest; the pool also
    // covers the frame being filled and those the kit holds.
    static constexpr uint32_t kQueuedFrames = 2;
    static constexpr uint32_t kPoolFrames = 8;
    static constexpr uint32_t kFullPixels = 640 * 480;
    static constexpr int kIrGain = 64;  // 64 / 1024: the 12-bit IR onto 8 bits

    Producer* const m_producer;
    const std::string m_calibrationFolder;
    Consumer* m_consumer = nullptr;
    APIImgPreProcess* m_preprocess = nullptr;
    Filter m_filter;

    std::atomic<int> m_dataMode{0};
    std::atomic<bool> m_stream{true};
    std::atomic<bool> m_recycleCache{false};
    std::atomic<int> m_depthRange{0};
    std::atomic<bool> m_dualFreqFusion{true};
    std::atomic<bool> m_rawDepthCut{false};
    std::atomic<bool> m_temperatureOffsetEnable{true};
    std::atomic<int> m_irPixelFormat{2};
    std::atomic<bool> m_distortionCorrection{true};

    FrameQueue m_depthQueue;
    FrameQueue m_irQueue;
    FrameQueue m_confidenceQueue;
    // Borrowed from their queues' pools; used by the decoding thread only.
    Frame* m_depthFrame = nullptr;
    Frame* m_irFrame = nullptr;
    Frame* m_confidenceFrame = nullptr;

    // Serialises the range loads, which read files; guards nothing the decode thread reads.
    std::mutex m_rangeLoadMutex;
    // Guards the published ranges and the dual-range parameters.
    mutable std::mutex m_settingsMutex;
    std::shared_ptr<const RangeTable> m_ranges;
    DualRangeParams m_dualRangeParams{2, 5, 0, 0};

    // The IR background per pixel at full resolution; empty when its file could not be read.
    std::vector<uint16_t> m_irBackground;

    // The last reference frame of a dual-range pair, with its own pixels.
    std::unique_ptr<uint8_t[]> m_wdrPixels;
    Frame m_wdrReference{};

    PointCloudTable m_depth2World;
};
