#include <map>

#include <windows.h>

#include "base/at_exit.h"
#include "child_process/child_handles.h"
#include "platform/error.h"
#include "platform/utf16_windows.h"

namespace qlx {
namespace {

HANDLE handle_of(const NativeHandle& handle) {
  return reinterpret_cast<HANDLE>(handle.value);
}

NativeHandle own(HANDLE handle) {
  return NativeHandle(reinterpret_cast<std::intptr_t>(handle));
}

/// Quotes one argument so that the child's C runtime splits it back out unchanged.
void append_quoted(std::wstring& line, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"')
      line.append(backslashes * 2 + 1, L'\\');
    else
      line.append(backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

/// Case-insensitive names, as Windows treats environment variables.
struct NameLess {
  bool operator()(const std::wstring& a, const std::wstring& b) const {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
  }
};

std::wstring environment_block(const std::vector<EnvChange>& changes) {
  std::map<std::wstring, std::wstring, NameLess> env;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
    const wchar_t* eq = wcschr(entry + 1, L'=');  // names like "=C:" start with '='
    if (eq != nullptr) env[std::wstring(entry, eq)] = eq + 1;
  }
  FreeEnvironmentStringsW(strings);
  for (const EnvChange& change : changes) {
    if (change.value) {
      env[utf8_to_utf16(change.name)] = utf8_to_utf16(*change.value);
    } else {
      env.erase(utf8_to_utf16(change.name));
    }
  }
  std::wstring block;
  for (const auto& [name, value] : env) {
    block += name;
    block += L'=';
    block += value;
    block += L'\0';
  }
  block += L'\0';
  return block;
}

}  // namespace

Result<ChildProcess> start_child(const ChildOptions& options) {
  // This process's ends of the pipes live in `child` from the start and the
  // child's ends in `theirs` (its stdin, stdout, stderr), so that a step that
  // fails closes everything opened before it.
  ChildProcess child;
  HANDLE theirs[3] = {nullptr, nullptr, nullptr};
  AtExit close_theirs{[&] {
    for (HANDLE handle : theirs) {
      if (handle != nullptr) CloseHandle(handle);
    }
  }};
  NativeHandle* ours[3] = {&ChildHandles::input(child), &ChildHandles::output(child),
                           &ChildHandles::errors(child)};
  constexpr DWORD kPipeBytes[3] = {1 << 20, 1 << 20, 1 << 16};
  for (int stream = 0; stream < 3; ++stream) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inheritable, kPipeBytes[stream])) {
      return fail(last_system_failure());
    }
    const bool child_reads = stream == 0;
    theirs[stream] = child_reads ? read_end : write_end;
    *ours[stream] = own(child_reads ? write_end : read_end);
    // Only the child's end is inherited.
    if (!SetHandleInformation(handle_of(*ours[stream]), HANDLE_FLAG_INHERIT, 0)) {
      return fail(last_system_failure());
    }
  }

  const std::wstring program = options.program.native();
  std::wstring line;
  append_quoted(line, program);
  for (const std::string& arg : options.arguments) {
    line += L' ';
    append_quoted(line, utf8_to_utf16(arg));
  }
  std::wstring env = environment_block(options.env);

  // The child inherits exactly its three handles, so that the pipes of a
  // child that another thread starts at the same moment never leak into this
  // one (and the other way round).  The first call only measures the list.
  SIZE_T attr_size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &attr_size);
  if (attr_size == 0) return fail(last_system_failure());
  std::vector<char> attr_buffer(attr_size);
  auto* attrs = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attr_buffer.data());
  if (!InitializeProcThreadAttributeList(attrs, 1, 0, &attr_size)) {
    return fail(last_system_failure());
  }
  AtExit delete_attrs{[&] { DeleteProcThreadAttributeList(attrs); }};
  if (!UpdateProcThreadAttribute(attrs, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, theirs, sizeof theirs,
                                 nullptr, nullptr)) {
    return fail(last_system_failure());
  }

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = theirs[0];
  startup.StartupInfo.hStdOutput = theirs[1];
  startup.StartupInfo.hStdError = theirs[2];
  startup.lpAttributeList = attrs;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                      CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT, env.data(),
                      options.working_dir.empty() ? nullptr : options.working_dir.c_str(),
                      &startup.StartupInfo, &info)) {
    return fail(last_system_failure());
  }
  CloseHandle(info.hThread);
  ChildHandles::process(child) = own(info.hProcess);
  return child;
}

Result<void> write_child_input(ChildProcess& child, std::span<const std::byte> bytes) {
  while (!bytes.empty()) {
    const DWORD want = bytes.size() > 0x100000 ? 0x100000 : static_cast<DWORD>(bytes.size());
    DWORD put = 0;
    if (!WriteFile(handle_of(ChildHandles::input(child)), bytes.data(), want, &put, nullptr)) {
      return fail(last_system_failure());
    }
    bytes = bytes.subspan(put);
  }
  return {};
}

void close_child_input(ChildProcess& child) {
  ChildHandles::input(child).reset();
}

Result<std::size_t> read_child_output(ChildProcess& child, std::span<std::byte> buffer) {
  const DWORD want = buffer.size() > 0x100000 ? 0x100000 : static_cast<DWORD>(buffer.size());
  DWORD got = 0;
  if (ReadFile(handle_of(ChildHandles::output(child)), buffer.data(), want, &got, nullptr)) {
    return got;
  }
  const DWORD code = GetLastError();
  if (code == ERROR_BROKEN_PIPE) return 0;
  return fail(system_failure(code));
}

std::string read_child_errors(ChildProcess& child) {
  std::string text;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(handle_of(ChildHandles::errors(child)), chunk, sizeof chunk, &got, nullptr) &&
         got > 0) {
    text.append(chunk, got);
  }
  return text;
}

std::optional<std::uint64_t> child_process_id(const ChildProcess& child) {
  if (!child_running(child)) return std::nullopt;
  return GetProcessId(handle_of(ChildHandles::process(child)));
}

Result<std::optional<int>> reap_child_within(ChildProcess& child,
                                             std::chrono::milliseconds timeout) {
  if (!child_running(child)) return fail("the child has already been waited for");
  const HANDLE process = handle_of(ChildHandles::process(child));
  const DWORD waited = WaitForSingleObject(process, static_cast<DWORD>(timeout.count()));
  if (waited == WAIT_TIMEOUT) return std::nullopt;
  if (waited != WAIT_OBJECT_0) return fail(last_system_failure());
  DWORD code = 0;
  if (!GetExitCodeProcess(process, &code)) return fail(last_system_failure());
  ChildHandles::process(child).reset();
  return static_cast<int>(code);
}

Result<int> wait_child(ChildProcess& child) {
  auto exited = reap_child_within(child, std::chrono::milliseconds(INFINITE));
  if (!exited) return fail(std::move(exited.error()));
  return **exited;
}

void kill_child(ChildProcess& child) {
  // The handle keeps the process object, and so its id, until it is closed.
  if (child_running(child)) TerminateProcess(handle_of(ChildHandles::process(child)), 1);
}

}  // namespace qlx
