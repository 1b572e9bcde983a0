#include "ScratchBuffer.h"

#include <vector>

namespace kpimg {

uint8_t* ScratchBuffer::ForThisThread(size_t bytes) {
    thread_local std::vector<uint8_t> buffer;
    if (buffer.size() < bytes) buffer.resize(bytes);
    return buffer.data();
}

}  // namespace kpimg
