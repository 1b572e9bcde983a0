#pragma once

// An integer socket option, with its name for the log.
struct SocketOption {
    int level;
    int name;
    int value;
    const char* what;
};

// Sets the option on `fd`; when the system refuses it, logs why (after the camera's tag,
// when one is given). The socket stays usable either way.
void SetSocketOption(int fd, const SocketOption& option, const char* tag = nullptr);
