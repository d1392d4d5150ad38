// The Linux program on goods files as shops have them: UTF-8 and UTF-16 files, names typed
// in Cyrillic, and names that are no file on disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/encoded_text.h"
#include "tests/program_runner.h"
#include "tests/simulator_process.h"
#include "text/cp1251.h"

namespace {

// The frames the simulator received, its "frame ..." log lines.
std::vector<std::string> Frames(const SimulatedUpload& landed) {
  std::istringstream in(landed.simLog);
  std::vector<std::string> frames;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("frame ", 0) == 0) frames.push_back(line);
  }
  return frames;
}

const std::string kExample = std::string(TALLY_SOURCE_DIR) + "/examples/goods.txt";

TEST(GoodsEncodingsProgram, ShopFileLandsAlikeInEveryEncoding) {
  const std::string shop = ReadFileBytes(kExample);
  ASSERT_GT(shop.size(), 1000u);
  const SimulatedUpload reference = UploadToSimulator(TALLY_BINARY, REGISTER_SIM_BINARY, kExample);
  ASSERT_EQ(reference.exitStatus, 0) << reference.err;
  // 37 goods lines, 37 frames.
  const std::vector<std::string> frames = Frames(reference);
  ASSERT_EQ(frames.size(), 37u);

  // The same goods as two files: the first block cut after its fifth goods line.
  size_t cut = shop.find("<start>");
  for (int line = 0; line < 6 && cut != std::string::npos; ++line) cut = shop.find('\n', cut + 1);
  ASSERT_NE(cut, std::string::npos);
  const std::string first = shop.substr(0, cut + 1) + "<end>\r\n";
  const std::string second = "<start>\r\n" + shop.substr(cut + 1);

  TempDir dir;
  const struct {
    const char* what;
    std::string bytes;
  } files[] = {
      {"UTF-8", Cp1251ToUtf8(shop)},
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + Cp1251ToUtf8(shop)},
      {"UTF-16 LE", "\xFF\xFE" + Utf16Bytes(shop, true)},
      {"UTF-16 BE", "\xFE\xFF" + Utf16Bytes(shop, false)},
      // Two exports joined one after the other, each with its mark.
      {"two UTF-8 files joined",
       "\xEF\xBB\xBF" + Cp1251ToUtf8(first) + "\xEF\xBB\xBF" + Cp1251ToUtf8(second)},
      {"two UTF-16 files joined",
       "\xFF\xFE" + Utf16Bytes(first, true) + "\xFF\xFE" + Utf16Bytes(second, true)},
      // One stray byte among the letters: still UTF-8.
      {"UTF-8 with a stray byte after <end>", Cp1251ToUtf8(shop) + "\xA0\r\n"},
  };
  for (const auto& f : files) {
    const SimulatedUpload landed =
        UploadToSimulator(TALLY_BINARY, REGISTER_SIM_BINARY, dir.write("goods.txt", f.bytes));
    EXPECT_EQ(landed.exitStatus, 0) << f.what << ": " << landed.err;
    EXPECT_EQ(landed.err, "") << f.what;
    EXPECT_EQ(Frames(landed), frames) << f.what;
    EXPECT_EQ(landed.base, reference.base) << f.what;
  }
}

TEST(GoodsEncodingsProgram, MessageQuotesAUtf8Field) {
  TempDir dir;
  const std::string file = dir.write(
      "goods.txt",
      "<start>\n1\tЧай «Ёжик» ★\t\t89,9 ₽\t1\t0\t\n<end>\n");  // UTF-8, as typed
  const ProgramResult r = RunProgram(TALLY_BINARY, {file}, {}, 20);
  EXPECT_EQ(r.exitStatus, 1);
  // The price field as read, converted: the rouble sign is no Windows-1251 character.
  EXPECT_EQ(r.err, "OKA PF: ошибка: Недопустимая цена: '89,9 ?\t' (строка 2 файла)\n");
}

TEST(GoodsEncodingsProgram, CyrillicFileNames) {
  TempDir dir;
  // One argument each, as the shell gives a quoted path: " /e " inside it is part of the
  // path (the folders "Выгрузка " and "e 2025"), never the clear run.
  for (const std::string folder : {"Товары", "Выгрузка /e 2025"}) {
    std::filesystem::create_directories(dir.path() + "/" + folder);
    const std::string present = dir.write(folder + "/база.txt", ReadFileBytes(kExample));
    const SimulatedUpload landed = UploadToSimulator(TALLY_BINARY, REGISTER_SIM_BINARY, present);
    EXPECT_EQ(landed.exitStatus, 0) << landed.err;
    EXPECT_EQ(Frames(landed).size(), 37u) << folder;
  }

  const struct {
    std::string typed;
    std::string shown;
  } missing[] = {
      {dir.path() + "/Товары/нет такой.txt", dir.path() + "/Товары/нет такой.txt"},
      {dir.path() + "/товары.txt", dir.path() + "/товары.txt"},
      // What Windows-1251 lacks is shown as '?'.
      {dir.path() + "/商品.txt", dir.path() + "/??.txt"},
      {dir.path() + "/bad\xFF.txt", dir.path() + "/bad?.txt"},
  };
  for (const auto& m : missing) {
    const ProgramResult r = RunProgram(TALLY_BINARY, {m.typed}, {}, 20);
    EXPECT_EQ(r.exitStatus, 1) << m.typed;
    EXPECT_EQ(r.err, "OKA PF: ошибка: Не могу открыть файл: " + m.shown + "\n");
  }
}

// Names that are no file on disk are refused at once: none of them may hang the program or
// pass for an empty file.
TEST(GoodsEncodingsProgram, OnlyAFileOnDiskIsAGoodsFile) {
  TempDir dir;
  const std::string fifo = dir.path() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  // Through a link: a terminal's own name may end in a switch word ("/dev/pts/2").
  const std::string pty = dir.path() + "/terminal";
  std::filesystem::create_symlink(ptsname(master), pty);
  const std::string linkToDevice = dir.path() + "/zero-link";
  std::filesystem::create_symlink("/dev/zero", linkToDevice);

  for (const std::string& name :
       {std::string("/dev/zero"), std::string("/dev/null"), pty, fifo, dir.path(), linkToDevice}) {
    // A program stuck on one of them is killed after 10 s and has no status.
    const ProgramResult r = RunProgram(TALLY_BINARY, {name}, {}, 10);
    EXPECT_EQ(r.exitStatus, 1) << name;
    EXPECT_EQ(r.err, "OKA PF: ошибка: Не могу открыть файл: " + name + "\n");
  }
  close(master);

  // A symbolic link to a goods file is that file.
  const std::string link = dir.path() + "/goods-link.txt";
  std::filesystem::create_symlink(kExample, link);
  const SimulatedUpload landed = UploadToSimulator(TALLY_BINARY, REGISTER_SIM_BINARY, link);
  EXPECT_EQ(landed.exitStatus, 0) << landed.err;
  EXPECT_EQ(Frames(landed).size(), 37u);
}

}  // namespace
