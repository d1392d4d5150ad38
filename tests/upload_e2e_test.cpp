// The Linux program uploading goods files to the register simulator over a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/byte_strings.h"
#include "tests/program_runner.h"
#include "tests/simulator_process.h"
#include "text/text_encoding.h"

namespace {

using Clock = std::chrono::steady_clock;

// One goods line as written in the file, and what the register must hold for it.
struct Item {
  std::string code;
  std::string name;  // UTF-8 here, Windows-1251 in the file
  std::string barcode;
  std::string price;
  std::string group;
  std::string flag;
  // Expected in the register: the name in its character set (before the blanks that fill
  // it to 24 bytes), the bar code's number, the price in kopecks, the flag byte.
  std::string registerName;
  int64_t barcodeNumber;
  int32_t kopecks;
  int flagByte;
};

// A shop's export as it comes: CR LF lines, a heading before the block, a trailer after it.
const std::vector<Item> kShop = {
    {"1", "Молоко 3,2% 1л", "4607001234567", "89.90", "1", "0", "moloko 3,2% 1l\t", 4607001234567,
     8990, 0},
    {"2", "Хлеб Бородинский", "4601234000017", "45,50", "1", "1", "hleb borodinskij\t",
     4601234000017, 4550, 1},
    {"17", "Coca-Cola 0,5л", "5449000000996", "1 234.50", "2", "0", "COCA-COLA 0,5l\t",
     5449000000996, 123450, 0},
    {"305", "Сыр \"Российский\" весовой кг", "", ".05", "3", "5", "syr \"rossijskij\" wesowoj", 0,
     5, 1},
    {"4464", "Чай №1 «Ёжик»", "00046000001", "0.00", "255", "", "~aj ?1 ?evik?\t", 46000001, 0, 0},
    {"65535", "Щётка зубная", "12345678", "120.00", "44", "1", "}etka zubnaq\t", 12345678, 12000,
     1},
    {"90", "Подсолнечное масло 1 л", "4600000000001", "149.99", "7", "0",
     "podsolne~noe maslo 1 l\t", 4600000000001, 14999, 0},
    {"91", "Сахар-песок, 1кг (ГОСТ)", "99999999999999", "21474836.47", "7", "1",
     "sahar-pesok, 1kg (gost)\t", 99999999999999, 2147483647, 1},
    {"92", "Дюбель 6\\8 мм", "", "3.50", "7", "0", "d@belx 6\\8 mm\t", 0, 350, 0},
};

std::string GoodsFile(const std::vector<Item>& items) {
  std::string text = Utf8ToCp1251("Выгрузка товаров, магазин №3\r\n<START>\r\n");
  for (const Item& i : items) {
    text += i.code + "\t" + Utf8ToCp1251(i.name) + "\t" + i.barcode + "\t" + i.price + "\t" +
            i.group + "\t" + i.flag + "\t\r\n";
  }
  return text + "<end>\r\n" + Utf8ToCp1251("итого\t\t\t1.00\t\t\t\r\n");
}

// The simulator's TSV form of the 24 name bytes: TAB as \t, backslash doubled.
std::string BaseName(const std::string& text) {
  std::string name = text.substr(0, 24);
  name.resize(24, ' ');
  std::string out;
  for (const char c : name) {
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += c;
    }
  }
  return out;
}

std::string ExpectedBase(const std::vector<Item>& items) {
  std::string tsv = "code\tname\tbarcode\tprice\tgroup\tflag\tlast\n";
  for (size_t n = 0; n < items.size(); ++n) {
    const Item& i = items[n];
    tsv += i.code + "\t" + BaseName(i.registerName) + "\t" + std::to_string(i.barcodeNumber) +
           "\t" + std::to_string(i.kopecks) + "\t" + i.group + "\t" + std::to_string(i.flagByte) +
           "\t" + (n + 1 == items.size() ? "1" : "0") + "\n";
  }
  return tsv;
}

