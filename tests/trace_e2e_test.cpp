// The wire trace (TALLY_TRACE) of the Linux program against the register simulator: what it
// records, checked against the simulator's own log, and that it never changes the run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/program_runner.h"
#include "tests/simulator_process.h"

namespace {

#define REQUIRE_SIMULATOR(sim) ASSERT_FALSE((sim).slave().empty()) << "register-sim did not start"

// Three goods lines of a small shop (Windows-1251 names are not needed here).
const std::string kGoods =
    "<start>\r\n"
    "101\tbread\t4607001001010\t42.90\t1\t0\t\r\n"
    "102\tmilk\t4607001001027\t35.50\t1\t0\t\r\n"
    "103\tsalt\t\t12.00\t2\t1\t\r\n"
    "<end>\r\n";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The hex after the time and the given label on the trace's lines, in order.
std::vector<std::string> TraceHexAfter(const std::vector<std::string>& trace,
                                       const std::regex& label) {
  std::vector<std::string> found;
  std::smatch m;
  for (const std::string& line : trace) {
    if (std::regex_match(line, m, label)) found.push_back(m[1]);
  }
  return found;
}

const std::regex kSentLine(R"( +\d+ ms  sent      ([0-9a-f]{2}(?: [0-9a-f]{2})*))");
const std::regex kReceivedLine(R"( +\d+ ms  poll +\d+  ([0-9a-f]{2}(?: [0-9a-f]{2})*))");

// What the simulator's log says it got ("frame") or wrote ("answer"), hex in lower case; for
// other kinds ("junk", "garbled") the whole lines.
std::vector<std::string> SimulatorHex(const std::string& log, const std::string& kind) {
  std::vector<std::string> found;
  for (const std::string& line : Lines(log)) {
    std::istringstream words(line);
    std::string word, number, speed;
    words >> word;
    if (word != kind) continue;
    if (kind != "frame" && kind != "answer") {
      found.push_back(line);
      continue;
    }
    words >> number;
    if (kind == "frame") words >> speed;
    std::string rest;
    std::getline(words, rest);
    found.push_back(Lower(rest.substr(1)));
  }
  return found;
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string all;
  for (const std::string& p : parts) all += (all.empty() ? "" : " ") + p;
  return all;
}

ProgramResult RunTraced(const std::vector<std::string>& args, const std::string& device,
                        const std::string& tracePath) {
  std::map<std::string, std::string> environment = {{"TALLY_COM1", device}};
  if (!tracePath.empty()) environment["TALLY_TRACE"] = tracePath;
  return RunProgram(TALLY_BINARY, args, environment, 30);
}

}  // namespace

TEST(WireTraceProgram, FailedUploadShowsTheFramesAndAnswersThatLedToTheMessage) {
  TempDir dir;
  const std::string goods = dir.write("goods.txt", kGoods);
  const std::string trace = dir.path() + "/trace.txt";
  SimulatorProcess sim(REGISTER_SIM_BINARY, {"--error", "2:5"}, {.ownLog = true});
  REQUIRE_SIMULATOR(sim);
  const ProgramResult r = RunTraced({goods}, sim.slave(), trace);
  EXPECT_EQ(r.err,
            "OKA PF: внимание: Возвращен код ошибки  5 (товар 2 из 3, код 102, строка 3 файла)\n");
  EXPECT_EQ(r.exitStatus, 1);
  sim.stop();

  const std::vector<std::string> lines = Lines(ReadFileBytes(trace));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_TRUE(std::regex_match(
      lines[0], std::regex(R"(=== \d{4}-\d\d-\d\d \d\d:\d\d:\d\d  tally \d+\.\d+\.\d+)")))
      << lines[0];
  EXPECT_EQ(lines[1], "command line: " + std::string(TALLY_BINARY) + " " + goods);
  EXPECT_TRUE(std::regex_match(
      lines[2], std::regex(" +\\d+ ms  open COM1 \\(" + sim.slave() + "\\): opened")))
      << lines[2];
  EXPECT_TRUE(std::regex_match(
      lines[3],
      std::regex(R"( +\d+ ms  line settings: 19200 bit/s, 8 data bits, no parity, 1 stop bit)")))
      << lines[3];

  // Each frame is marked with its item, its code and its line in the goods file.
  EXPECT_EQ(TraceHexAfter(lines, std::regex(R"( +\d+ ms  (item .*))")),
            (std::vector<std::string>{"item 1 of 3, code 101, line 2 of the goods file",
                                      "item 2 of 3, code 102, line 3 of the goods file"}));

  // The frames as the register got them, the answers as it wrote them.
  const std::vector<std::string> frames = SimulatorHex(sim.log(), "frame");
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(TraceHexAfter(lines, kSentLine), frames);
  EXPECT_EQ(Joined(TraceHexAfter(lines, kReceivedLine)), Joined(SimulatorHex(sim.log(), "answer")));
  EXPECT_EQ(Joined(TraceHexAfter(lines, kReceivedLine)),
            "18 00 00 00 19 00 18 18 00 00 05 19 00 1d");

  // The outcome closes the record, followed by an empty line.
  ASSERT_GE(lines.size(), 3u);
  const size_t n = lines.size();
  EXPECT_TRUE(std::regex_match(
      lines[n - 4],
      std::regex(
          R"( +\d+ ms  message \(warning\): Возвращен код ошибки  5 \(товар 2 из 3, код 102, строка 3 файла\))")))
      << lines[n - 4];
  EXPECT_TRUE(std::regex_match(lines[n - 3], std::regex(R"( +\d+ ms  port closed)")))
      << lines[n - 3];
  EXPECT_TRUE(std::regex_match(lines[n - 2], std::regex(R"( +\d+ ms  exit status 1)")))
      << lines[n - 2];
  EXPECT_EQ(lines[n - 1], "");
}

