// The clear run of the Linux program against the register simulator over a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/program_runner.h"
#include "tests/simulator_process.h"

namespace {

const std::string kClearFrameHex = "17 0B 63 00 00 00 00 00 19 00 85";
const std::string kNoPort = "/nonexistent/tally-port";

// register-sim on a new pseudo-terminal for the length of one test, logging what it receives.
SimulatorProcess LoggingSimulator(const std::vector<std::string>& options) {
  return SimulatorProcess(REGISTER_SIM_BINARY, options, {.ownLog = true});
}

#define REQUIRE_SIMULATOR(sim) ASSERT_FALSE((sim).slave().empty()) << "register-sim did not start"

ProgramResult RunTallyOn(const std::vector<std::string>& args, const std::string& com1,
                         const std::string& com2 = kNoPort, const std::string& trace = "") {
  std::map<std::string, std::string> environment = {{"TALLY_COM1", com1}, {"TALLY_COM2", com2}};
  if (!trace.empty()) environment["TALLY_TRACE"] = trace;
  return RunProgram(TALLY_BINARY, args, environment, 30);
}

// Stops the simulator and returns the lines of its log that tell what reached it, the answers
// left out.
std::vector<std::string> Received(SimulatorProcess& sim) {
  sim.stop();
  std::vector<std::string> received;
  std::istringstream log(sim.log());
  for (std::string line; std::getline(log, line);) {
    if (line.rfind("answer ", 0) != 0) received.push_back(line);
  }
  return received;
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
    SimulatorProcess sim = LoggingSimulator(c.simOptions);
    REQUIRE_SIMULATOR(sim);
    const ProgramResult r = RunTallyOn({"/e"}, sim.slave());
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitStatus, c.exitStatus);
    // One frame, exactly the clear command, at the default speed.
    EXPECT_EQ(Received(sim), std::vector<std::string>{"frame 1 19200 " + kClearFrameHex});
  }
}

TEST(ClearRun, NoAnswerAfterAboutAHundredPolls) {
  const struct {
    const char* what;
    std::vector<std::string> simOptions;
    const char* err;  // bytes that came without making an answer are counted
  } cases[] = {
      {"silence", {"--silent", "1"}, "Нет ответа от кассы"},
      {"six bytes", {"--short", "1"}, "Нет ответа от кассы: пришло 6 байт"},
      {"eight bytes at once", {"--extra-byte", "1"}, "Нет ответа от кассы: пришло 8 байт"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimulatorProcess sim = LoggingSimulator(c.simOptions);
    REQUIRE_SIMULATOR(sim);
    TempDir dir;
    const std::string trace = dir.path() + "/trace.txt";
    const ProgramResult r = RunTallyOn({"/e"}, sim.slave(), kNoPort, trace);
    EXPECT_EQ(r.err, Error(c.err));
    EXPECT_EQ(r.exitStatus, 1);
    // 100 polls of 12 ms and 1 ms each: at least 1.3 s, more where sleeps are coarse; the
    // trace counts them.
    EXPECT_GT(r.seconds, 1.2);
    EXPECT_NE(ReadFileBytes(trace).find(" ms  poll 100: "), std::string::npos)
        << ReadFileBytes(trace);
    EXPECT_EQ(Received(sim), std::vector<std::string>{"frame 1 19200 " + kClearFrameHex});
  }
}

TEST(ClearRun, SpeedFollowsTheSwitch) {
  {
    SimulatorProcess sim = LoggingSimulator({"--baud", "9600"});
    REQUIRE_SIMULATOR(sim);
    const ProgramResult r = RunTallyOn({"/9600", "/e"}, sim.slave());
    EXPECT_EQ(r.err, Warning("База товаров очищена"));
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(Received(sim), std::vector<std::string>{"frame 1 9600 " + kClearFrameHex});
  }
  {
    // Without the switch the line runs at 19200, which a register at 9600 cannot read.
    SimulatorProcess sim = LoggingSimulator({"--baud", "9600"});
    REQUIRE_SIMULATOR(sim);
    const ProgramResult r = RunTallyOn({"/e"}, sim.slave());
    EXPECT_EQ(r.err, Error("Нет ответа от кассы"));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(Received(sim), std::vector<std::string>{"garbled 19200 " + kClearFrameHex});
  }
}

TEST(ClearRun, SecondPortWithTheSwitch) {
  SimulatorProcess sim = LoggingSimulator({});
  REQUIRE_SIMULATOR(sim);
  const ProgramResult r = RunTallyOn({"/e", "/2"}, kNoPort, sim.slave());
  EXPECT_EQ(r.err, Warning("База товаров очищена"));
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(Received(sim), std::vector<std::string>{"frame 1 19200 " + kClearFrameHex});

  // And the failure names the port it tried, its device and why.
  const ProgramResult missing = RunTallyOn({"/2", "/e"}, sim.slave(), kNoPort);
  EXPECT_EQ(missing.err, Error("Не открыт порт COM2 (" + kNoPort + ": нет такого устройства)"));
  EXPECT_EQ(missing.exitStatus, 1);
}

TEST(ClearRun, PortThatDoesNotExist) {
  for (const auto& [args, port] :
       {std::pair{std::vector<std::string>{"/e"}, "COM1"}, {{"/E", "/2"}, "COM2"}}) {
    const ProgramResult r = RunTallyOn(args, kNoPort, kNoPort);
    EXPECT_EQ(r.err, Error(std::string("Не открыт порт ") + port + " (" + kNoPort +
                           ": нет такого устройства)"));
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitStatus, 1);
  }
}

