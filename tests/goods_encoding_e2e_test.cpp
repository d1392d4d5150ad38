// The Linux program on goods files as shops have them: UTF-8 and UTF-16 files, names typed
// in Cyrillic, and names that are no file on disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/encoded_text.h"
#include "tests/program_runner.h"
#include "tests/simulator_process.h"
#include "text/cp1251.h"

namespace {

struct Landed {
  int exitStatus = -1;
  std::string err;
  std::string frames;  // the frames the simulator received, one "frame ..." line each
  std::string base;    // its goods base afterwards
};

// Uploads the file at path (as given on the command line) to a fresh simulator.
Landed Upload(const std::string& path) {
  TempDir simFiles;
  const std::string db = simFiles.path() + "/base.tsv";
  const std::string log = simFiles.path() + "/sim.log";
  SimulatorProcess sim(REGISTER_SIM_BINARY, {"--db", db, "--log", log});
  Landed landed;
  if (sim.slave().empty()) return landed;
  const ProgramResult r = RunProgram(TALLY_BINARY, {path}, {{"TALLY_COM1", sim.slave()}}, 60);
  sim.stop();
  landed.exitStatus = r.exitStatus;
  landed.err = r.err;
  std::istringstream in(ReadFileBytes(log));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("frame ", 0) == 0) landed.frames += line + "\n";
  }
  landed.base = ReadFileBytes(db);
  return landed;
}

const std::string kExample = std::string(TALLY_SOURCE_DIR) + "/examples/goods.txt";

TEST(GoodsEncodingsProgram, ShopFileLandsAlikeInEveryEncoding) {
  const std::string shop = ReadFileBytes(kExample);
  ASSERT_GT(shop.size(), 1000u);
  const Landed reference = Upload(kExample);
  ASSERT_EQ(reference.exitStatus, 0) << reference.err;
  // 37 goods lines, 37 frames.
  ASSERT_EQ(std::count(reference.frames.begin(), reference.frames.end(), '\n'), 37);

  TempDir dir;
  const struct {
    const char* what;
    std::string bytes;
  } files[] = {
      {"UTF-8", Cp1251ToUtf8(shop)},
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + Cp1251ToUtf8(shop)},
      {"UTF-16 LE", "\xFF\xFE" + Utf16Bytes(shop, true)},
      {"UTF-16 BE", "\xFE\xFF" + Utf16Bytes(shop, false)},
  };
  for (const auto& f : files) {
    const Landed landed = Upload(dir.write("goods.txt", f.bytes));
    EXPECT_EQ(landed.exitStatus, 0) << f.what << ": " << landed.err;
    EXPECT_EQ(landed.err, "") << f.what;
    EXPECT_EQ(landed.frames, reference.frames) << f.what;
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
  EXPECT_EQ(r.err, "OKA PF: ошибка: Недопустимая цена: '89,9 ?\t'\n");
}

TEST(GoodsEncodingsProgram, CyrillicFileNames) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() + "/Товары");
  const std::string present = dir.write("Товары/база.txt", ReadFileBytes(kExample));
  const Landed landed = Upload(present);
  EXPECT_EQ(landed.exitStatus, 0) << landed.err;
  EXPECT_EQ(std::count(landed.frames.begin(), landed.frames.end(), '\n'), 37);

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
  // A pseudo-terminal whose name does not end in a switch: "/dev/pts/2" is "/dev/pts" and
  // "/2". The ones passed over stay open meanwhile, so that the next has another number.
  std::vector<int> masters;
  std::string pty = "/2";
  while (pty.ends_with("/2")) {
    masters.push_back(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_GE(masters.back(), 0);
    ASSERT_EQ(grantpt(masters.back()), 0);
    ASSERT_EQ(unlockpt(masters.back()), 0);
    pty = ptsname(masters.back());
  }
  const std::string linkToDevice = dir.path() + "/zero-link";
  std::filesystem::create_symlink("/dev/zero", linkToDevice);

  for (const std::string& name :
       {std::string("/dev/zero"), std::string("/dev/null"), pty, fifo, dir.path(), linkToDevice}) {
    // A program stuck on one of them is killed after 10 s and has no status.
    const ProgramResult r = RunProgram(TALLY_BINARY, {name}, {}, 10);
    EXPECT_EQ(r.exitStatus, 1) << name;
    EXPECT_EQ(r.err, "OKA PF: ошибка: Не могу открыть файл: " + name + "\n");
  }
  for (const int master : masters) close(master);

  // A symbolic link to a goods file is that file.
  const std::string link = dir.path() + "/goods-link.txt";
  std::filesystem::create_symlink(kExample, link);
  const Landed landed = Upload(link);
  EXPECT_EQ(landed.exitStatus, 0) << landed.err;
  EXPECT_EQ(std::count(landed.frames.begin(), landed.frames.end(), '\n'), 37);
}

}  // namespace
