#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/comctl.h"

namespace {

std::string SystemDirectory() {
  char path[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  return std::string(path, length);
}

TEST(GetSysFileVer, SystemLibrariesHaveVersions) {
  for (const char* name : {"KERNEL32.DLL", "user32.dll", "COMCTL32.DLL"}) {
    const int64_t version = GETSYSFILEVER(name);
    EXPECT_GT(version, 0) << name;
    // Whole hundredths: the minor part is divided by 100 and kept to four places.
    EXPECT_EQ(version % 100, 0) << name;
  }
}

TEST(GetSysFileVer, MatchesTheFilesOwnVersionInformation) {
  const std::string path = SystemDirectory() + "\\user32.dll";
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::string information(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, information.data()));
  void* block = nullptr;
  UINT blockSize = 0;
  ASSERT_TRUE(VerQueryValueA(information.data(), "\\", &block, &blockSize));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
  const int64_t major = HIWORD(fixed->dwFileVersionMS);
  const int64_t minor = LOWORD(fixed->dwFileVersionMS);
  EXPECT_EQ(GETSYSFILEVER("user32.dll"), major * 10000 + minor * 100);
}

TEST(GetSysFileVer, FilesWithoutVersionInformationGiveZero) {
  // A file in the system directory that has no version information, one that does not
  // exist, and a name too long for the path buffer.
  const std::string name = "tally-test-no-version.txt";
  const std::string path = SystemDirectory() + "\\" + name;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write to the system directory";
  DWORD written = 0;
  WriteFile(file, "plain text\r\n", 12, &written, nullptr);
  CloseHandle(file);
  EXPECT_EQ(GETSYSFILEVER(name.c_str()), 0);
  DeleteFileA(path.c_str());

  EXPECT_EQ(GETSYSFILEVER("tally-no-such-file.dll"), 0);
  EXPECT_EQ(GETSYSFILEVER(std::string(400, 'x').c_str()), 0);
  EXPECT_EQ(GETSYSFILEVER(""), 0);  // the directory itself
}

TEST(InitComCtl32, RegistersTheProgressBarAndReturnsTheLibraryVersion) {
  for (uint32_t classes : {0u, 0x20u /* ICC_PROGRESS_CLASS */}) {
    const int64_t version = INITCOMCTL32(classes);
    EXPECT_GT(version, 0);
    EXPECT_EQ(version, GETSYSFILEVER("COMCTL32.DLL"));
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    EXPECT_TRUE(GetClassInfoExA(nullptr, "msctls_progress32", &info))
        << "progress bar class after classes " << classes;
  }
}

}  // namespace
