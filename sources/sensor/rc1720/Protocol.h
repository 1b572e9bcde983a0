#pragma once
#include <cstdint>

#include "CommonControl.h"
#include "ConfirmedSets.h"
#include "DSPParameters.h"

namespace rc1720 {

struct ColourValue;

// The colour sensor's camera commands over the device's command channel. Every set is
// confirmed by reading it back. Without a command interface every operation gives -1.
class Protocol {
public:
    using SleepFunction = linktiming::SleepFunction;

    // The sleep between read-backs is injectable so tests stay fast.
    explicit Protocol(SleepFunction sleep = nullptr);
    Protocol(const Protocol&) = delete;
    Protocol& operator=(const Protocol&) = delete;

    void SetCommonControl(CommonControl* control) { m_commonControl = control; }

    int GetRGBFWVersion(char* text, int& length);
    int GetRGBBrightness(int& value);
    // -15 with nothing sent for a value outside a signed byte.
    int SetRGBBrightness(int value);
    int GetAEMaxExposureTime(uint8_t& value);
    int SetAEMaxExposureTime(uint8_t value);
    int GetRGBManualExposureState(uint8_t& manual);
    int SetRGBManualExposureState(uint8_t state);
    int GetRGBManualExposureTime(uint16_t& value);
    int SetRGBManualExposureTime(uint16_t value);
    int GetRGBMaxExposureTime(uint8_t& value);
    int GetRGBGain(float& gain);
    int SetRGBGain(float gain);
    int GetColorResolution(int& width, int& height);
    // -15 with nothing sent for a size that does not fit 16 bits.
    int SetColorResolution(int width, int height);
    int GetDspStatus(DSPParameters& params);
    int SetDspStatus(const DSPParameters& params);

private:
    // Sends one command; a failure is logged under "SetCmd", the caller logs it again.
    int SetCmd(int cmd, uint8_t* buf, int bufSize, int len, CMDTYPE type);
    // The second failure line, under the operation's own name.
    void LogFailure(const char* operation, int ret);
    // SetCmd, and on failure the second line under `operation`.
    int Send(int cmd, void* buf, int bufSize, int len, CMDTYPE type, const char* operation);
    // A colour value of command 0x22; `decode` reads it from byte 1 of the reply.
    template <typename Value, typename Decode>
    int GetValue(const ColourValue& item, const char* operation, Value& value, Decode&& decode);
    // A set of a colour value from `buf` (byte 0 is filled in), read back with `get` until it
    // equals `want`; writes the item's read-back line under `operation`.
    template <typename Value>
    int SetValue(const ColourValue& item, uint8_t* buf, const char* operation, Value want,
                 int (Protocol::*get)(Value&));
    int QueryDsp(DSPParameters& params, const char* operation);

    CommonControl* m_commonControl = nullptr;
    SleepFunction m_sleep;
    // Five reads, 10 ms apart; a read that fails has written its own lines, so only -105 asks
    // for the read-back line. A failed set's second line names the operation.
    const ConfirmedSets<Protocol, const char*> m_sets{
        *this, &Protocol::Send, {linktiming::kReadBackReads, linktiming::kReadBackPause, false}, m_sleep};
};

}  // namespace rc1720
