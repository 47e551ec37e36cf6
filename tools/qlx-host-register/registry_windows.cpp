#include "registry_windows.h"

namespace qlx::host_register {
namespace {

void close_key(std::intptr_t key) {
  RegCloseKey(reinterpret_cast<HKEY>(key));
}

}  // namespace

NativeHandle hold_key(HKEY key) {
  return NativeHandle(reinterpret_cast<std::intptr_t>(key), close_key);
}

}  // namespace qlx::host_register
