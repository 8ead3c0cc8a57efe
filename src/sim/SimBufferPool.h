// Spent transfer buffers of a simulated camera, kept for its next frames so that a stream of
// frames does not allocate: the camera model fills them with frames, the bridge hands them to
// the host's reads and gives them back once they are read. Small units (headers, short memory
// reads) are kept apart from frame buffers.
//
// Its lock is the innermost of the camera's locks: nothing is called while it is held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace velcor::sim {

class SimBufferPool {
  public:
    SimBufferPool() {
        small_.reserve(kKept);
        large_.reserve(kKept);
    }
    SimBufferPool(const SimBufferPool&) = delete;
    SimBufferPool& operator=(const SimBufferPool&) = delete;

    // A buffer of `size` bytes, a spent one where there is one; the bytes are not cleared.
    std::vector<uint8_t> Take(size_t size) {
        std::vector<uint8_t> buffer;
        {
            std::lock_guard lock(mutex_);
            auto& spare = size <= kSmallUnit ? small_ : large_;
            if (!spare.empty()) {
                buffer = std::move(spare.back());
                spare.pop_back();
                if (&spare == &large_) largeBytes_ -= buffer.capacity();
            }
        }
        buffer.resize(size);
        return buffer;
    }

    // Keeps the buffer for a later Take, or frees it when enough are kept (in number, or in bytes
    // for frame buffers); `buffer` is left
    // empty.
    void GiveBack(std::vector<uint8_t>& buffer) {
        std::vector<uint8_t> spent = std::move(buffer);
        buffer = std::vector<uint8_t>();
        if (spent.capacity() == 0) return;
        std::lock_guard lock(mutex_);
        if (spent.capacity() <= kSmallUnit) {
            if (small_.size() < kKept) small_.push_back(std::move(spent));
            return;
        }
        if (large_.size() < kKept && largeBytes_ + spent.capacity() <= kKeptLargeBytes) {
            largeBytes_ += spent.capacity();
            large_.push_back(std::move(spent));
        }
    }

  private:
    // Unit buffers up to this size are kept apart from frame buffers.
    static constexpr size_t kSmallUnit = 4096;
    static constexpr size_t kKept = 48;
    // Frame buffers are kept up to this many bytes in all: enough for a stream of frames, not
    // for every large memory read a host asked for.
    static constexpr size_t kKeptLargeBytes = size_t{128} << 20;

    std::mutex mutex_;
    std::vector<std::vector<uint8_t>> small_;
    std::vector<std::vector<uint8_t>> large_;
    size_t largeBytes_ = 0;  // capacity of the buffers in large_
};

}  // namespace velcor::sim
