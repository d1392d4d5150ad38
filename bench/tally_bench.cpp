// tally-bench: how fast the goods file is read and turned into item commands, how much
// memory a huge line or a huge field costs, and how long the upload takes per line against
// the register simulator. Prints figures; it judges nothing.
//
//   tally-bench [--lines N] [--skip-upload] [--tally PATH] [--register-sim PATH]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "goods/goods_file.h"
#include "goods/goods_table.h"
#include "register/upload_exchange.h"
#include "tests/program_runner.h"
#include "tests/simulator_process.h"
#include "text/cp1251.h"
#include "text/text_encoding.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kMinimumPollSeconds = 0.013;  // 1 ms idle step plus the 12 ms sleep
// After the last answer the line is watched for one answer wait, which is also the final
// pause that keeps the full bar on screen.
constexpr double kEndWaitSeconds = kAnswerPolls * kMinimumPollSeconds;
constexpr size_t kHugeLineBytes = 100u * 1024 * 1024;
constexpr size_t kHugeFieldBytes = 200u * 1024 * 1024;
constexpr int kRepeats = 5;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Peak resident set size of this process so far, in MiB.
double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

double MiB(size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// A shop's goods line: Cyrillic name, EAN-13 bar code, kopeck price.
std::string GoodsLine(int n) {
  static const char* const kNames[] = {"Молоко 3,2% 1л", "Хлеб Бородинский нарезка",
                                       "Сыр Российский весовой", "Чай чёрный №1 25 пак.",
                                       "Coca-Cola 0,5л"};
  const std::string code = std::to_string(n);
  std::string barcode = "4600000" + std::to_string(100000 + n);
  return code + "\t" + Utf8ToCp1251(kNames[n % 5]) + " " + code + "\t" + barcode + "\t" +
         std::to_string(n % 997) + "." + std::to_string(10 + n % 90) + "\t" +
         std::to_string(n % 256) + "\t" + std::to_string(n % 2) + "\t\r\n";
}

std::string GoodsFile(int lines) {
  std::string text = "<start>\r\n";
  for (int n = 1; n <= lines; ++n) text += GoodsLine(n);
  return text + "<end>\r\n";
}

struct Conversion {
  bool ok = false;
  int32_t lines = 0;
  size_t commandBytes = 0;  // keeps the work from being optimised away
};

// ReadGoodsFile, then the item command of every line, as the upload builds them.
Conversion ReadAndConvert(const std::string& path) {
  Conversion result;
  GoodsTable table;
  table.create();
  std::string failure;
  const MessageSink show = [&](const std::string& text, uint32_t) { failure = text; };
  result.ok = ReadGoodsFile(path, path, false, table, show);
  if (!result.ok) {
    std::printf("  refused (%zu-byte message): %s\n", failure.size(),
                Cp1251ToUtf8(failure).c_str());
    return result;
  }
  result.lines = table.GoodsCount;
  for (int32_t i = 1; i <= table.GoodsCount; ++i) {
    const uint8_t marker = i >= table.GoodsCount ? 1 : 0;
    result.commandBytes += UploadExchange::buildItemCommand(table, i, marker).size();
  }
  return result;
}

void BenchmarkFile(const std::string& label, const std::string& path, size_t bytes) {
  std::vector<double> times;
  Conversion last;
  for (int r = 0; r < kRepeats; ++r) {
    const auto start = Clock::now();
    last = ReadAndConvert(path);
    times.push_back(SecondsSince(start));
    if (!last.ok) return;
  }
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  std::printf("%s\n", label.c_str());
  std::printf("  file size:            %.2f MiB, %d goods line(s)\n", MiB(bytes), last.lines);
  std::printf("  read + convert:       %.4f s median of %d (best %.4f s)\n", median, kRepeats,
              times.front());
  std::printf("  throughput:           %.1f MiB/s\n", MiB(bytes) / median);
  std::printf("  peak RSS so far:      %.1f MiB\n", PeakRssMiB());
}

// A goods file of one line whose field after `before` is `fieldBytes` bytes of the chunk's
// pattern, then `after`. Written piece by piece, so that writing it costs no memory either.
size_t WriteHugeFieldFile(const std::string& path, const std::string& before,
                          const std::string& chunk, size_t fieldBytes, const std::string& after) {
  std::ofstream out(path, std::ios::binary);
  const std::string head = "<start>\r\n" + before;
  const std::string tail = after + "\r\n<end>\r\n";
  out << head;
  for (size_t written = 0; written < fieldBytes; written += chunk.size()) {
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  }
  out << tail;
  return head.size() + fieldBytes + tail.size();
}

// In UTF-8 the Cyrillic letters take two bytes each, so the reader first checks the whole
// file for valid UTF-8 and then converts it as it reads.
size_t WriteHugeLineFile(const std::string& path, bool utf8) {
  std::string chunk(1024 * 1024, 'x');
  for (size_t i = 0; i < chunk.size(); i += 64) {
    chunk[i] = '\xEC';  // a Cyrillic letter now and then
  }
  const size_t chunks = kHugeLineBytes / chunk.size();
  if (utf8) chunk = Cp1251ToUtf8(chunk);
  return WriteHugeFieldFile(path, "1\t", chunk, chunks * chunk.size(),
                            "\t4600000000001\t12.50\t1\t0\t");
}

// One reading in a child process of its own, so that the peak memory is that reading's (and
// what the bench itself held when the child was made).
void BenchmarkHugeField(const std::string& label, const std::string& path, size_t bytes) {
  std::printf("%s\n", label.c_str());
  std::printf("  file size:            %.2f MiB\n", MiB(bytes));
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    const auto start = Clock::now();
    const Conversion result = ReadAndConvert(path);
    const double seconds = SecondsSince(start);
    if (result.ok) std::printf("  goods lines:          %d\n", result.lines);
    std::printf("  read + convert:       %.3f s, one run (%.1f MiB/s)\n", seconds,
                MiB(bytes) / seconds);
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) {
    std::printf("  could not run the reading in a child process\n");
    return;
  }
  std::printf("  peak RSS (child):     %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
}

void BenchmarkHugeFields(const TempDir& dir) {
  const std::string path = dir.path() + "/field.txt";
  const std::string zeros(1024 * 1024, '0');
  const std::string blanks(1024 * 1024, ' ');
  size_t bytes = WriteHugeFieldFile(path, "", zeros, kHugeFieldBytes,
                                    "17\tName\t4600000000001\t12.50\t1\t0\t");
  BenchmarkHugeField("Goods file of one 200 MiB code field (leading zeros, code 17)", path, bytes);
  std::printf("\n");
  bytes = WriteHugeFieldFile(path, "17\tName\t4600000000001\t", zeros, kHugeFieldBytes,
                             "12.50\t1\t0\t");
  BenchmarkHugeField("Goods file of one 200 MiB price field (leading zeros, 12.50)", path, bytes);
  std::printf("\n");
  bytes =
      WriteHugeFieldFile(path, "17\tName\t4600000000001\t1", blanks, kHugeFieldBytes, "x\t1\t0\t");
  BenchmarkHugeField("Goods file of one 200 MiB bad price field (refused at its last byte)", path,
                     bytes);
  std::printf("\n");
  std::remove(path.c_str());
}

// Seconds for one upload of `lines` lines through the real program, or a negative value.
double TimeUpload(const std::string& tally, const std::string& sim, const TempDir& dir, int lines) {
  SimulatorProcess simulator(sim, {});
  if (simulator.slave().empty()) {
    std::printf("  register-sim did not start (%s)\n", sim.c_str());
    return -1;
  }
  const std::string goods = dir.write("upload.txt", GoodsFile(lines));
  const ProgramResult r = RunProgram(tally, {goods}, {{"TALLY_COM1", simulator.slave()}}, 600);
  if (r.exitStatus != 0) {
    std::printf("  tally failed (status %d): %s\n", r.exitStatus, r.err.c_str());
    return -1;
  }
  return r.seconds;
}

void BenchmarkUpload(const std::string& tally, const std::string& sim, int lines) {
  TempDir dir;
  const int fewer = std::max(1, lines / 4);
  std::printf("Upload through %s against an immediately answering register-sim\n", tally.c_str());
  const double small = TimeUpload(tally, sim, dir, fewer);
  const double large = TimeUpload(tally, sim, dir, lines);
  if (small < 0 || large < 0) return;
  const double perLine = (large - kEndWaitSeconds) / lines;
  const double slope = (large - small) / (lines - fewer);
  std::printf("  %4d lines:           %.3f s wall (%.2f s of it the wait after the last answer)\n",
              fewer, small, kEndWaitSeconds);
  std::printf("  %4d lines:           %.3f s wall\n", lines, large);
  std::printf("  per line:             %.2f ms ((wall - %.2f s) / %d)\n", perLine * 1000,
              kEndWaitSeconds, lines);
  std::printf("  per line, marginal:   %.2f ms (difference of the two runs)\n", slope * 1000);
  std::printf("  ratio to 13 ms poll:  %.2f\n", perLine / kMinimumPollSeconds);
}

void PrintMachine() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string model = "unknown";
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) == 0) {
      model = line.substr(line.find(':') + 2);
      break;
    }
  }
  std::printf("Machine: %s, %ld processor(s) online\n\n", model.c_str(),
              sysconf(_SC_NPROCESSORS_ONLN));
}

}  // namespace

