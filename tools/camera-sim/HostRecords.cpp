#include "HostRecords.h"

#include <stdexcept>

#include "RecordEnvelope.h"

namespace camsim {

void AppendTimestampRecord(std::vector<uint8_t>& out, uint64_t timestamp) {
    AppendRecordHead(out, kTimestampRecordType, 8, 0);
    AppendLe64(out, timestamp);
}

void AppendErrorListRecord(std::vector<uint8_t>& out, const std::vector<std::string>& errors) {
    if (errors.size() > kMaxErrorEntries) {
        throw std::invalid_argument("too many error texts");
    }
    uint32_t length = 4;
    for (const std::string& text : errors) {
        if (text.size() > kMaxErrorTextLength) {
            throw std::invalid_argument("error text too long");
        }
        length += 4 + static_cast<uint32_t>(text.size());
    }
    AppendRecordHead(out, kErrorListRecordType, length, 0);
    AppendLe32(out, static_cast<uint32_t>(errors.size()));
    for (const std::string& text : errors) {
        AppendLe32(out, static_cast<uint32_t>(text.size()));
        out.insert(out.end(), text.begin(), text.end());
    }
}

}  // namespace camsim
