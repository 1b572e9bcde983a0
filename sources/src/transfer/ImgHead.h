#pragma once
#include <cstdint>

// Header of a firmware image file; the payload follows it to the end of the file.
// Multi-byte fields are little-endian.
#pragma pack(push, 1)
struct IMG_HEAD {
    uint8_t product_type;  // product group the image is built for
    uint8_t flash_type;    // only 0 is accepted
    char build_date[9];    // "YYYYMMDD" and a zero byte
    uint8_t version;
    uint64_t file_length;    // the whole file, header included
    uint32_t data_checksum;  // unsigned byte sum of the payload, modulo 2^32
    uint8_t reserved[488];
};
#pragma pack(pop)
static_assert(sizeof(IMG_HEAD) == 512, "IMG_HEAD is the image's first 512 bytes");
