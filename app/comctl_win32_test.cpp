#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/comctl.h"

namespace {

std::string SystemDirectory() {
  char path[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  return std::string(path, length);
}

// A fresh folder of the test's own under the user's temporary folder, removed with the files
// put in it.
class TempFolder {
 public:
  TempFolder() {
    char base[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, base);  // ends in a backslash
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const std::string candidate = std::string(base, length) + "tally-comctl-" +
                                    std::to_string(GetCurrentProcessId()) + "-" +
                                    std::to_string(attempt);
      if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
    }
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    for (const std::string& file : files_) DeleteFileA(file.c_str());
    if (!path_.empty()) RemoveDirectoryA(path_.c_str());
  }
  const std::string& path() const { return path_; }

  // Writes text to a new file in the folder; whether that worked.
  bool write(const std::string& name, const std::string& text) {
    const std::string file = remember(name);
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok =
        WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(handle);
    return ok && written == text.size();
  }
  // Copies a file into the folder under name; whether that worked.
  bool copy(const std::string& from, const std::string& name) {
    return CopyFileA(from.c_str(), remember(name).c_str(), TRUE) != 0;
  }

 private:
  std::string remember(const std::string& name) {
    files_.push_back(path_ + "\\" + name);
    return files_.back();
  }
  std::string path_;
  std::vector<std::string> files_;
};

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
  // A file that has no version information (looked for in a folder of the test's own: the
  // system directory is not for writing), one that does not exist, and a name too long for
  // the path buffer.
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty()) << "no temporary folder";
  ASSERT_TRUE(folder.write("no-version.txt", "plain text\r\n"));
  EXPECT_EQ(FileVersionInFolder(folder.path().c_str(), "no-version.txt"), 0);

  EXPECT_EQ(GETSYSFILEVER("tally-no-such-file.dll"), 0);
  EXPECT_EQ(GETSYSFILEVER(std::string(400, 'x').c_str()), 0);
  EXPECT_EQ(GETSYSFILEVER(""), 0);  // the directory itself
}

TEST(FileVersionInFolder, ReadsTheFileInTheFolderGiven) {
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty()) << "no temporary folder";
  ASSERT_TRUE(folder.copy(SystemDirectory() + "\\user32.dll", "copied.dll"));
  const int64_t version = GETSYSFILEVER("user32.dll");
  ASSERT_GT(version, 0);
  // With or without the folder's final backslash; a name that is not there gives zero.
  EXPECT_EQ(FileVersionInFolder(folder.path().c_str(), "copied.dll"), version);
  EXPECT_EQ(FileVersionInFolder((folder.path() + "\\").c_str(), "copied.dll"), version);
  EXPECT_EQ(FileVersionInFolder(folder.path().c_str(), "user32.dll"), 0);
  // A folder too long for the path buffer is left out: the name alone, after a backslash.
  EXPECT_EQ(FileVersionInFolder(std::string(300, 'x').c_str(), "copied.dll"), 0);
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
