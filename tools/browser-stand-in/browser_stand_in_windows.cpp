// browser-stand-in PROGRAM [ARGS...]: runs PROGRAM as a child on this
// process's own standard handles, waits for it and exits with its exit code
// (127 when it could not be started).
#include <windows.h>

#include <string>

namespace {

/// One argument quoted the way CommandLineToArgvW reads it back.
void append_argument(std::wstring& line, const wchar_t* argument) {
  if (!line.empty()) line += L' ';
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t* c = argument; *c != L'\0'; ++c) {
    if (*c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(*c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += *c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

HANDLE inheritable(DWORD which) {
  HANDLE copy = nullptr;
  const HANDLE original = GetStdHandle(which);
  if (original == nullptr || original == INVALID_HANDLE_VALUE) return nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), original, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  return copy;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 127;
  std::wstring line;
  for (int i = 1; i < argc; ++i) append_argument(line, argv[i]);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inheritable(STD_INPUT_HANDLE);
  startup.hStdOutput = inheritable(STD_OUTPUT_HANDLE);
  startup.hStdError = inheritable(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(argv[1], line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
    if (h != nullptr) CloseHandle(h);
  }
  if (!started) return 127;
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 127;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}
