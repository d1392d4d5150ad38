// The command line on any text: no crash, and the file name never holds a switch that
// counted.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/command_line.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "command line: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view commandLine(reinterpret_cast<const char*>(data), size);
  const std::string_view arguments = SkipProgramName(commandLine);
  if (arguments.size() > commandLine.size() ||
      commandLine.substr(commandLine.size() - arguments.size()) != arguments) {
    Fail("the arguments are not the end of the command line");
  }
  const RunOptions options = ParseCommandLine(arguments);
  const std::string& name = options.goodsFileName;
  if (name.size() > arguments.size()) Fail("the name is longer than the text");
  // A name in quotes may begin or end with blanks and hold a switch that counts without them.
  if (arguments.find('"') != std::string_view::npos) return 0;
  if (!name.empty() && (name.front() == ' ' || name.back() == ' ')) Fail("blanks around the name");
  // Every switch that counted has been taken out: the name read again on its own holds none.
  {
    const RunOptions again = ParseCommandLine(name);
    if (again.goodsFileName != name || again.port != 1 || again.baudRate != 19200 ||
        again.wholeUnitPrices || again.clearDatabase) {
      Fail("the file name holds a switch");
    }
  }
  return 0;
}