TEST(WireTraceProgram, SilentRegisterShowsTheFrameAndTheEmptyPolls) {
  TempDir dir;
  const std::string trace = dir.path() + "/trace.txt";
  SimulatorProcess sim(REGISTER_SIM_BINARY, {"--silent", "1"});
  REQUIRE_SIMULATOR(sim);
  const ProgramResult r = RunTraced({"/e"}, sim.slave(), trace);
  EXPECT_EQ(r.exitStatus, 1);

  const std::vector<std::string> lines = Lines(ReadFileBytes(trace));
  ASSERT_EQ(lines.size(), 9u) << ReadFileBytes(trace);
  EXPECT_EQ(TraceHexAfter(lines, kSentLine),
            std::vector<std::string>{"17 0b 63 00 00 00 00 00 19 00 85"});
  EXPECT_TRUE(std::regex_match(lines[5], std::regex(R"( +\d+ ms  poll 100: nothing received)")))
      << lines[5];
  EXPECT_TRUE(
      std::regex_match(lines[6], std::regex(R"( +\d+ ms  message \(error\): Нет ответа от кассы)")))
      << lines[6];
  EXPECT_TRUE(std::regex_match(lines[7], std::regex(R"( +\d+ ms  exit status 1)"))) << lines[7];
}

TEST(WireTraceProgram, EachRunAppendsItsRecord) {
  TempDir dir;
  const std::string earlier = "what was in the file before\n";
  const std::string trace = dir.write("trace.txt", earlier);
  SimulatorProcess sim(REGISTER_SIM_BINARY, {});
  REQUIRE_SIMULATOR(sim);
  EXPECT_EQ(RunTraced({"/e"}, sim.slave(), trace).exitStatus, 0);
  EXPECT_EQ(RunTraced({}, sim.slave(), trace).exitStatus, 2);  // the usage text

  const std::string text = ReadFileBytes(trace);
  EXPECT_EQ(text.substr(0, earlier.size()), earlier);
  const std::vector<std::string> lines = Lines(text.substr(earlier.size()));
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("=== ", 0) == 0; }),
            2);
  ASSERT_GE(lines.size(), 4u);
  // The usage run's record: no port, the text on one line, status 2.
  const size_t n = lines.size();
  EXPECT_EQ(lines[n - 4], "command line: " + std::string(TALLY_BINARY));
  EXPECT_TRUE(std::regex_match(
      lines[n - 3],
      std::regex(
          R"( +\d+ ms  message \(information\): Пересылка базы товаров на кассу ОКА ПФ \|  \| .*)")))
      << lines[n - 3];
  EXPECT_TRUE(std::regex_match(lines[n - 2], std::regex(R"( +\d+ ms  exit status 2)")))
      << lines[n - 2];
}

TEST(WireTraceProgram, ATraceThatCannotBeWrittenChangesNothing) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir.path() + "/fifo").c_str(), 0600), 0);
  const std::string folder = dir.path() + "/folder";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  struct {
    const char* what;
    std::string path;
  } cases[] = {
      {"a folder that does not exist", dir.path() + "/missing/trace.txt"},
      {"a folder", folder},
      {"a pipe without a reader", dir.path() + "/fifo"},
      {"a device", "/dev/null"},
      {"the register's own line", ""},  // filled in below, once the simulator runs
  };
  SimulatorProcess sim(REGISTER_SIM_BINARY, {}, {.ownLog = true});
  REQUIRE_SIMULATOR(sim);
  cases[std::size(cases) - 1].path = sim.slave();
  const ProgramResult untraced = RunTraced({"/e"}, sim.slave(), "");
  EXPECT_EQ(untraced.exitStatus, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ProgramResult r = RunTraced({"/e"}, sim.slave(), c.path);
    EXPECT_EQ(r.exitStatus, untraced.exitStatus);
    EXPECT_EQ(r.err, untraced.err);
    EXPECT_EQ(r.out, "");
  }
  struct stat status {};
  EXPECT_NE(stat((dir.path() + "/missing").c_str(), &status), 0);
  sim.stop();
  // Every run's clear frame reached the register.
  EXPECT_EQ(SimulatorHex(sim.log(), "frame").size(), 1 + std::size(cases));
  // And nothing else: no trace text went down the line.
  EXPECT_EQ(SimulatorHex(sim.log(), "junk"), std::vector<std::string>{});
  EXPECT_EQ(SimulatorHex(sim.log(), "garbled"), std::vector<std::string>{});
}

