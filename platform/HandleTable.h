#pragma once
// Objects identified by 32-bit handles. A handle is never reused while the table lives, so a
// stale handle finds nothing and is refused rather than dereferenced; 0 is never a handle.

#include <cstdint>
#include <unordered_map>
#include <utility>

namespace platform {

template <class Object>
class HandleTable {
 public:
  explicit HandleTable(std::uint32_t first = 1) : next_(first) {}

  std::uint32_t Add(Object object) {
    std::uint32_t handle = next_;
    while (handle == 0 || objects_.count(handle)) ++handle;
    next_ = handle + 1;
    objects_.emplace(handle, std::move(object));
    return handle;
  }
  Object* Find(std::uint32_t handle) {
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : &it->second;
  }
  bool Remove(std::uint32_t handle) { return objects_.erase(handle) > 0; }

 private:
  std::unordered_map<std::uint32_t, Object> objects_;
  std::uint32_t next_;
};

}  // namespace platform
