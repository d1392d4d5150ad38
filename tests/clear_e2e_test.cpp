// The clear run of the Linux program against the register simulator over a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/program_runner.h"

extern char** environ;

namespace {

const std::string kClearFrameHex = "17 0B 63 00 00 00 00 00 19 00 85";
const std::string kNoPort = "/nonexistent/tally-port";

// register-sim serving a pseudo-terminal for the length of one test.
class Simulator {
 public:
  explicit Simulator(const std::vector<std::string>& options) {
#ifdef REGISTER_SIM_BINARY
    logPath_ = dir_.path() + "/sim.log";
    std::vector<std::string> args{REGISTER_SIM_BINARY, "--pty", "--log", logPath_};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
      pid_ = -1;
      ::close(out[0]);
      return;
    }
    // The first line on its standard output names the slave device; wait for it 10 s at most.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd in{out[0], POLLIN, 0};
      if (poll(&in, 1, 100) <= 0) continue;
      char c[256];
      const ssize_t n = ::read(out[0], c, sizeof c);
      if (n <= 0) break;
      line.append(c, static_cast<size_t>(n));
    }
    stdout_ = out[0];  // kept open so that its later output never meets a closed pipe
    if (line.find('\n') != std::string::npos) device_ = line.substr(0, line.find('\n'));
#else
    (void)options;
#endif
  }

  ~Simulator() {
    stop();
    if (stdout_ >= 0) ::close(stdout_);
  }

  bool running() const { return pid_ > 0 && !device_.empty(); }
  const std::string& device() const { return device_; }

  // Ends the simulator (SIGTERM, SIGKILL after 5 s) and returns its log's lines.
  std::vector<std::string> stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
          kill(pid_, SIGKILL);
          waitpid(pid_, &status, 0);
          break;
        }
        usleep(10000);
      }
      pid_ = -1;
    }
    std::vector<std::string> lines;
    std::istringstream log(ReadFileBytes(logPath_));
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
  }

 private:
  TempDir dir_;
  std::string logPath_;
  pid_t pid_ = -1;
  int stdout_ = -1;
  std::string device_;
};

#ifdef REGISTER_SIM_BINARY
#define REQUIRE_SIMULATOR(sim) ASSERT_TRUE((sim).running()) << "register-sim did not start"
#else
#define REQUIRE_SIMULATOR(sim) GTEST_SKIP() << "register-sim is not part of this build"
#endif

ProgramResult RunTallyOn(const std::vector<std::string>& args, const std::string& com1,
                         const std::string& com2 = kNoPort) {
  return RunProgram(TALLY_BINARY, args, {{"TALLY_COM1", com1}, {"TALLY_COM2", com2}}, 30);
}

// The log lines that tell what reached the simulator, the answers left out.
std::vector<std::string> Received(const std::vector<std::string>& log) {
  std::vector<std::string> received;
  for (const std::string& line : log) {
    if (line.rfind("answer ", 0) != 0) received.push_back(line);
  }
  return received;
}

// Whether process pid has the file at path open.
bool HasOpen(pid_t pid, const std::string& path) {
  std::error_code error;
  const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
  for (const auto& fd : std::filesystem::directory_iterator(fds, error)) {
    if (std::filesystem::read_symlink(fd.path(), error) == path) return true;
  }
  return false;
}

std::string Warning(const std::string& text) { return "OKA PF: внимание: " + text + "\n"; }
std::string Error(const std::string& text) { return "OKA PF: ошибка: " + text + "\n"; }

}  // namespace

TEST(ClearRun, OutcomeOfEachAnswer) {
  const struct {
    const char* what;
    std::vector<std::string> simOptions;
    std::string err;
    int exitStatus;
  } cases[] = {
      {"success", {}, Warning("База товаров очищена"), 0},
      {"error code 5", {"--error", "1:5"}, Warning("Возвращен код ошибки  5"), 1},
      {"error code 255", {"--error", "1:255"}, Warning("Возвращен код ошибки  255"), 1},
      {"wrong checksum", {"--bad-checksum", "1"}, Warning("Неверный ответ от кассы"), 1},
      {"0x17 at the start", {"--bad-start", "1"}, Warning("Неверный ответ от кассы"), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Simulator sim(c.simOptions);
    REQUIRE_SIMULATOR(sim);
    const ProgramResult r = RunTallyOn({"/e"}, sim.device());
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitStatus, c.exitStatus);
    // One frame, exactly the clear command, at the default speed.
    EXPECT_EQ(Received(sim.stop()), std::vector<std::string>{"frame 1 19200 " + kClearFrameHex});
  }
}

