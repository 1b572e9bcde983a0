#pragma once
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "FuzzCheck.h"

namespace fuzzcheck {

// A camera's replies taken from the input, one per command: a control byte (bit 7: the
// exchange fails; bit 6: no reply data reaches the buffer), a length byte and the reply's bytes.
struct ScriptedReply {
    int result = 0;
    std::optional<std::vector<uint8_t>> data;
};

inline ScriptedReply NextReply(Reader& in) {
    const uint8_t control = in.Byte();
    ScriptedReply reply;
    if (control & 0x80) reply.result = -104;
    std::vector<uint8_t> bytes = in.Bytes(in.Byte());
    if ((control & 0x40) == 0) reply.data = std::move(bytes);
    return reply;
}

// Makes a scripted transport or command interface of tests/support answer every command with
// the input's next reply.
template <typename Fake>
void AnswerFromInput(Fake& fake, Reader& in) {
    fake.SetResponder([&in](const typename Fake::Sent&) {
        ScriptedReply reply = NextReply(in);
        return typename Fake::Reply{reply.result, std::move(reply.data)};
    });
}

// A caller's text buffer of exactly its size, so that a write past it is caught; after a
// successful read the text must end within it.
class TextBuffer {
public:
    explicit TextBuffer(int size) : m_bytes(static_cast<size_t>(size), '\x5A') {}
    char* data() { return m_bytes.data(); }
    int size() const { return static_cast<int>(m_bytes.size()); }
    void CheckTerminated(const char* what) const { fuzzcheck::CheckTerminated(m_bytes.data(), m_bytes.size(), what); }

private:
    std::vector<char> m_bytes;
};

}  // namespace fuzzcheck
