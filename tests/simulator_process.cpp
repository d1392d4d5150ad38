#include "tests/simulator_process.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>

SimulatorProcess::SimulatorProcess(const std::string& binary,
                                   const std::vector<std::string>& options,
                                   const SimulatorSetup& setup) {
  std::vector<std::string> arguments;
  if (setup.newPseudoTerminal) arguments.push_back("--pty");
  if (setup.ownLog) {
    logDir_ = std::make_unique<TempDir>();
    logPath_ = logDir_->path() + "/sim.log";
    arguments.insert(arguments.end(), {"--log", logPath_});
  }
  arguments.insert(arguments.end(), options.begin(), options.end());
  // Its standard output stays open until the end, so that later output never meets a closed
  // pipe; its standard error is the test's.
  process_ = std::make_unique<ChildProcess>(binary, arguments,
                                            ChildSetup{.out = Sink::kPipe, .err = Sink::kInherit});
  if (!setup.newPseudoTerminal) return;

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  std::string text;
  while (process_->running() && text.find('\n') == std::string::npos && MsLeft(deadline) > 0) {
    pollfd p{process_->out(), POLLIN, 0};
    if (poll(&p, 1, MsLeft(deadline)) <= 0) continue;
    char buffer[256];
    const ssize_t n = read(process_->out(), buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  if (text.find('\n') != std::string::npos) slave_ = text.substr(0, text.find('\n'));
}

SimulatorProcess::~SimulatorProcess() { stop(); }

std::string SimulatorProcess::log() const {
  return logPath_.empty() ? std::string() : ReadFileBytes(logPath_);
}

SimulatedUpload UploadToSimulator(const std::string& tally, const std::string& simulator,
                                  const std::string& path) {
  SimulatedUpload landed;
  const TempDir simFiles;
  const std::string db = simFiles.path() + "/base.tsv";
  const std::string log = simFiles.path() + "/sim.log";
  SimulatorProcess sim(simulator, {"--db", db, "--log", log});
  if (sim.slave().empty()) return landed;
  const ProgramResult r = RunProgram(tally, {path}, {{"TALLY_COM1", sim.slave()}}, 60);
  sim.stop();
  landed.exitStatus = r.exitStatus;
  landed.err = r.err;
  landed.simLog = ReadFileBytes(log);
  landed.base = ReadFileBytes(db);
  return landed;
}
