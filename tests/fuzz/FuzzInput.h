// Takes a fuzz target's input apart: fixed-size fields from the front, little-endian, zero once
// the input is used up.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace velcor::fuzz {

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(data != nullptr ? size : 0) {}

    size_t Remaining() const { return size_ - at_; }
    bool Empty() const { return at_ == size_; }

    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t Le16() {
        const uint16_t low = Byte();
        return static_cast<uint16_t>(low | Byte() << 8);
    }
    uint32_t Le32() {
        const uint32_t low = Le16();
        return low | static_cast<uint32_t>(Le16()) << 16;
    }
    // Up to `count` bytes, fewer when the input ends first.
    std::vector<uint8_t> Bytes(size_t count) {
        const size_t n = std::min(count, Remaining());
        std::vector<uint8_t> bytes(data_ + at_, data_ + at_ + n);
        at_ += n;
        return bytes;
    }
    std::vector<uint8_t> Rest() { return Bytes(Remaining()); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// A broken expectation of a target: ends the run as a crash, with or without libFuzzer.
[[noreturn]] inline void Fail() {
    std::abort();
}

}  // namespace velcor::fuzz
