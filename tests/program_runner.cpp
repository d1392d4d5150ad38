#include "tests/program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// This process's environment with the given variables set on top, as "NAME=value" entries.
std::vector<std::string> Environment(const std::map<std::string, std::string>& extra) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    const size_t eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [key, value] : extra) env[key] = value;
  std::vector<std::string> entries;
  for (const auto& [key, value] : env) entries.push_back(key + "=" + value);
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Connects descriptor fd of the child as sink says; pipeEnds receives a new pipe for kPipe.
bool Redirect(posix_spawn_file_actions_t* actions, int fd, Sink sink, const std::string& file,
              int pipeEnds[2]) {
  switch (sink) {
    case Sink::kNull:
      return posix_spawn_file_actions_addopen(actions, fd, "/dev/null",
                                              fd == 0 ? O_RDONLY : O_WRONLY, 0) == 0;
    case Sink::kPipe:
      return pipe2(pipeEnds, O_CLOEXEC) == 0 &&
             posix_spawn_file_actions_adddup2(actions, pipeEnds[1], fd) == 0;
    case Sink::kInherit:
      return true;
    case Sink::kFile:
      return posix_spawn_file_actions_addopen(actions, fd, file.c_str(), O_RDWR | O_NOCTTY, 0) == 0;
    case Sink::kClosed:
      return posix_spawn_file_actions_addclose(actions, fd) == 0;
    case Sink::kBrokenPipe:
      if (pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
      close(pipeEnds[0]);  // the reader is gone before anything is written
      pipeEnds[0] = -1;
      return posix_spawn_file_actions_adddup2(actions, pipeEnds[1], fd) == 0;
  }
  return false;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const ChildSetup& setup) {
  std::vector<std::string> argStore{program};
  argStore.insert(argStore.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv = Pointers(argStore);
  std::vector<std::string> envStore = Environment(setup.environment);
  std::vector<char*> envp = Pointers(envStore);

  int inPipe[2] = {-1, -1};  // never made: input is /dev/null or closed
  int outPipe[2] = {-1, -1};
  int errPipe[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const bool ready = Redirect(&actions, 0, setup.in, "", inPipe) &&
                     Redirect(&actions, 1, setup.out, setup.errFile, outPipe) &&
                     Redirect(&actions, 2, setup.err, setup.errFile, errPipe);
  if (ready &&
      posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
    pid_ = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  for (int* ends : {outPipe, errPipe}) {
    if (ends[1] >= 0) close(ends[1]);
    if (ends[0] >= 0 && (!ready || pid_ <= 0)) close(ends[0]);
  }
  if (ready && pid_ > 0) {
    out_ = outPipe[0];
    err_ = errPipe[0];
  }
}

ChildProcess::~ChildProcess() {
  stop(0);
  if (out_ >= 0) close(out_);
  if (err_ >= 0) close(err_);
}

int ChildProcess::wait(double seconds) {
  const auto start = Clock::now();
  while (running()) {
    int status = 0;
    rusage usage{};
    if (wait4(pid_, &status, WNOHANG, &usage) == pid_) {
      ended_ = true;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      peakKiB_ = usage.ru_maxrss;
      break;
    }
    if (SecondsSince(start) >= seconds) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return status_;
}

int ChildProcess::stop(double graceSeconds) {
  if (!running()) return status_;
  if (graceSeconds > 0) {
    kill(pid_, SIGTERM);
    if (wait(graceSeconds) >= 0) return status_;
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  ended_ = true;
  status_ = -1;
  return status_;
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment,
                         double timeoutSeconds) {
  ProgramResult result;
  const auto start = Clock::now();
  ChildProcess child(program, arguments,
                     {.environment = environment, .out = Sink::kPipe, .err = Sink::kPipe});
  if (!child.running()) return result;

  pollfd fds[2] = {{child.out(), POLLIN, 0}, {child.err(), POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    // Killed, it closes its ends of the pipes, and the loop ends.
    if (SecondsSince(start) > timeoutSeconds) child.stop(0);
    if (poll(fds, 2, 100) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        fds[i].fd = -1;  // closed by the ChildProcess
        --open;
      }
    }
  }
  // With both pipes closed it has ended, or is about to.
  result.exitStatus = child.wait(timeoutSeconds + 10);
  result.seconds = SecondsSince(start);
  result.peakKiB = child.peakKiB();
  return result;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tally-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
  const std::string file = path_ + "/" + name;
  std::ofstream(file, std::ios::binary) << bytes;
  return file;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int MsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}
