#include <windows.h>

#include "platform/error.h"
#include "platform/stdio.h"

namespace qlx {
namespace {

bool usable(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

}  // namespace

void prepare_standard_streams() {
  // The pipes are the browser's: no process the host starts may inherit them.
  for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    const HANDLE handle = GetStdHandle(which);
    if (usable(handle)) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
  }
}

Result<std::size_t> read_standard_input(std::span<std::byte> buffer) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (!usable(input)) return 0;  // no standard input at all: nothing will ever arrive
  const DWORD want = buffer.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(buffer.size());
  DWORD got = 0;
  if (ReadFile(input, buffer.data(), want, &got, nullptr)) return got;
  const DWORD code = GetLastError();
  switch (code) {
    case ERROR_BROKEN_PIPE:  // the browser closed its end
    case ERROR_NO_DATA:
    case ERROR_INVALID_HANDLE:
    case ERROR_HANDLE_EOF:
      return 0;
    default:
      return fail(system_failure(code));
  }
}

Result<void> write_standard_output(std::span<const std::byte> bytes) {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!usable(output)) return {};  // no standard output: the reply goes nowhere
  while (!bytes.empty()) {
    const DWORD want = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD put = 0;
    if (!WriteFile(output, bytes.data(), want, &put, nullptr)) {
      const DWORD code = GetLastError();
      if (code == ERROR_INVALID_HANDLE) return {};
      return fail(system_failure(code));
    }
    if (put == 0) return fail("failed to write whole buffer");
    bytes = bytes.subspan(put);
  }
  // Nothing is buffered in the process, so the frame has left once WriteFile returns.
  // (FlushFileBuffers on a pipe would wait for the browser to read it.)
  return {};
}

}  // namespace qlx
