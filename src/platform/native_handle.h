#pragma once

#include <cstdint>
#include <utility>

namespace qlx {

/// No native resource: -1 is no descriptor, and INVALID_HANDLE_VALUE.
inline constexpr std::intptr_t kNoNative = -1;

/// Releases one native resource (a descriptor, a HANDLE, a registry key...).
using NativeCloser = void (*)(std::intptr_t);

/// Closes a descriptor (POSIX) or a kernel HANDLE (Windows).
void close_native(std::intptr_t value);

/// Owns one native resource and releases it with its closer when it goes out
/// of scope or is reset.  Move-only; the platform files cast `value` back to
/// their own type (int, HANDLE, HKEY).
struct NativeHandle {
  std::intptr_t value = kNoNative;
  NativeCloser closer = nullptr;

  NativeHandle() = default;
  explicit NativeHandle(std::intptr_t v, NativeCloser c = close_native) : value(v), closer(c) {}
  NativeHandle(NativeHandle&& other) noexcept
      : value(std::exchange(other.value, kNoNative)), closer(other.closer) {}
  NativeHandle& operator=(NativeHandle&& other) noexcept {
    if (this != &other) {
      reset();
      value = std::exchange(other.value, kNoNative);
      closer = other.closer;
    }
    return *this;
  }
  NativeHandle(const NativeHandle&) = delete;
  NativeHandle& operator=(const NativeHandle&) = delete;
  ~NativeHandle() { reset(); }

  bool valid() const { return value != kNoNative; }
  /// Hands the resource over; the record no longer releases it.
  std::intptr_t release() { return std::exchange(value, kNoNative); }
  /// Releases the resource now.
  void reset() {
    if (value != kNoNative && closer != nullptr) closer(value);
    value = kNoNative;
  }
};

}  // namespace qlx
