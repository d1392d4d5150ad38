// The goods file's input on Windows: names of any letters and length, and who may hold the
// file open meanwhile. The files are made with the wide calls in the "\\?\" form, apart from
// the code under test.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "goods/input_file.h"
#include "text/wide_text.h"

namespace {

std::string Utf8(const std::wstring& text) {
  return Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

class InputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    folder_ = std::wstring(temp) + L"tally-input-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(GetTickCount());
    made_.push_back(folder_);
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder_).c_str(), nullptr));
  }
  void TearDown() override {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
      const std::wstring path = L"\\\\?\\" + *it;
      if (!DeleteFileW(path.c_str())) RemoveDirectoryW(path.c_str());
    }
  }

  // Writes bytes to the file at relative (folders made as needed) and returns its full path
  // in UTF-8, as it would stand on the command line.
  std::string make(const std::wstring& relative, const std::string& bytes) {
    for (size_t slash = relative.find(L'\\'); slash != std::wstring::npos;
         slash = relative.find(L'\\', slash + 1)) {
      made_.push_back(folder_ + L"\\" + relative.substr(0, slash));
      CreateDirectoryW((L"\\\\?\\" + made_.back()).c_str(), nullptr);
    }
    const std::wstring path = folder_ + L"\\" + relative;
    made_.push_back(path);
    const HANDLE file = CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << Utf8(relative);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return Utf8(path);
  }

  // The file's bytes read through InputFile, or "(does not open)".
  static std::string readAll(const std::string& name) {
    InputFile file;
    if (!file.open(name)) return "(does not open)";
    std::string bytes;
    char buffer[64];
    for (int64_t got = 0; (got = file.read(buffer, sizeof buffer)) > 0;) {
      bytes.append(buffer, static_cast<size_t>(got));
    }
    return bytes;
  }

  std::wstring folder_;  // full, without "\\?\"
  std::vector<std::wstring> made_;
};

// Each file by its own name, the one beside it that the ANSI form would have named untouched.
TEST_F(InputFileTest, NamesOfAnyLettersAndLength) {
  const std::wstring longFolder(60, L'x');
  const struct {
    std::wstring name;
    std::wstring neighbour;  // what the ANSI code page's best fit would make of it
  } cases[] = {
      {L"\u00DCr\u00FCn.txt", L"Urun.txt"},  // Ürün.txt
      {L"goods.txt\uFF0F"
       L"2",
       L"goods.txt"},                                            // the full-width solidus
      {L"\u0411\u0430\u0493\u0430\u043B\u0430\u0440.txt", L""},  // Бағалар.txt
      {L"\u5546\u54C1.txt", L""},                                // 商品.txt
      {longFolder + L"\\" + longFolder + L"\\" + longFolder + L"\\" + longFolder + L"\\" +
           longFolder + L"\\goods.txt",
       L""},
  };
  for (const auto& c : cases) {
    if (!c.neighbour.empty()) make(c.neighbour, "the neighbour");
    const std::string path = make(c.name, "the file meant");
    EXPECT_EQ(readAll(path), "the file meant") << path;
  }
  EXPECT_GT(made_.back().size(), 300u);
}

TEST_F(InputFileTest, RelativeNamesFromTheCurrentFolder) {
  make(L"\u00DCr\u00FCn.txt", "here");
  wchar_t before[MAX_PATH + 1] = {};
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH + 1, before), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
  const std::string relative = readAll("\xC3\x9Cr\xC3\xBCn.txt");
  const std::string dotted = readAll(".\\sub\\..\\\xC3\x9Cr\xC3\xBCn.txt");
  SetCurrentDirectoryW(before);
  EXPECT_EQ(relative, "here");
  EXPECT_EQ(dotted, "here");
}

// Shared with other readers only: a viewer or a second run does not stand in the way; a
// program that writes to the file, or that shares it with nobody, does.
TEST_F(InputFileTest, SharedWithReadersOnly) {
  const std::string name = make(L"goods.txt", "goods");
  const std::wstring wide = L"\\\\?\\" + folder_ + L"\\goods.txt";
  const auto hold = [&wide](DWORD access, DWORD share) {
    return CreateFileW(wide.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  const struct {
    DWORD access;
    DWORD share;
    const char* read;
  } holders[] = {
      {GENERIC_READ, FILE_SHARE_READ, "goods"},
      {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, "goods"},
      {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, "(does not open)"},
      {GENERIC_READ, 0, "(does not open)"},
  };
  for (const auto& h : holders) {
    const HANDLE holder = hold(h.access, h.share);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(readAll(name), h.read) << h.access << " " << h.share;
    CloseHandle(holder);
  }

  // While it is read, another reader may open it and a writer may not.
  InputFile reading;
  ASSERT_TRUE(reading.open(name));
  const HANDLE reader = hold(GENERIC_READ, FILE_SHARE_READ);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);
  const HANDLE writer = hold(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
}

}  // namespace
