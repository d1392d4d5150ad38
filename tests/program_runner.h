// Runs a built program as a child process and collects what it did.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

// Where a started program's standard input, output or error goes.
enum class Sink {
  kNull,        // /dev/null
  kPipe,        // a pipe whose read end the ChildProcess holds (output and error only)
  kInherit,     // the same stream as this process's
  kFile,        // the file (or terminal) at ChildSetup::errFile, opened read-write
  kClosed,      // no descriptor at all, as the shell's "2>&-" leaves it
  kBrokenPipe,  // a pipe nobody reads, as "| true" leaves it once true has ended
};

struct ChildSetup {
  std::map<std::string, std::string> environment = {};  // set on top of this process's environment
  Sink out = Sink::kNull;
  Sink err = Sink::kNull;
  std::string errFile = {};  // for err == Sink::kFile
  Sink in = Sink::kNull;     // kNull or kClosed
};

// A program started in the background, its standard input on /dev/null unless the setup
// closes it. The destructor kills it (SIGKILL) when it still runs and closes the pipes.
class ChildProcess {
 public:
  // Starts program with arguments (argv[1..]); running() tells whether that worked.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const ChildSetup& setup = {});
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  pid_t pid() const { return pid_; }
  bool running() const { return pid_ > 0 && !ended_; }
  // Read ends of the piped standard output and error, -1 when not piped.
  int out() const { return out_; }
  int err() const { return err_; }

  // Waits up to seconds (0: just looks) for the program to end. Returns its exit code, or
  // 128 + the signal that ended it, or -1 while it still runs, when it never started or when
  // stop() had to kill it.
  int wait(double seconds);
  // Once it has ended by itself: its peak resident memory in KiB, which counts what this
  // process held when it was started.
  long peakKiB() const { return peakKiB_; }

  // SIGTERM, then SIGKILL when it has not ended within graceSeconds (0: SIGKILL at once);
  // returns what wait() returns. Harmless when it has already ended.
  int stop(double graceSeconds = 5);

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = -1;  // once ended: what wait() returns
  long peakKiB_ = 0;
  int out_ = -1;
  int err_ = -1;
};

struct ProgramResult {
  int exitStatus = -1;  // the exit code, or 128 + signal, or -1 when it had to be killed
  std::string out;      // standard output
  std::string err;      // standard error
  double seconds = 0;   // wall time
  long peakKiB = 0;     // peak resident memory (see ChildProcess::peakKiB)
};

// Starts program with arguments (argv[1..]) and extra environment variables, with no
// standard input; kills it after timeoutSeconds.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment = {},
                         double timeoutSeconds = 30);

// A fresh empty directory for one test's files, removed by the destructor.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const std::string& path() const { return path_; }
  // Writes bytes to a file in the directory and returns its path.
  std::string write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

// Contents of a file, or empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// Milliseconds from now until deadline, 0 once it has passed: the timeout of a bounded poll.
int MsLeft(std::chrono::steady_clock::time_point deadline);
