#include "TofDecode.h"

#include <cstring>

#include "CalibrationFile.h"
#include "DecodeKernels.h"
#include "StatusCodes.h"
#include "ToFRecordLayout.h"
#include "log.h"

using namespace tofrecord;

TofDecode::TofDecode(Producer* producer, const std::string& calibrationFolder)
    : StoppableThread("TofDecode"),
      m_producer(producer),
      m_calibrationFolder(calibrationFolder),
      m_filter(calibrationFolder),
      m_depthQueue(FRAME_DEPTH, kQueuedFrames, kPoolFrames),
      m_irQueue(FRAME_IR, kQueuedFrames, kPoolFrames),
      m_confidenceQueue(FRAME_CONFIDENCE, kQueuedFrames, kPoolFrames),
      m_ranges(std::make_shared<RangeTable>()),
      m_irBackground(kFullPixels, 0),
      m_wdrPixels(std::make_unique<uint8_t[]>(2 * kFullPixels)) {
    TakeMissingFrames();
    m_wdrReference.frameType = FRAME_DEPTH;
    m_wdrReference.data = m_wdrPixels.get();
    m_wdrReference.capacity = 2 * kFullPixels;
    if (!ReadUint16Table(m_calibrationFolder + "ir_background.bin", m_irBackground)) {
        LOG_PRINTF("ir_background.bin not read, IR has no background");
        m_irBackground.clear();
        m_irBackground.shrink_to_fit();
    }
}

TofDecode::~TofDecode() {
    Stop();
    Join();
    m_depthQueue.RecycleFrame(m_depthFrame);
    m_irQueue.RecycleFrame(m_irFrame);
    m_confidenceQueue.RecycleFrame(m_confidenceFrame);
}

void TofDecode::Init(Consumer* consumer, APIImgPreProcess* preprocess) {
    m_consumer = consumer;
    m_preprocess = preprocess;
}

int TofDecode::SetTemperatureOffsetEnable(bool on) {
    m_temperatureOffsetEnable = on;
    return 0;
}

int TofDecode::SetDistortionCorrectionEnabled(bool on) {
    m_distortionCorrection = on;
    if (m_preprocess != nullptr) {
        m_preprocess->SetDistortionCorrection(on);
    }
    return 0;
}

// ---- ranges ----

void TofDecode::SetDualFreqFusionEnable(bool on) {
    if (!IsDualRangeMode(m_dataMode)) {
        return;
    }
    m_dualFreqFusion = on;
    if (on) {
        adaptRangeValue(5);
    }
}

void TofDecode::SetDepthRange(int range) {
    if (IsMultiFrequencyMode(m_dataMode)) {
        return;
    }
    m_depthRange = range;
    adaptRangeValue(range);
}

void TofDecode::SetDataMode(int mode) {
    if (mode != m_dataMode && IsMultiFrequencyMode(mode)) {
        adaptRangeValue(5);
    }
    m_dataMode = mode;
}

void TofDecode::SetDualRangeParams(const DualRangeParams& params) {
    std::lock_guard<std::mutex> guard(m_settingsMutex);
    m_dualRangeParams = params;
}

DualRangeParams TofDecode::GetDualRangeParams() const {
    std::lock_guard<std::mutex> guard(m_settingsMutex);
    return m_dualRangeParams;
}

void TofDecode::InitRangeValue(const uint16_t depthMax[6], const uint16_t effectDepthMax[6],
                               const uint16_t effectDepthMin[6]) {
    if (depthMax == nullptr || effectDepthMax == nullptr || effectDepthMin == nullptr) {
        LOG_PRINTF("range tables are invalid.");
        return;
    }
    std::lock_guard<std::mutex> loading(m_rangeLoadMutex);
    std::vector<MeasuringRange> ranges = Ranges()->Ranges();
    for (int r = 0; r < kDepthRangeCount && static_cast<size_t>(r) < ranges.size(); ++r) {
        if (depthMax[r] != 0) {
            ranges[static_cast<size_t>(r)] =
                MeasuringRange{static_cast<uint8_t>(r), effectDepthMax[r], effectDepthMin[r], depthMax[r]};
        }
    }
    PublishRanges(std::move(ranges));
}

void TofDecode::InitRangeValue(const std::vector<MeasuringRange>& list) {
    std::lock_guard<std::mutex> loading(m_rangeLoadMutex);
    PublishRanges(list);
}

void TofDecode::PublishRanges(std::vector<MeasuringRange> ranges) {
    // The files are read outside the settings lock, so the decode thread's snapshot never
    // waits for them.
    std::shared_ptr<const RangeTable> next = RangeTable::Load(std::move(ranges), *Ranges(), m_calibrationFolder);
    std::lock_guard<std::mutex> guard(m_settingsMutex);
    m_ranges = std::move(next);
}

