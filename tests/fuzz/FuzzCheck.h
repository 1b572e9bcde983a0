#pragma once
#include <netinet/in.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// What a fuzz target checks beyond "no crash": a broken promise aborts, so libFuzzer keeps the
// input as a finding.
namespace fuzzcheck {

[[noreturn]] inline void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz check failed: %s %s\n", what, detail.c_str());
    std::abort();
}

inline void Check(bool ok, const char* what, const std::string& detail = std::string()) {
    if (!ok) Fail(what, detail);
}

// A text field holds its terminator within its width.
template <size_t N>
void CheckTerminated(const char (&field)[N], const char* name) {
    Check(std::memchr(field, '\0', N) != nullptr, "text not terminated within its field:", name);
}
inline void CheckTerminated(const char* field, size_t width, const char* name) {
    Check(std::memchr(field, '\0', width) != nullptr, "text not terminated within its field:", name);
}

// Reads an input from its front, so that seeds written by hand follow the order of the target's
// steps; past the end every read gives zeros.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    size_t Remaining() const { return m_size - m_pos; }
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint16_t Word() {
        const uint16_t low = Byte();
        return static_cast<uint16_t>(low | (Byte() << 8));
    }
    uint32_t Long() {
        const uint32_t low = Word();
        return low | (static_cast<uint32_t>(Word()) << 16);
    }
    // Up to `count` bytes, fewer at the end of the input.
    std::vector<uint8_t> Bytes(size_t count) {
        const size_t n = count < Remaining() ? count : Remaining();
        std::vector<uint8_t> out(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return out;
    }
    std::vector<uint8_t> Rest() { return Bytes(Remaining()); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// The IPv4 address of `ip` (dotted text) and `port`, for the targets that talk over loopback.
sockaddr_in Address(const char* ip, unsigned short port);

// A fresh folder for the whole run of one target (the fuzzer runs many inputs in one process),
// removed when the process exits normally.
std::string MakeRunFolder(const char* name);
// The address of `symbol` in the shared library at `path`, loaded once and left loaded.
void* LoadSymbol(const char* path, const char* symbol);
// Writes bytes to a file, replacing it.
void WriteBytes(const std::string& path, const void* data, size_t size);

}  // namespace fuzzcheck
