// A register simulator (`register-sim`) running beside a test or a benchmark.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/program_runner.h"

struct SimulatorSetup {
  // With --pty on a new pseudo-terminal; otherwise the options name the device it serves.
  bool newPseudoTerminal = true;
  // With --log to a file in a directory of its own, read by log().
  bool ownLog = false;
};

class SimulatorProcess {
 public:
  // Starts `binary [--pty] [--log file] options...`; on a new pseudo-terminal it waits (up to
  // 15 s) for the slave's path, which the simulator prints as its first line.
  SimulatorProcess(const std::string& binary, const std::vector<std::string>& options,
                   const SimulatorSetup& setup = {});
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;
  ~SimulatorProcess();

  // The pseudo-terminal's slave path, empty when the simulator did not start.
  const std::string& slave() const { return slave_; }

  // What the simulator has written to its own log so far; empty without one.
  std::string log() const;

  // Waits up to seconds for the simulator to end by itself; its exit status, or -1.
  int waitExit(double seconds = 10) { return process_->wait(seconds); }

  // SIGTERM and wait (SIGKILL after 10 s); returns the exit status, -1 when it had to be
  // killed. Harmless when already stopped.
  int stop() { return process_->stop(10); }

 private:
  std::unique_ptr<TempDir> logDir_;
  std::string logPath_;
  std::unique_ptr<ChildProcess> process_;
  std::string slave_;
};