TEST(WireTraceProgram, NeverWritesIntoTheGoodsFile) {
  TempDir dir;
  // An open block to the end of the file, in whole units: a record appended to it would be
  // read as more goods lines.
  const std::string goodsBytes = "<start>\r\n101\tbread\t\t42\t1\t0\t\r\n102\tmilk\t\t35\t1\t0\t";
  const std::string goods = dir.write("goods.txt", goodsBytes);
  const std::string symbolic = dir.path() + "/symbolic.txt";
  const std::string hard = dir.path() + "/hard.txt";
  ASSERT_EQ(symlink(goods.c_str(), symbolic.c_str()), 0);
  ASSERT_EQ(link(goods.c_str(), hard.c_str()), 0);
  const struct {
    const char* what;
    std::string trace;
  } cases[] = {
      {"the goods file itself", goods},
      {"another name for the same path", dir.path() + "/./goods.txt"},
      {"a symbolic link to it", symbolic},
      {"a hard link to it", hard},
  };
  SimulatorProcess sim(REGISTER_SIM_BINARY, {}, {.ownLog = true});
  REQUIRE_SIMULATOR(sim);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ProgramResult r = RunTraced({"/r", goods}, sim.slave(), c.trace);
    // The run goes on as without a trace, and the file is as it was.
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFileBytes(goods), goodsBytes);
  }
  sim.stop();
  // Both items, and nothing more, in every run.
  EXPECT_EQ(SimulatorHex(sim.log(), "frame").size(), 2 * std::size(cases));
}

// A goods file that does not exist, named by the trace too (itself or through a link): the
// run ends as without a trace, and no file is left under that name.
TEST(WireTraceProgram, NeverCreatesTheGoodsFile) {
  TempDir dir;
  const std::string goods = dir.path() + "/goods.txt";
  const std::string link = dir.path() + "/link.txt";
  ASSERT_EQ(symlink(goods.c_str(), link.c_str()), 0);
  const ProgramResult untraced = RunTraced({goods}, "/nonexistent/tally-port", "");
  EXPECT_EQ(untraced.exitStatus, 1);
  EXPECT_EQ(untraced.err, "OKA PF: ошибка: Не могу открыть файл: " + goods + "\n");
  for (const std::string& trace : {goods, link}) {
    SCOPED_TRACE(trace);
    const ProgramResult r = RunTraced({goods}, "/nonexistent/tally-port", trace);
    EXPECT_EQ(r.exitStatus, untraced.exitStatus);
    EXPECT_EQ(r.err, untraced.err);
    struct stat status {};
    EXPECT_NE(stat(goods.c_str(), &status), 0) << "a goods file was left behind";
  }
}

// A trace that meets a file-size limit is dropped; the upload goes on to its real end.
TEST(WireTraceProgram, ATraceOverAFileSizeLimitDoesNotStopTheUpload) {
  TempDir dir;
  std::string text = "<start>\r\n";
  for (int n = 1; n <= 40; ++n)
    text += std::to_string(n) + "\tItem\t\t" + std::to_string(n) + ".00\t1\t0\t\r\n";
  const std::string goods = dir.write("goods.txt", text);
  SimulatorProcess sim(REGISTER_SIM_BINARY, {}, {.ownLog = true});
  REQUIRE_SIMULATOR(sim);
  const std::string trace = dir.path() + "/trace.txt";
  // ulimit -f counts 512-byte blocks: 1 KiB of trace, a few frames' worth.
  const ProgramResult r =
      RunProgram("/bin/sh", {"-c", "ulimit -f 2 && exec \"$0\" \"$@\"", TALLY_BINARY, goods},
                 {{"TALLY_COM1", sim.slave()}, {"TALLY_TRACE", trace}}, 60);
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_LE(ReadFileBytes(trace).size(), 1024u);
  sim.stop();
  EXPECT_EQ(SimulatorHex(sim.log(), "frame").size(), 40u);
}
