#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

// The raw dump armed by a property key: the payloads of the next records go to files in
// the working directory, one file per frame index. One arming covers three records,
// whether or not each of them is written.
class RawDump {
public:
    void Arm();
    bool Armed() const { return m_saveRawEnable; }
    // Appends the payload to "raw_TOF_<index>d.bin"; a file that cannot be opened is skipped.
    void Write(uint32_t frameIndex, const uint8_t* payload, size_t length) const;
    // Counts one record seen while armed; the last one of an arming disarms.
    void Count();

private:
    static constexpr int kRecordsPerArming = 3;

    std::atomic<bool> m_saveRawEnable{false};
    std::atomic<int> m_saveRawCount{0};
};