std::shared_ptr<const RangeTable> TofDecode::Ranges() const {
    std::lock_guard<std::mutex> guard(m_settingsMutex);
    return m_ranges;
}

void TofDecode::SetRangeValue(int range, unsigned max, unsigned min) {
    m_filter.SetMeasuringRange(range, max, min);
    if (m_preprocess != nullptr) {
        m_preprocess->SetDepthRangeValue(range, static_cast<int>(max), static_cast<int>(min));
    }
}

void TofDecode::adaptRangeValue(int range) { SetRangeValue(range, Ranges()->RangeValueAt(range, m_rawDepthCut), 0); }

uint16_t TofDecode::GetSonyMaxDepth(int range) const { return Ranges()->LastDepthMaxFor(range); }

// ---- frames for the kit ----

FrameQueue* TofDecode::QueueFor(FrameType type) {
    switch (type) {
        case FRAME_DEPTH: return &m_depthQueue;
        case FRAME_IR: return &m_irQueue;
        case FRAME_CONFIDENCE: return &m_confidenceQueue;
        default: return nullptr;
    }
}

int TofDecode::GetFrame(FrameType type, Frame** out) {
    if (out == nullptr) {
        return status::kFailed;
    }
    FrameQueue* queue = QueueFor(type);
    *out = queue != nullptr ? queue->Pop(type) : nullptr;
    return *out != nullptr ? 0 : status::kFailed;
}

bool TofDecode::IsFrameReady(FrameType type) {
    FrameQueue* queue = QueueFor(type);
    return queue == nullptr || queue->Size() > 0;
}

int TofDecode::RecycleFrame(Frame* frame) {
    FrameQueue* queue = frame != nullptr ? QueueFor(frame->frameType) : nullptr;
    if (queue == nullptr) {
        return status::kFailed;
    }
    queue->RecycleFrame(frame);
    return 0;
}

// ---- filters ----

int TofDecode::SetTimeFilterParams(TimeFilterParams params) { return m_filter.SetTimeFilterParams(params); }
int TofDecode::GetTimeFilterParams(TimeFilterParams* params) const { return m_filter.GetTimeFilterParams(params); }
int TofDecode::SetConfidenceFilterParams(ConfidenceFilterParams params) {
    return m_filter.SetConfidenceFilterParams(params);
}
int TofDecode::GetConfidenceFilterParams(ConfidenceFilterParams* params) const {
    return m_filter.GetConfidenceFilterParams(params);
}
int TofDecode::SetFlyingPixelFilterParams(FlyingPixelFilterParams params) {
    return m_filter.SetFlyingPixelFilterParams(params);
}
int TofDecode::GetFlyingPixelFilterParams(FlyingPixelFilterParams* params) const {
    return m_filter.GetFlyingPixelFilterParams(params);
}
int TofDecode::SetSpatialFilterParams(SpatialFilterParams params) { return m_filter.SetSpatialFilterParams(params); }
int TofDecode::GetSpatialFilterParams(SpatialFilterParams* params) const {
    return m_filter.GetSpatialFilterParams(params);
}
int TofDecode::SetFillHoleFilterParams(FillHoleFilterParams params) { return m_filter.SetFillHoleFilterParams(params); }
int TofDecode::GetFillHoleFilterParams(FillHoleFilterParams* params) const {
    return m_filter.GetFillHoleFilterParams(params);
}

// ---- point cloud ----

namespace {

void TableSize(int dataMode, int& width, int& height) {
    width = IsBinnedMode(dataMode) ? 320 : 640;
    height = IsBinnedMode(dataMode) ? 240 : 480;
}

}  // namespace

int TofDecode::InitDepthFrame2WorldTab(const double* intrinsic, const double* /*distortion*/, int /*width*/,
                                       int /*height*/) {
    int width, height;
    TableSize(m_dataMode, width, height);
    return m_depth2World.Build(intrinsic, width, height);
}

int TofDecode::ConvertDepthFrameToPointCloudVector(const Frame* frame, Vector3f* out) {
    int width, height;
    TableSize(m_dataMode, width, height);
    return m_depth2World.Convert(frame, width, height, out);
}

// ---- the decode loop ----

void TofDecode::Run() {
    if (m_producer == nullptr) {
        LOG_PRINTF("no producer, nothing to decode");
        return;
    }
    while (IsRunning()) {
        if (!m_stream || m_recycleCache) {
            Flush();
            continue;
        }
        Frame* raw = nullptr;
        if (m_producer->GetRawData(&raw) != 0 || raw == nullptr) {
            TakeMissingFrames();
            continue;
        }
        DecodeOne(raw);
    }
}

void TofDecode::Flush() {
    Frame* raw = nullptr;
    while (IsRunning() && m_producer->GetRawData(&raw) == 0 && raw != nullptr) {
        m_producer->RecycleRawFrame(raw);
        if (m_stream) {
            break;
        }
    }
    m_recycleCache = false;
}

