#pragma once
#include <cstddef>
#include <cstdint>

namespace kpimg {

// A working copy for the in-place operations. One buffer per calling thread, kept and
// grown as needed, so steady-state frames allocate nothing and threads never share it.
class ScratchBuffer {
public:
    // At least `bytes` bytes, valid until the same thread asks again.
    static uint8_t* ForThisThread(size_t bytes);
};

}  // namespace kpimg