// Simple shop lines, numbered from 1, all valid.
std::vector<Item> NumberedItems(int count) {
  std::vector<Item> items;
  for (int n = 1; n <= count; ++n) {
    const std::string s = std::to_string(n);
    items.push_back({s, "Item " + s, "", s + ".00", "1", "0", "ITEM " + s + "\t", 0, n * 100, 0});
  }
  return items;
}

std::vector<std::string> Lines(const std::string& text, const std::string& prefix) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(prefix, 0) == 0) out.push_back(line);
  }
  return out;
}

// The frames the simulator saw: "frame <n> <baud> <hex>".
std::vector<std::string> FrameBauds(const std::string& log) {
  std::vector<std::string> bauds;
  for (const std::string& line : Lines(log, "frame ")) {
    std::istringstream fields(line);
    std::string word, n, baud;
    fields >> word >> n >> baud;
    bauds.push_back(baud);
  }
  return bauds;
}

// The frames the simulator saw, in hex: "frame <n> <baud> <hex>".
std::vector<std::string> FramesSeen(const std::string& log) {
  std::vector<std::string> frames;
  for (const std::string& line : Lines(log, "frame ")) {
    std::istringstream fields(line);
    std::string word, n, baud, hex;
    fields >> word >> n >> baud;
    std::getline(fields >> std::ws, hex);
    frames.push_back(hex);
  }
  return frames;
}

// The frame the register must receive for an item, put together here from the item's
// expected fields: 0x17, the length 45, "j", the last-line marker, the flag, the 24 name
// bytes, then price (4 bytes), group (1), code (2) and the bar code's number (6), each
// low-order byte first; 0x19 and the 16-bit sum of the bytes before it, high byte first.
std::string ExpectedFrame(const Item& item, bool last) {
  std::string name = item.registerName.substr(0, 24);
  name.resize(24, ' ');
  std::string frame = Bytes({0x17, 45, 'j', last ? 1 : 0, item.flagByte}) + name;
  const auto put = [&frame](uint64_t value, int count) {
    for (int i = 0; i < count; ++i) frame += static_cast<char>(value >> (8 * i) & 0xFF);
  };
  put(static_cast<uint32_t>(item.kopecks), 4);
  put(std::stoul(item.group), 1);
  put(std::stoul(item.code), 2);
  put(static_cast<uint64_t>(item.barcodeNumber), 6);
  unsigned sum = 0;
  for (const char c : frame) sum += static_cast<unsigned char>(c);
  return frame + Bytes({0x19, static_cast<int>(sum >> 8 & 0xFF), static_cast<int>(sum & 0xFF)});
}

struct Upload {
  TempDir dir;
  std::string db = dir.path() + "/base.tsv";
  std::string log = dir.path() + "/sim.log";
  ProgramResult result;
  std::string base;    // the simulator's goods base after the run
  std::string simLog;  // its event log
  std::string trace;   // with TALLY_TRACE to this file, when set before the run

  void run(const std::vector<Item>& items, const std::vector<std::string>& simOptions,
           std::vector<std::string> tallyArgs = {}) {
    std::vector<std::string> options{"--db", db, "--log", log};
    options.insert(options.end(), simOptions.begin(), simOptions.end());
    SimulatorProcess sim(REGISTER_SIM_BINARY, options);
    ASSERT_FALSE(sim.slave().empty()) << "register-sim did not start";
    tallyArgs.push_back(dir.write("goods.txt", GoodsFile(items)));
    std::map<std::string, std::string> environment = {{"TALLY_COM1", sim.slave()}};
    if (!trace.empty()) environment["TALLY_TRACE"] = trace;
    result = RunProgram(TALLY_BINARY, tallyArgs, environment, 60);
    sim.stop();
    base = ReadFileBytes(db);
    simLog = ReadFileBytes(log);
  }
};