bool TofDecode::TakeMissingFrames() {
    if (m_depthFrame == nullptr) {
        m_depthFrame = m_depthQueue.AllocFrame(FRAME_DEPTH);
    }
    if (m_irFrame == nullptr) {
        m_irFrame = m_irQueue.AllocFrame(FRAME_IR);
    }
    if (m_confidenceFrame == nullptr) {
        m_confidenceFrame = m_confidenceQueue.AllocFrame(FRAME_CONFIDENCE);
    }
    return m_depthFrame != nullptr && m_irFrame != nullptr && m_confidenceFrame != nullptr;
}

bool TofDecode::DecodeOne(Frame* raw) {
    if (raw == nullptr || m_producer == nullptr) {
        return false;
    }
    if (m_depthFrame == nullptr || m_irFrame == nullptr || m_confidenceFrame == nullptr) {
        // A pool ran dry: this record is dropped.
        m_producer->RecycleRawFrame(raw);
        TakeMissingFrames();
        return false;
    }
    const bool decoded = DecodeRecord(*raw, TakeSnapshot());
    if (decoded) {
        HandOut(*raw);
    }
    m_producer->RecycleRawFrame(raw);
    return decoded;
}

TofDecode::Snapshot TofDecode::TakeSnapshot() const {
    Snapshot snapshot;
    {
        std::lock_guard<std::mutex> guard(m_settingsMutex);
        snapshot.ranges = m_ranges;
        snapshot.dualRange = m_dualRangeParams;
    }
    snapshot.dataMode = m_dataMode;
    snapshot.dualFreqFusion = m_dualFreqFusion;
    snapshot.rawDepthCut = m_rawDepthCut;
    snapshot.temperatureOffset = m_temperatureOffsetEnable;
    snapshot.irPixelFormat = m_irPixelFormat;
    snapshot.distortionCorrection = m_distortionCorrection;
    return snapshot;
}

bool TofDecode::DecodeRecord(const Frame& raw, const Snapshot& snapshot) {
    if (raw.data == nullptr || raw.length < kHeadSize) {
        return false;
    }
    const uint8_t type = raw.data[0];
    const size_t payloadLength = PayloadLength(type);
    if (payloadLength == 0) {
        return false;
    }
    if (raw.length < kHeadSize + payloadLength || raw.length > raw.capacity) {
        LOG_PRINTF("typeId:0x%x length:%u capacity:%u is invalid.", type, raw.length, raw.capacity);
        return false;
    }
    const int range = HeadDepthRange(raw.data);
    if (range >= kDepthRangeCount) {
        return false;
    }
    const uint8_t* payload = raw.data + kHeadSize;
    if (type == kRawFull || type == kRawBinned) {
        return DecodeRaw(payload, type, range, snapshot);
    }
    return DecodeComputed(payload, type, range, snapshot);
}

bool TofDecode::DecodeRaw(const uint8_t* payload, uint8_t type, int range, const Snapshot& snapshot) {
    const RawLayout& layout = type == kRawFull ? kRawFullLayout : kRawBinnedLayout;
    const RawRecordSettings settings{range, snapshot.ranges->DepthMaxAt(range), snapshot.ranges->OffsetTableFor(range),
                                     snapshot.temperatureOffset,
                                     m_irBackground.empty() ? nullptr : m_irBackground.data()};
    DecodeTargets targets = Targets();
    if (!DecodeRawRecord(payload, layout, settings, targets)) {
        return false;
    }
    if (FuseDualRange(type, range, snapshot)) {
        return true;
    }
    if (m_preprocess != nullptr) {
        SendToPreProcess(*m_depthFrame, ALG_ELEM_16U, true);
        m_filter.TimeFilter(*m_depthFrame);
    }
    if (snapshot.irPixelFormat == PIXEL_FORMAT_GRAY8) {
        const size_t n = static_cast<size_t>(m_irFrame->width) * m_irFrame->height;
        tofdecode::ConvertIrTo8Bit(m_irFrame->data, n, kIrGain);
        m_irFrame->pixelFormat = PIXEL_FORMAT_GRAY8;
        m_irFrame->length = static_cast<uint32_t>(n);
    }
    postProcFrame(true, true, snapshot);
    if (m_preprocess != nullptr && snapshot.distortionCorrection) {
        SendToPreProcess(*m_confidenceFrame, ALG_ELEM_16U, false);
    }
    m_filter.ConfidenceFilter(*m_depthFrame, *m_confidenceFrame);
    return true;
}

