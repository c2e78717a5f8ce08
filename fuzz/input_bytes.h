// The bytes of a fuzz input as both harnesses read them: front to back,
// zero past the end, wider values little-endian. Each harness's decoder
// builds its own values (integers, coordinates, formats) on these.
#pragma once

#include <cstddef>
#include <cstdint>

class InputBytes {
  public:
    InputBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t half() {
        const uint8_t low = byte();
        return uint16_t(low | byte() << 8);
    }
    uint32_t word() {
        const uint16_t low = half();
        return uint32_t(low) | uint32_t(half()) << 16;
    }
    int pick(int n) { return byte() % n; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};