int main(int argc, char** argv) {
  int lines = 200;
  bool upload = true;
  std::string tally = TALLY_BINARY;
  std::string sim = REGISTER_SIM_BINARY;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--lines" && i + 1 < argc) {
      lines = std::max(2, std::atoi(argv[++i]));
    } else if (arg == "--skip-upload") {
      upload = false;
    } else if (arg == "--tally" && i + 1 < argc) {
      tally = argv[++i];
    } else if (arg == "--register-sim" && i + 1 < argc) {
      sim = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: tally-bench [--lines N] [--skip-upload] [--tally PATH] "
                   "[--register-sim PATH]\n");
      return 2;
    }
  }
  PrintMachine();
  std::printf("Peak RSS at start:      %.1f MiB\n\n", PeakRssMiB());

  TempDir dir;
  const std::string shop = GoodsFile(kGoodsCapacity);
  BenchmarkFile("Goods file of 3000 lines", dir.write("shop.txt", shop), shop.size());
  std::printf("\n");

  const std::string hugePath = dir.path() + "/huge.txt";
  const size_t hugeBytes = WriteHugeLineFile(hugePath, false);
  BenchmarkFile("Goods file of one 100 MiB line", hugePath, hugeBytes);
  std::printf("\n");
  const size_t hugeUtf8Bytes = WriteHugeLineFile(hugePath, true);
  BenchmarkFile("Goods file of one 100 MiB line in UTF-8", hugePath, hugeUtf8Bytes);
  std::printf("\n");
  std::remove(hugePath.c_str());

  BenchmarkHugeFields(dir);

  if (upload) BenchmarkUpload(tally, sim, lines);
  return 0;
}