TEST(ClearRun, NoAnswerAfterAboutAHundredPolls) {
  const struct {
    const char* what;
    std::vector<std::string> simOptions;
  } cases[] = {
      {"silence", {"--silent", "1"}},
      {"six bytes", {"--short", "1"}},
      {"eight bytes at once", {"--extra-byte", "1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Simulator sim(c.simOptions);
    REQUIRE_SIMULATOR(sim);
    const ProgramResult r = RunTallyOn({"/e"}, sim.device());
    EXPECT_EQ(r.err, Error("Нет ответа от кассы"));
    EXPECT_EQ(r.exitStatus, 1);
    // 100 polls of 12 ms and 1 ms each: about 1.3 s, more where sleeps are coarse.
    EXPECT_GT(r.seconds, 1.2);
    EXPECT_LT(r.seconds, 10.0);
    EXPECT_EQ(Received(sim.stop()), std::vector<std::string>{"frame 1 19200 " + kClearFrameHex});
  }
}

TEST(ClearRun, SpeedFollowsTheSwitch) {
  {
    Simulator sim({"--baud", "9600"});
    REQUIRE_SIMULATOR(sim);
    const ProgramResult r = RunTallyOn({"/9600", "/e"}, sim.device());
    EXPECT_EQ(r.err, Warning("База товаров очищена"));
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(Received(sim.stop()), std::vector<std::string>{"frame 1 9600 " + kClearFrameHex});
  }
  {
    // Without the switch the line runs at 19200, which a register at 9600 cannot read.
    Simulator sim({"--baud", "9600"});
    REQUIRE_SIMULATOR(sim);
    const ProgramResult r = RunTallyOn({"/e"}, sim.device());
    EXPECT_EQ(r.err, Error("Нет ответа от кассы"));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(Received(sim.stop()), std::vector<std::string>{"garbled 19200 " + kClearFrameHex});
  }
}

TEST(ClearRun, SecondPortWithTheSwitch) {
  Simulator sim({});
  REQUIRE_SIMULATOR(sim);
  const ProgramResult r = RunTallyOn({"/e", "/2"}, kNoPort, sim.device());
  EXPECT_EQ(r.err, Warning("База товаров очищена"));
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(Received(sim.stop()), std::vector<std::string>{"frame 1 19200 " + kClearFrameHex});

  // And the failure names the port it tried.
  const ProgramResult missing = RunTallyOn({"/2", "/e"}, sim.device(), kNoPort);
  EXPECT_EQ(missing.err, Error("Не открыт порт COM2"));
  EXPECT_EQ(missing.exitStatus, 1);
}

TEST(ClearRun, PortThatDoesNotExist) {
  for (const auto& [args, port] :
       {std::pair{std::vector<std::string>{"/e"}, "COM1"}, {{"/E", "/2"}, "COM2"}}) {
    const ProgramResult r = RunTallyOn(args, kNoPort, kNoPort);
    EXPECT_EQ(r.err, Error(std::string("Не открыт порт ") + port));
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitStatus, 1);
  }
}

TEST(ClearRun, PortHeldByAnotherProgram) {
  Simulator sim({});
  REQUIRE_SIMULATOR(sim);
  // The other program has the device open and locked.
  const int holder = open(sim.device().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  const ProgramResult r = RunTallyOn({"/e"}, sim.device());
  ::close(holder);
  EXPECT_EQ(r.err, Error("Не открыт порт COM1"));
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(Received(sim.stop()), std::vector<std::string>{});  // nothing was sent
}

TEST(ClearRun, SecondProgramOnTheSamePortIsTurnedAway) {
  Simulator sim({"--silent", "1"});
  REQUIRE_SIMULATOR(sim);
  // The first run holds the port while it waits in vain for its answer.
  const std::string device = sim.device();
  std::vector<std::string> args{TALLY_BINARY, "/e"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envStore{"TALLY_COM1=" + device, "TALLY_COM2=" + kNoPort};
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  // Wait until it has the device open (5 s at most), then a moment for its lock.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!HasOpen(pid, device) && std::chrono::steady_clock::now() < deadline) usleep(5000);
  usleep(50000);
  const ProgramResult second = RunTallyOn({"/e"}, device);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(second.err, Error("Не открыт порт COM1"));
  EXPECT_EQ(second.exitStatus, 1);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);  // the first one: no answer
  EXPECT_EQ(Received(sim.stop()), std::vector<std::string>{"frame 1 19200 " + kClearFrameHex});
}
