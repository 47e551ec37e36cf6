#include <windows.h>

#include <bcrypt.h>

#include "platform/error.h"
#include "platform/random.h"

namespace qlx {
namespace {

using ProcessPrngFunction = BOOL(WINAPI*)(PBYTE data, SIZE_T size);

/// ProcessPrng from bcryptprimitives.dll, or null where the system lacks it
/// (Wine, for one).  Looked up once: the module stays loaded for the process.
ProcessPrngFunction process_prng() {
  static const ProcessPrngFunction function = [] {
    HMODULE module = LoadLibraryExW(L"bcryptprimitives.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) return ProcessPrngFunction{};
    // Through a generic function pointer: FARPROC's own signature differs.
    return reinterpret_cast<ProcessPrngFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "ProcessPrng")));
  }();
  return function;
}

/// The Win32 error code of an NTSTATUS, through ntdll (always loaded).
DWORD dos_error_of(NTSTATUS status) {
  using Convert = ULONG(WINAPI*)(NTSTATUS);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto convert = ntdll == nullptr ? Convert{}
                                        : reinterpret_cast<Convert>(reinterpret_cast<void (*)()>(
                                              GetProcAddress(ntdll, "RtlNtStatusToDosError")));
  return convert == nullptr ? ERROR_GEN_FAILURE : convert(status);
}

}  // namespace

Result<void> fill_random(std::span<std::byte> bytes) {
  if (const ProcessPrngFunction prng = process_prng(); prng != nullptr) {
    // ProcessPrng does not fail: it returns TRUE always.
    prng(reinterpret_cast<PBYTE>(bytes.data()), bytes.size());
    return {};
  }
  while (!bytes.empty()) {
    const ULONG part = bytes.size() > 0x10000000 ? 0x10000000 : static_cast<ULONG>(bytes.size());
    const NTSTATUS status = BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(bytes.data()), part,
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (!BCRYPT_SUCCESS(status)) return fail(system_failure(dos_error_of(status)));
    bytes = bytes.subspan(part);
  }
  return {};
}

}  // namespace qlx
