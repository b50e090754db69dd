#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Reads a fuzz input from the front: control bytes first, then the rest as a stream.
namespace orvanta::fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t left() const { return size_ - at_; }
    bool empty() const { return at_ >= size_; }

    // The next byte, 0 once the input is used up.
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint32_t U32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value |= std::uint32_t{Byte()} << (8 * i);
        }
        return value;
    }
    // Up to count bytes (fewer at the end).
    std::span<const std::uint8_t> Take(std::size_t count) {
        const std::size_t n = count < left() ? count : left();
        std::span<const std::uint8_t> part(data_ + at_, n);
        at_ += n;
        return part;
    }
    std::span<const std::uint8_t> Rest() { return Take(left()); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

} // namespace orvanta::fuzz
