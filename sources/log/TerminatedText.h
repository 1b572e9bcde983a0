#pragma once
#include <cstddef>
#include <cstring>

// Every text handed to an application goes through here: a camera's text may fill its whole
// field without a terminating zero, and the caller's buffer may be shorter than the text.
// Copies the text up to its first zero, at most `length` bytes and at most capacity - 1, and
// zero-fills the rest of the buffer, so that it always ends in a zero within `capacity`.
inline void CopyTerminatedText(char* out, size_t capacity, const char* text, size_t length) {
    if (out == nullptr || capacity == 0) return;
    std::memset(out, 0, capacity);
    if (text == nullptr) return;
    std::memcpy(out, text, strnlen(text, length < capacity - 1 ? length : capacity - 1));
}

// The same between two fixed fields.
template <size_t To, size_t From>
void CopyTerminatedText(char (&out)[To], const char (&text)[From]) {
    CopyTerminatedText(out, To, text, From);
}