TEST(UploadProgram, ShopFileLandsInTheGoodsBaseFieldForField) {
  Upload upload;
  upload.run(kShop, {});
  EXPECT_EQ(upload.result.exitStatus, 0);
  EXPECT_EQ(upload.result.out, "");
  EXPECT_EQ(upload.result.err, "") << "nothing on standard error when it is not a terminal";
  EXPECT_EQ(upload.base, ExpectedBase(kShop));
  EXPECT_EQ(FrameBauds(upload.simLog), std::vector<std::string>(kShop.size(), "19200"));

  // What went over the line, byte for byte. The first and the last frame are written out,
  // which also checks ExpectedFrame; it gives the rest.
  const std::vector<std::string> frames = FramesSeen(upload.simLog);
  ASSERT_EQ(frames.size(), kShop.size()) << upload.simLog;
  EXPECT_EQ(frames.front(),
            "17 2D 6A 00 00 6D 6F 6C 6F 6B 6F 20 33 2C 32 25 20 31 6C 09 20 20 20 20 20 20 20 "
            "20 20 1E 23 00 00 01 01 00 87 0C AC A6 30 04 19 08 57");
  EXPECT_EQ(frames.back(),
            "17 2D 6A 01 00 64 40 62 65 6C 78 20 36 5C 38 20 6D 6D 09 20 20 20 20 20 20 20 20 "
            "20 20 5E 01 00 00 07 5C 00 00 00 00 00 00 00 19 06 ED");
  for (size_t n = 0; n < kShop.size(); ++n) {
    EXPECT_EQ(frames[n], Hex(ExpectedFrame(kShop[n], n + 1 == kShop.size()))) << kShop[n].code;
  }
  EXPECT_EQ(Lines(upload.simLog, "garbled").size(), 0u);
  // Every line acknowledged, then the bar stays full while the line stays quiet for 100 polls.
  EXPECT_GE(upload.result.seconds, 1.3);
}

TEST(UploadProgram, SpeedSwitchDoesNotSlowTheUpload) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"/9600"}, {"/9600", "/R"}}) {
    std::vector<Item> items = NumberedItems(3);
    if (args.size() == 2) {  // whole-unit prices: "150" is 150 of them
      for (Item& i : items) i.price = i.code + "0";
    }
    Upload upload;
    upload.run(items, {}, args);
    EXPECT_EQ(upload.result.exitStatus, 0) << upload.result.err;
    EXPECT_EQ(FrameBauds(upload.simLog), std::vector<std::string>(3, "19200"));
    EXPECT_EQ(Lines(upload.base, "3\tITEM 3\\t").size(), 1u) << upload.base;
  }
}

TEST(UploadProgram, FailuresStopTheRunWithTheirMessage) {
  const struct {
    const char* what;
    std::vector<std::string> simOptions;
    size_t frames;
    const char* err;
  } cases[] = {
      // Each names the item it failed at: item n has code n on line n + 2 of the file.
      {"error code",
       {"--error", "3:3"},
       3,
       "OKA PF: внимание: Возвращен код ошибки  3 (товар 3 из 10, код 3, строка 5 файла)\n"},
      {"large error code",
       {"--error", "1:200"},
       1,
       "OKA PF: внимание: Возвращен код ошибки  200 (товар 1 из 10, код 1, строка 3 файла)\n"},
      {"silence",
       {"--silent", "2"},
       2,
       "OKA PF: ошибка: Нет ответа от кассы (товар 2 из 10, код 2, строка 4 файла)\n"},
      {"bad checksum",
       {"--bad-checksum", "4"},
       4,
       "OKA PF: внимание: Неверный ответ от кассы (товар 4 из 10, код 4, строка 6 файла)\n"},
      // The stray byte comes once the program has taken the answer and sent the next frame.
      {"stray byte after an answer",
       {"--stray", "1:next"},
       2,
       "OKA PF: ошибка: Нет ответа от кассы: пришло 8 байт (товар 2 из 10, код 2, строка 4 "
       "файла)\n"},
      {"answer and a byte more in one write",
       {"--extra-byte", "3"},
       3,
       "OKA PF: ошибка: Нет ответа от кассы: пришло 8 байт (товар 3 из 10, код 3, строка 5 "
       "файла)\n"},
  };
  for (const auto& c : cases) {
    Upload upload;
    upload.run(NumberedItems(10), c.simOptions);
    EXPECT_EQ(upload.result.exitStatus, 1) << c.what;
    EXPECT_EQ(upload.result.out, "") << c.what;
    EXPECT_EQ(upload.result.err, c.err) << c.what;
    EXPECT_EQ(FrameBauds(upload.simLog).size(), c.frames) << c.what << "\n" << upload.simLog;
  }
}

