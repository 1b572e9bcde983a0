#pragma once
#include <cstdint>
#include <cstring>
#include <string>

#include "FileSum.h"
#include "ImgHead.h"

namespace transfertest {

// A valid image for a camera of device type 16 running "FW_20240115_V5"; each field can be spoilt.
struct ImageSpec {
    uint8_t productType = 11;
    uint8_t flashType = 0;
    std::string buildDate = "20240115";
    uint8_t version = 5;
    std::string payload = "payload of the image";
    int64_t lengthDelta = 0;
    uint32_t checksumDelta = 0;

    IMG_HEAD Head() const {
        IMG_HEAD head{};
        head.product_type = productType;
        head.flash_type = flashType;
        std::strncpy(head.build_date, buildDate.c_str(), sizeof(head.build_date) - 1);
        head.version = version;
        head.file_length = static_cast<uint64_t>(static_cast<int64_t>(sizeof(IMG_HEAD) + payload.size()) + lengthDelta);
        head.data_checksum = FileSum::Unsigned(payload.data(), payload.size()) + checksumDelta;
        return head;
    }
    std::string Bytes() const {
        const IMG_HEAD head = Head();
        return std::string(reinterpret_cast<const char*>(&head), sizeof(head)) + payload;
    }
    uint32_t WholeSum() const {
        const std::string bytes = Bytes();
        return FileSum::Unsigned(bytes.data(), bytes.size());
    }
};

}  // namespace transfertest