bool TofDecode::FuseDualRange(uint8_t type, int range, const Snapshot& snapshot) {
    // The dual-range modes of the record's resolution: 9 and 10 at full size, 15 binned.
    const bool dualRange = (type == kRawFull && (snapshot.dataMode == 9 || snapshot.dataMode == 10)) ||
                           (type == kRawBinned && snapshot.dataMode == 15);
    if (!dualRange || !snapshot.dualFreqFusion) {
        return false;
    }
    Frame& depth = *m_depthFrame;
    if (range == snapshot.dualRange.range1) {
        Frame header = depth;
        header.data = m_wdrReference.data;
        header.capacity = m_wdrReference.capacity;
        m_wdrReference = header;
        std::memcpy(m_wdrReference.data, depth.data, depth.length);
        return true;
    }
    if (range == snapshot.dualRange.range2) {
        const int maxDepth = snapshot.ranges->DepthMaxAt(range);
        if (m_wdrReference.width != depth.width || m_wdrReference.height != depth.height || maxDepth == 0) {
            // A reference of the other resolution (the mode just changed) or a range without
            // its maximum depth cannot be fused.
            LOG_PRINTF("fusion skipped: reference %dx%d, frame %dx%d, depthMax:%d", m_wdrReference.width,
                       m_wdrReference.height, depth.width, depth.height, maxDepth);
            return false;
        }
        tofdecode::UnwrapAgainstReference(reinterpret_cast<uint16_t*>(depth.data),
                                          reinterpret_cast<const uint16_t*>(m_wdrReference.data),
                                          static_cast<size_t>(depth.width) * depth.height, maxDepth);
    }
    return false;
}

bool TofDecode::DecodeComputed(const uint8_t* payload, uint8_t type, int range, const Snapshot& snapshot) {
    const bool full = type == kComputedFull;
    DecodeTargets targets = Targets();
    if (!DecodeComputedRecord(payload, full ? kComputedFullLayout : kComputedBinnedLayout, range, targets)) {
        return false;
    }
    // In the single-range multi-frequency modes of the record's resolution the range stays as the mode set it.
    const bool keepsRange = full ? (snapshot.dataMode == 5 || snapshot.dataMode == 7) : snapshot.dataMode == 17;
    if (!keepsRange) {
        FollowDepthRange(range, snapshot);
    }
    postProcFrame(true, false, snapshot);
    return true;
}

void TofDecode::postProcFrame(bool depth, bool ir, const Snapshot& snapshot) {
    if (m_preprocess == nullptr) {
        return;
    }
    if (ir) {
        SendToPreProcess(*m_irFrame, m_irFrame->pixelFormat == PIXEL_FORMAT_GRAY16 ? ALG_ELEM_16U : ALG_ELEM_8U, false);
    }
    if (depth) {
        if (!IsMultiFrequencyMode(snapshot.dataMode)) {
            FollowDepthRange(static_cast<int>(m_depthFrame->depthRange), snapshot);
        }
        m_filter.Depth(*m_depthFrame);
    }
}

void TofDecode::FollowDepthRange(int range, const Snapshot& snapshot) {
    if (range != m_depthRange.exchange(range)) {
        SetRangeValue(range, snapshot.ranges->RangeValueAt(range, snapshot.rawDepthCut), 0);
    }
}

void TofDecode::SendToPreProcess(Frame& frame, ALG_ElemType type, bool depthImage) {
    PreProcImage image{frame.data, type, frame.width, frame.height};
    const int ret = depthImage ? m_preprocess->ProcessDepthImage(&image) : m_preprocess->ProcessImage(&image);
    if (ret != 0) {
        LOG_PRINTF("frameType:%d preprocessing ret:%d", static_cast<int>(frame.frameType), ret);
    }
}

void TofDecode::HandOut(const Frame& raw) {
    const HasFrameType bits = raw.hasFrameType;
    if (bits & HAS_DEPTH_FRAME) {
        HandOutOne(m_depthQueue, m_depthFrame, FRAME_DEPTH, HAS_DEPTH_FRAME, raw);
    }
    if (bits & HAS_IR_FRAME) {
        HandOutOne(m_irQueue, m_irFrame, FRAME_IR, HAS_IR_FRAME, raw);
    }
    if (bits & HAS_CONFIDENCE_FRAME) {
        HandOutOne(m_confidenceQueue, m_confidenceFrame, FRAME_CONFIDENCE, HAS_CONFIDENCE_FRAME, raw);
    }
}

void TofDecode::HandOutOne(FrameQueue& queue, Frame*& frame, FrameType type, HasFrameType bit, const Frame& raw) {
    if (m_recycleCache) {
        queue.RecycleFrame(frame);
    } else {
        frame->frameIndex = raw.frameIndex;
        frame->hasFrameType = raw.hasFrameType;
        frame->timestamp = raw.timestamp;
        queue.Push(frame);
        if (m_consumer != nullptr) {
            m_consumer->SetSingleFrameReady(bit);
        }
    }
    frame = queue.AllocFrame(type);
}