TEST(ClearRun, PortHeldByAnotherProgram) {
  SimulatorProcess sim = LoggingSimulator({});
  REQUIRE_SIMULATOR(sim);
  // The other program has the device open and locked.
  const int holder = open(sim.slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  const ProgramResult r = RunTallyOn({"/e"}, sim.slave());
  ::close(holder);
  EXPECT_EQ(r.err,
            Error("Не открыт порт COM1 (" + sim.slave() + ": порт занят другой программой)"));
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(Received(sim), std::vector<std::string>{});  // nothing was sent
}

namespace {

// How long a test waits for something that comes within moments unless the run has gone wrong.
constexpr int kWaitSeconds = 20;

// Waits for the simulator's log to hold a line beginning with start.
bool LogHasLine(const SimulatorProcess& sim, const std::string& start) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kWaitSeconds);
  do {
    const std::string log = "\n" + sim.log();
    if (log.find("\n" + start) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (MsLeft(deadline) > 0);
  return false;
}

// Waits for the file at path (a run's trace) to hold text.
bool FileHolds(const std::string& path, const std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kWaitSeconds);
  do {
    if (ReadFileBytes(path).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (MsLeft(deadline) > 0);
  return false;
}

}  // namespace

TEST(ClearRun, SecondProgramOnTheSamePortIsTurnedAway) {
  SimulatorProcess sim = LoggingSimulator({"--silent", "1"});
  REQUIRE_SIMULATOR(sim);
  // The first run holds the port while it waits in vain for its answer.
  const std::string device = sim.slave();
  TempDir dir;
  const std::string trace = dir.path() + "/trace.txt";
  ChildProcess first(
      TALLY_BINARY, {"/e"},
      {.environment = {{"TALLY_COM1", device}, {"TALLY_COM2", kNoPort}, {"TALLY_TRACE", trace}}});
  ASSERT_TRUE(first.running());
  // Its trace tells when it has sent its frame: the port is open and locked by then.
  ASSERT_TRUE(FileHolds(trace, "  sent ")) << ReadFileBytes(trace);
  const ProgramResult second = RunTallyOn({"/e"}, device);
  EXPECT_EQ(second.err,
            Error("Не открыт порт COM1 (" + device + ": порт занят другой программой)"));
  EXPECT_EQ(second.exitStatus, 1);
  EXPECT_EQ(first.wait(30), 1);  // the first one: no answer
  EXPECT_EQ(Received(sim), std::vector<std::string>{"frame 1 19200 " + kClearFrameHex});
}

// A register that answers after the program has given up, or after the user has stopped
// it: the late answer waits on the line when the next run begins. It must not pass for the
// answer to that run's frame: here the register refuses the clear, and the run must say so.
// Nor may it when it comes during the next run, while that run waits for its own answer: the
// run then finds the answers one behind its frames and fails.
TEST(ClearRun, ALateAnswerFromAnEarlierRunNeverCompletesThisOne) {
  const struct {
    const char* what;
    bool upload;  // the first run uploads and is stopped with Ctrl-C; else it clears
    bool duringNextRun = false;
  } cases[] = {
      {"an upload stopped with Ctrl-C", true},
      {"a clear run that got no answer", false},
      {"an upload stopped with Ctrl-C, answered during the next run", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string goods = dir.write("goods.txt", "<start>\r\n1\tA\t\t1.00\t\t\t\r\n");
    // The answer to frame 1 (code 0, "done") goes out only once the test makes the file
    // answer-1: after the first run has ended, before the next run or during it. Frame 2 is
    // refused; when the late answer comes during the next run, the refusal too waits for its
    // file, so that the two answers come apart.
    std::vector<std::string> simOptions = {"--hold", "1:" + dir.path() + "/answer-1", "--error",
                                           "2:5"};
    if (c.duringNextRun) {
      simOptions.insert(simOptions.end(), {"--hold", "2:" + dir.path() + "/answer-2"});
    }
    SimulatorProcess sim = LoggingSimulator(simOptions);
    REQUIRE_SIMULATOR(sim);
    {
      ChildProcess first(
          TALLY_BINARY, c.upload ? std::vector<std::string>{goods} : std::vector<std::string>{"/e"},
          {.environment = {{"TALLY_COM1", sim.slave()}, {"TALLY_COM2", kNoPort}}});
      ASSERT_TRUE(LogHasLine(sim, "frame 1 ")) << sim.log();
      if (c.upload) {
        kill(first.pid(), SIGINT);
        EXPECT_EQ(first.wait(kWaitSeconds), 128 + SIGINT);
      } else {
        EXPECT_EQ(first.wait(kWaitSeconds), 1);
      }
    }
    ProgramResult r;
    if (!c.duringNextRun) {
      // The late answer reaches the line before the next run starts.
      dir.write("answer-1", "");
      ASSERT_TRUE(LogHasLine(sim, "answer 1 ")) << sim.log();
      r = RunTallyOn({"/e"}, sim.slave());
    } else {
      // It comes once the next run has sent its frame, and the refusal of that frame once the
      // run has taken the late answer and watches the line stay quiet.
      const std::string trace = dir.path() + "/trace.txt";
      const std::string err = dir.write("err.txt", "");
      ChildProcess next(TALLY_BINARY, {"/e"},
                        {.environment = {{"TALLY_COM1", sim.slave()},
                                         {"TALLY_COM2", kNoPort},
                                         {"TALLY_TRACE", trace}},
                         .err = Sink::kFile,
                         .errFile = err});
      ASSERT_TRUE(FileHolds(trace, "  sent ")) << ReadFileBytes(trace);
      dir.write("answer-1", "");
      ASSERT_TRUE(FileHolds(trace, "after the last answer")) << ReadFileBytes(trace);
      dir.write("answer-2", "");
      r.exitStatus = next.wait(kWaitSeconds);
      r.err = ReadFileBytes(err);
    }
    EXPECT_TRUE(r.err == Warning("Возвращен код ошибки  5") ||
                (c.duringNextRun && r.err == Warning("Лишний ответ от кассы")))
        << r.err;
    EXPECT_EQ(r.exitStatus, 1);
  }
}
