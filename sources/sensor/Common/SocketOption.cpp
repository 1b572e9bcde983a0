#include "SocketOption.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "log.h"

void SetSocketOption(int fd, const SocketOption& option, const char* tag) {
    if (::setsockopt(fd, option.level, option.name, &option.value, sizeof(option.value)) == 0) return;
    if (tag) {
        LOG_DEVICE(tag, "setsockopt() %s error, errno[%d], info: %s", option.what, errno, std::strerror(errno));
    } else {
        LOG_PRINTF("setsockopt() %s error, errno[%d], info: %s", option.what, errno, std::strerror(errno));
    }
}
