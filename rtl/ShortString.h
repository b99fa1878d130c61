#pragma once
// A byte string of at most 255 characters held in place. Anything longer is cut to its first
// 255 characters without notice, so every short-string argument and result is cut by its type.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace rtl {

class ShortString {
 public:
  static constexpr std::size_t MaxLength = 255;

  ShortString() noexcept { data_[0] = '\0'; }
  ShortString(const char* text) noexcept {
    assign(text ? std::string_view(text) : std::string_view());
  }
  ShortString(std::string_view text) noexcept { assign(text); }
  ShortString(const std::string& text) noexcept { assign(text); }

  std::size_t size() const noexcept { return length_; }
  std::size_t length() const noexcept { return length_; }
  bool empty() const noexcept { return length_ == 0; }
  // Always NUL-terminated; a text with embedded NULs ends early here, not in view().
  const char* c_str() const noexcept { return data_; }
  std::string_view view() const noexcept { return {data_, length_}; }
  std::string str() const { return std::string(data_, length_); }
  operator std::string_view() const noexcept { return view(); }

  char operator[](std::size_t i) const noexcept { return i < length_ ? data_[i] : '\0'; }

  // Cuts to n characters, or pads with `fill` up to n (itself at most 255).
  void resize(std::size_t n, char fill = ' ') noexcept {
    if (n > MaxLength) n = MaxLength;
    for (std::size_t i = length_; i < n; ++i) data_[i] = fill;
    length_ = static_cast<std::uint8_t>(n);
    data_[length_] = '\0';
  }

  ShortString& operator+=(std::string_view tail) noexcept {
    std::size_t n = std::min(tail.size(), MaxLength - length_);
    std::memcpy(data_ + length_, tail.data(), n);
    length_ = static_cast<std::uint8_t>(length_ + n);
    data_[length_] = '\0';
    return *this;
  }
  ShortString& operator+=(char c) noexcept { return *this += std::string_view(&c, 1); }

  friend ShortString operator+(ShortString head, std::string_view tail) noexcept {
    head += tail;
    return head;
  }
  friend bool operator==(const ShortString& a, const ShortString& b) noexcept {
    return a.view() == b.view();
  }
  friend bool operator==(const ShortString& a, std::string_view b) noexcept {
    return a.view() == b;
  }
  friend bool operator==(const ShortString& a, const std::string& b) noexcept {
    return a.view() == std::string_view(b);
  }
  friend bool operator==(const ShortString& a, const char* b) noexcept {
    return a.view() == std::string_view(b ? b : "");
  }

 private:
  void assign(std::string_view text) noexcept {
    std::size_t n = std::min(text.size(), MaxLength);
    if (n) std::memmove(data_, text.data(), n);
    length_ = static_cast<std::uint8_t>(n);
    data_[length_] = '\0';
  }

  std::uint8_t length_ = 0;
  char data_[MaxLength + 1];
};

}  // namespace rtl
