// What Windows, Explorer and antivirus read from the shipped programs: the
// version resource (every field, through GetFileVersionInfoW and
// VerQueryValueW) and the application manifest (resource 1 of RT_MANIFEST).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/version.h"
#include "platform/utf16_windows.h"
#include "support/case_name.h"
#include "support/host_session.h"

namespace qlx::testing_support {
namespace {

struct Program {
  std::string_view name;  // the row's
  std::string_view file;  // without ".exe"
  std::string_view description;
};

const Program kPrograms[] = {
    {"Host", "qlx-native-host",
     "QLX native messaging host: hands downloads from the browser to QLX"},
    {"Register", "qlx-host-register", "Registers the QLX native messaging host with the browsers"},
    {"Client", "qlx-nm-client", "Native messaging client for trying the QLX host"},
};

/// "1.0.7" as Windows writes versions: four numbers.
std::string four_part_version() {
  return std::string(kHostVersion) + ".0";
}

class ResourcesOf : public testing::TestWithParam<Program> {
 protected:
  Path program() const { return programs_dir() / executable_name(GetParam().file); }
};

TEST_P(ResourcesOf, VersionResourceNamesTheProgram) {
  const std::wstring file = program().native();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  ASSERT_NE(size, 0u) << "no version resource, error " << GetLastError();
  std::vector<BYTE> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(file.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  const std::string numbers = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                              std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                              std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                              std::to_string(LOWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(numbers, four_part_version());
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u) << "a debug or pre-release build";

  // The one translation: U.S. English, UTF-16.
  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 2 * sizeof(WORD));
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 1200);

  const std::string name(GetParam().file);
  const std::pair<std::wstring_view, std::string> fields[] = {
      {L"CompanyName", "Velmont"},
      {L"FileDescription", std::string(GetParam().description)},
      {L"FileVersion", four_part_version()},
      {L"InternalName", name},
      {L"OriginalFilename", name + ".exe"},
      {L"ProductName", "QLX native messaging host"},
      {L"ProductVersion", four_part_version()},
  };
  for (const auto& [field, expected] : fields) {
    const std::wstring query = L"\\StringFileInfo\\040904B0\\" + std::wstring(field);
    wchar_t* value = nullptr;
    const bool found =
        VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) != 0;
    EXPECT_TRUE(found) << utf16_to_utf8(field);
    if (found) {
      EXPECT_EQ(utf16_to_utf8(value), expected) << utf16_to_utf8(field);
    }
  }
}

TEST_P(ResourcesOf, ManifestRunsAsInvokerWithLongPathsAndUtf8) {
  HMODULE module =
      LoadLibraryExW(program().c_str(), nullptr,
                     LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr) << "error " << GetLastError();
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  std::string manifest;
  if (found != nullptr) {
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    manifest.assign(bytes, SizeofResource(module, found));
  }
  FreeLibrary(module);
  ASSERT_FALSE(manifest.empty()) << "no manifest resource 1";
  for (std::string_view part : {
           std::string_view(R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)"),
           std::string_view(R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)"),
           std::string_view(R"(<longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/)"
                            R"(WindowsSettings">true</longPathAware>)"),
           std::string_view(R"(<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/)"
                            R"(WindowsSettings">UTF-8</activeCodePage>)"),
       }) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(manifest.find("requireAdministrator"), std::string::npos);
  EXPECT_EQ(manifest.find("highestAvailable"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Shipped, ResourcesOf, testing::ValuesIn(kPrograms), CaseName{});

}  // namespace
}  // namespace qlx::testing_support
