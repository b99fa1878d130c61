#include "rtl/MemoryStream.h"

#include <algorithm>
#include <cstring>

namespace rtl {

void TMemoryStream::SetSize(std::size_t NewSize) {
  // The capacity grows geometrically, so that writing piece by piece stays linear.
  if (NewSize + 1 > data_.size()) data_.resize(std::max(NewSize + 1, data_.size() * 2));
  if (NewSize > size_) std::memset(data_.data() + size_, 0, NewSize - size_);
  size_ = NewSize;
  position_ = std::min(position_, size_);
}

void TMemoryStream::Write(const void* Buffer, std::size_t Count) {
  if (Count == 0) return;
  std::size_t end = position_ + Count;
  if (end > size_) SetSize(end);
  std::memcpy(data_.data() + position_, Buffer, Count);
  position_ = end;
}

std::size_t TMemoryStream::Read(void* Buffer, std::size_t Count) {
  std::size_t n = std::min(Count, size_ - position_);
  if (n) std::memcpy(Buffer, data_.data() + position_, n);
  position_ += n;
  return n;
}

std::string TMemoryStream::AsString() const {
  return std::string(reinterpret_cast<const char*>(data_.data()), size_);
}

}  // namespace rtl
