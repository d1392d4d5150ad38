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

// What an upload to a fresh simulator left: how the program ended, and the simulator's log
// and goods base (its TSV file) afterwards.
struct SimulatedUpload {
  int exitStatus = -1;  // -1 also when the simulator did not start
  std::string err;
  std::string simLog;
  std::string base;
};

// Runs the program tally on the goods file at path (as given on the command line), its COM1
// a simulator started for this run alone, with its base and log in a folder of their own.
// A minute is the most it may take.
SimulatedUpload UploadToSimulator(const std::string& tally, const std::string& simulator,
                                  const std::string& path);
