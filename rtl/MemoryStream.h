#pragma once
// The runtime's memory stream: a growable block of bytes with a size and a position. Long data
// is bound from one and read into one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

class TMemoryStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string_view Bytes) { Write(Bytes.data(), Bytes.size()); }

  // The block; valid until the size changes. Never null, also when empty.
  std::byte* Memory() { return data_.data(); }
  const std::byte* Memory() const { return data_.data(); }
  std::size_t Size() const { return size_; }
  // Grows or shrinks the block; new bytes are zero. The position stays within the block.
  void SetSize(std::size_t NewSize);
  void Clear() { SetSize(0); }

  std::size_t Position() const { return position_; }
  void SetPosition(std::size_t Value) { position_ = Value < size_ ? Value : size_; }

  // Writes at the position, growing the block as needed; the position moves past the bytes.
  void Write(const void* Buffer, std::size_t Count);
  // Reads at most Count bytes from the position; returns how many were read.
  std::size_t Read(void* Buffer, std::size_t Count);

  // The whole block as text or bytes.
  std::string AsString() const;

 private:
  // Never empty, so that Memory() always has an address to give the driver.
  std::vector<std::byte> data_ = std::vector<std::byte>(1);
  std::size_t size_ = 0;
  std::size_t position_ = 0;
};

}  // namespace rtl