TEST(UploadProgram, SilenceCostsAHundredPolls) {
  Upload upload;
  upload.trace = upload.dir.path() + "/trace.txt";
  upload.run(NumberedItems(1), {"--silent", "1"});
  EXPECT_EQ(upload.result.exitStatus, 1);
  // 100 polls of at least 13 ms each, as the trace counts them; no final pause after a
  // failure.
  EXPECT_GE(upload.result.seconds, 1.3);
  const std::string trace = ReadFileBytes(upload.trace);
  EXPECT_NE(trace.find(" ms  poll 100: nothing received\n"), std::string::npos) << trace;
}

// The stamp (ms) of the first trace line whose text after it matches pattern, or -1.
int64_t TraceStamp(const std::string& trace, const std::string& pattern) {
  std::smatch m;
  for (const std::string& text : Lines(trace, "")) {
    if (std::regex_match(text, m, std::regex(R"( *(\d+) ms  )" + pattern))) return std::stoll(m[1]);
  }
  return -1;
}

TEST(UploadProgram, TheLineIsWatchedFromTheLastAnswerUntilThePortCloses) {
  // The final pause is the quiet wait after the last answer (100 polls of at least 13 ms),
  // not a second on top of it, and the trace stamps the wait's end as it ends. Best of three
  // runs, for a busy machine.
  double best = 60;
  int64_t bestWait = 60000;
  for (int run = 0; run < 3; ++run) {
    Upload upload;
    upload.trace = upload.dir.path() + "/trace.txt";
    upload.run(NumberedItems(1), {});
    EXPECT_EQ(upload.result.exitStatus, 0) << upload.result.err;
    const std::string trace = ReadFileBytes(upload.trace);
    const int64_t wait = TraceStamp(trace, "poll 100: the line stayed quiet") -
                         TraceStamp(trace, "after the last answer: .*");
    EXPECT_GE(wait, 1300) << trace;
    best = std::min(best, upload.result.seconds);
    bestWait = std::min(bestWait, wait);
  }
  EXPECT_LT(best, 1.9);
  EXPECT_LT(bestWait, 1800);

  // A byte 1.2 s after the last answer, past the pause's second, while the bar stands full.
  Upload upload;
  upload.run(NumberedItems(1), {"--stray", "1:1200"});
  EXPECT_EQ(upload.result.exitStatus, 1);
  EXPECT_EQ(upload.result.err,
            "OKA PF: внимание: Лишний ответ от кассы (товар 1 из 1, код 1, строка 3 файла)\n");
}

TEST(UploadProgram, PortThatDoesNotOpen) {
  TempDir dir;
  const std::string goods = dir.write("goods.txt", GoodsFile(NumberedItems(2)));
  const std::string missing = dir.path() + "/no-such-port";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{goods}, "OKA PF: ошибка: Не открыт порт COM1 (" + missing + ": нет такого устройства)\n"},
      {{"/2", goods},
       "OKA PF: ошибка: Не открыт порт COM2 (" + missing + ": нет такого устройства)\n"},
  };
  for (const auto& c : cases) {
    const ProgramResult r =
        RunProgram(TALLY_BINARY, c.args, {{"TALLY_COM1", missing}, {"TALLY_COM2", missing}});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
  }
}

// ---- On a terminal ----------------------------------------------------------------------

