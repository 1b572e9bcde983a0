#pragma once
#include <atomic>
#include <cstdint>

#include "CommonControl.h"
#include "ConfirmedSets.h"
#include "FileTransferParams.h"
#include "LinkTiming.h"
#include "ProtocolRecords.h"

// The ToF plug-in's command set: each sensor setting becomes one camera command on the
// device's command channel, and most sets are read back until the camera confirms them.
// It borrows the device's command interface and takes no lock of its own: the interface
// lets one command and its reply through at a time.
//
// Every operation returns 0 on success; -1 without a command interface, -12 for a null
// out-pointer, -15 for a value the wire cannot carry (nothing is sent), -104 for a failed
// exchange or a wrong echo, -105 when the camera never confirmed a set.
class Protocol {
public:
    explicit Protocol(linktiming::SleepFunction sleep = linktiming::SleepFor);
    Protocol(const Protocol&) = delete;
    Protocol& operator=(const Protocol&) = delete;

    // Borrowed; the device owns it. Null until the plug-in's Init.
    void SetCommonControl(CommonControl* control);
    CommonControl* GetCommonControl() const { return m_commonControl; }

    int SendCameraInitParamsEnable(bool enable);

    int GetToFExposureTime(ExposureTime* exposure);
    int SetToFExposureTime(const ExposureTime& exposure);
    int GetRegVal(uint16_t address, uint16_t* value);
    int SetRegVal(uint16_t address, uint16_t value);
    // `*mode` is sent as the request byte (callers pass 0).
    int GetDataMode(uint8_t* mode);
    int SetDataMode(const uint8_t& mode);
    int GetDepthRange(int& range);
    int SetDepthRange(const DepthRange& range);
    int GetDualFreqMode(DualRangeParams* params);
    // `totalRange` must be 2.
    int SetDualFreqMode(DualRangeParams& params);
    // `range.range` selects; the reply replaces the whole record.
    int GetMeasuringRange(MeasuringRange& range);
    int SetMeasuringRange(const MeasuringRange& range);

    // Laser values, one byte each on the wire.
    int GetLDState(int& value);
    int SetLDState(int value);
    int GetCDMAState(int& value);
    int SetCDMAState(int value);
    int GetAPCState(int& value);
    int SetAPCState(int value);
    int GetLDDriverChipType(int& value);
    int SetLDDriverChipType(int value);
    int GetLDType(int& value);
    int SetLDType(int value);

    // A camera count above the record's room is clamped on read and refused on set.
    int GetDepthRangeList(DepthRangeList& list);
    int SetDepthRangeList(DepthRangeList& list);
    int GetOutModeList(DataModeList& list);
    int SetOutModeList(DataModeList& list);

    int GetIRGMMGain(int* gain);
    int SetIRGMMGain(int gain);

    // `DSPConfig` and `option` of the record select the item.
    int GetDspStatus(DSPParameters& params);
    int SetDspStatus(const DSPParameters& params);
    int GetConfidenceFilterParams(ConfidenceFilterParams& params);
    int SetConfidenceFilterParams(const ConfidenceFilterParams& params);

    // Sent without read-back.
    int SetTestModeState(TestMode mode, const TestModeParams& params);

    // Calibration-file transfer, tofcmd::kTransfer. TransferFile sends the start command only:
    // the plug-in's TransferFile controller serves or receives the file and polls. -15 for a
    // type outside 4..8, a host path without a folder or a name too long for the payload.
    int TransferFile(const FileTransferParams& params);
    // One status poll, without a log line; the reply is left unchanged on failure.
    int GetTransferStatus(const FileTransferParams& params, TransferStatus& status);

    int SetStream(bool on);
    // No command; the transfer worker polls only while the plug-in is open.
    int SetOpenState(bool open);
    bool IsOpen() const { return m_isOpen; }

    // Keys tofcmd::kKeyOutModeList, kKeyDepthRangeList and kKeyDspStatus, with
    // `data` as that record and the size its size (else -15); any other key -255.
    int GetProperty(int key, void* data, int* size);
    int SetProperty(int key, const void* data, int size);

private:
    struct DspLayout;
    struct LaserItem;

    // Sends and logs "ret:%d is failed." when the exchange fails.
    int Command(int cmd, void* buf, int bufSize, int len, CMDTYPE type);
    // The exchange alone, for read-backs and polls that log their own lines.
    int Exchange(int cmd, void* buf, int bufSize, int len, CMDTYPE type);
    const char* Tag() const;

    int QueryExposure(uint8_t range, uint32_t& exposure);
    int QueryRegister(uint16_t address, uint16_t& value);
    int QueryByte(int cmd, uint8_t request, uint8_t& value);
    int QueryDualFreq(DualRangeParams& params);
    int QueryMeasuringRange(MeasuringRange& range);
    // The words of a list's read-back lines.
    struct ListNames {
        const char* list;     // "Set %s list.count: ..." and, with logEntries, "Get %s:%d."
        const char* missing;  // "Set %s:%d is failed."
        bool logEntries;
    };
    int QuerySubByte(int cmd, uint8_t sub, int& value);
    int GetSubByte(int cmd, uint8_t sub, int& value);
    // A set of a one-byte value behind a sub-id; `last` is the last value read.
    Confirmation SetSubByte(int cmd, uint8_t sub, int value, int& last);
    // Writes the read-back line under `operation`.
    int SetLaser(const LaserItem& item, const char* operation, int value);
    int QueryList(uint8_t sub, uint8_t& count, uint8_t* entries, int room);
    int SetList(uint8_t sub, uint8_t count, const uint8_t* entries, int room, const ListNames& names);
    int QueryDsp(const DSPParameters& request, DSPParameters& reply);
    int QueryConfidence(ConfidenceFilterParams& params);

    std::atomic<CommonControl*> m_commonControl{nullptr};
    // Written by the facade, read by the transfer worker.
    std::atomic<bool> m_isOpen{false};
    linktiming::SleepFunction m_sleep;
    // Every confirmed set: the read-back line also when a read fails.
    const ConfirmedSets<Protocol> m_sets{*this, &Protocol::Command, kReadBackRule, m_sleep};
};
