// Holds a file open with a chosen share mode for a while, as an antivirus
// scanner, an indexer or the file's own writer does:
//
//   hold-file PATH SHARE MS [TEXT]
//
//   SHARE  "-" (share nothing) or letters of "rwd": FILE_SHARE_READ,
//          FILE_SHARE_WRITE, FILE_SHARE_DELETE
//   MS     how long to hold the file, in milliseconds
//   TEXT   when given: create or truncate the file for writing and write
//          TEXT (UTF-8) into it at once, as a writer that still holds its
//          file; otherwise open the existing file for reading
//
// Prints "held" and a line break once the file is open (and written), and
// ends when it has let go.  Exit codes: 0 done, 1 the file could not be opened or written
// ("error <code>" on stdout), 2 bad arguments.
#include <windows.h>

#include <cwchar>
#include <string>
#include <string_view>

namespace {

bool parse_share(std::wstring_view text, DWORD& share) {
  share = 0;
  if (text == L"-") return true;
  if (text.empty()) return false;
  for (const wchar_t c : text) {
    if (c == L'r') {
      share |= FILE_SHARE_READ;
    } else if (c == L'w') {
      share |= FILE_SHARE_WRITE;
    } else if (c == L'd') {
      share |= FILE_SHARE_DELETE;
    } else {
      return false;
    }
  }
  return true;
}

std::string utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

/// Writes `text` to stdout as bytes (no text-mode line ends).
void say(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
            nullptr);
}

int report_error(DWORD code) {
  say("error " + std::to_string(code) + "\n");
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DWORD share = 0;
  if ((argc != 4 && argc != 5) || !parse_share(argv[2], share)) return 2;
  wchar_t* end = nullptr;
  const unsigned long hold_ms = std::wcstoul(argv[3], &end, 10);
  if (end == argv[3] || *end != L'\0') return 2;
  const bool writer = argc == 5;

  const HANDLE file =
      CreateFileW(argv[1], writer ? GENERIC_WRITE : GENERIC_READ, share, nullptr,
                  writer ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return report_error(GetLastError());
  if (writer) {
    const std::string text = utf8(argv[4]);
    DWORD written = 0;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
      const DWORD code = GetLastError();
      CloseHandle(file);
      return report_error(code);
    }
  }
  say("held\n");
  Sleep(static_cast<DWORD>(hold_ms));
  CloseHandle(file);
  return 0;
}