// Runs tally with standard error on a fresh pseudo-terminal 80 columns wide; returns what the
// terminal received (with the line discipline's CR before each line feed) and the status.
ProgramResult RunOnTerminal(const std::vector<std::string>& arguments,
                            const std::map<std::string, std::string>& environment) {
  ProgramResult result;
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return result;
  const std::string slavePath = ptsname(master);
  winsize size{};
  size.ws_col = 80;
  size.ws_row = 24;
  ioctl(master, TIOCSWINSZ, &size);

  ChildProcess child(TALLY_BINARY, arguments,
                     {.environment = environment, .err = Sink::kFile, .errFile = slavePath});

  const auto deadline = Clock::now() + std::chrono::seconds(30);
  bool exited = !child.running();
  bool hungUp = false;  // every slave descriptor closed: reading the master fails from now on
  while (MsLeft(deadline) > 0) {
    pollfd p{master, POLLIN, 0};
    if (!hungUp && poll(&p, 1, 20) > 0) {
      char buffer[4096];
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n > 0) {
        result.err.append(buffer, static_cast<size_t>(n));
        continue;  // drain everything before looking at the child again
      }
      hungUp = n == 0 || (errno != EINTR && errno != EAGAIN);
    }
    if (exited) break;
    exited = child.wait(0) >= 0;
    if (hungUp && !exited) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (exited) result.exitStatus = child.wait(0);
  child.stop(0);
  close(master);
  return result;
}

TEST(UploadProgram, ProgressBarOnATerminal) {
  TempDir dir;
  SimulatorProcess sim(REGISTER_SIM_BINARY, {});
  ASSERT_FALSE(sim.slave().empty());
  const std::string goods = dir.write("goods.txt", GoodsFile(NumberedItems(3)));
  const ProgramResult r = RunOnTerminal({goods}, {{"TALLY_COM1", sim.slave()}});
  EXPECT_EQ(r.exitStatus, 0);
  const std::string bar = std::string(40, '#');
  // Drawn in place, step by step, and left on screen full with its line ended.
  EXPECT_NE(r.err.find("\rOKA PF [" + std::string(40, '-') + "] 0/3\033[K"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("\rOKA PF [" + std::string(13, '#') + std::string(27, '-') + "] 1/3\033[K"),
            std::string::npos)
      << r.err;
  const std::string last = "\rOKA PF [" + bar + "] 3/3\033[K\r\n";
  ASSERT_GE(r.err.size(), last.size());
  EXPECT_EQ(r.err.substr(r.err.size() - last.size()), last);
}

TEST(UploadProgram, MessagesStartAtColumnZeroOnATerminal) {
  TempDir dir;
  const std::string goods = dir.write("goods.txt", GoodsFile(NumberedItems(3)));
  const std::string missing = dir.path() + "/no-such-port";
  {
    // The port's message comes while the progress bar stands: it is wiped first.
    const ProgramResult r = RunOnTerminal({goods}, {{"TALLY_COM1", missing}});
    EXPECT_EQ(r.exitStatus, 1);
    const std::string tail =
        "\r\033[KOKA PF: ошибка: Не открыт порт COM1 (" + missing + ": нет такого устройства)\r\n";
    ASSERT_GE(r.err.size(), tail.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail) << r.err;
  }
  {
    // An error code ends the window first: the line stays with the count the register took,
    // then the message follows on a line of its own.
    SimulatorProcess sim(REGISTER_SIM_BINARY, {"--error", "2:7"});
    ASSERT_FALSE(sim.slave().empty());
    const ProgramResult r = RunOnTerminal({goods}, {{"TALLY_COM1", sim.slave()}});
    EXPECT_EQ(r.exitStatus, 1);
    const std::string tail =
        "] 1/3\033[K\r\nOKA PF: внимание: Возвращен код ошибки  7 (товар 2 из 3, код 2, строка 4 "
        "файла)\r\n";
    ASSERT_GE(r.err.size(), tail.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail) << r.err;
  }
}

}  // namespace
