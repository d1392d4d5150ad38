// A register simulator (`register-sim --pty`) running beside a test or a benchmark.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class SimulatorProcess {
 public:
  // Starts `binary --pty options...` and waits (up to 10 s) for the slave's path, which the
  // simulator prints as its first line.
  SimulatorProcess(const std::string& binary, const std::vector<std::string>& options);
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;
  ~SimulatorProcess();

  // The pseudo-terminal's slave path, empty when the simulator did not start.
  const std::string& slave() const { return slave_; }

  // SIGTERM and wait (SIGKILL after 5 s); harmless when already stopped.
  void stop();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string slave_;
};
