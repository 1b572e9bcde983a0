#include "HidrawProbe.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

bool ReadHidrawIds(const std::string& nodePath, HidrawIds* ids) {
    const int fd = open(nodePath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    hidraw_devinfo info{};
    const bool answered = ioctl(fd, HIDIOCGRAWINFO, &info) == 0;
    close(fd);
    if (!answered) {
        return false;
    }
    // The kernel hands the identifiers over as signed 16-bit fields.
    ids->vendorId = static_cast<uint16_t>(info.vendor);
    ids->productId = static_cast<uint16_t>(info.product);
    return true;
}
