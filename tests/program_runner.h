// Runs a built program as a child process and collects what it did.
#pragma once

#include <map>
#include <string>
#include <vector>

struct ProgramResult {
  int exitStatus = -1;  // the exit code, or 128 + signal, or -1 when it had to be killed
  std::string out;      // standard output
  std::string err;      // standard error
  double seconds = 0;   // wall time
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
