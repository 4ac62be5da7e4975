// The fuzz input read as choices: a byte at a time, the rest when wanted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

class FuzzBytes {
public:
    FuzzBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ == size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string_view Rest() {
        const std::string_view rest(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
        at_ = size_;
        return rest;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A mismatch with the model: libFuzzer keeps the input that found it.
inline void Agree(bool agrees) {
    if (!agrees) {
        __builtin_trap();
    }
}
