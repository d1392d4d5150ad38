// The command line on any text: no crash, and the file name never holds a switch that
// counted. The same bytes cut at line feeds are also read as arguments handed over one by
// one (Linux).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "command line: %s\n", what);
  std::abort();
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool SameOptions(const RunOptions& a, const RunOptions& b) {
  return a.port == b.port && a.baudRate == b.baudRate && a.wholeUnitPrices == b.wholeUnitPrices &&
         a.clearDatabase == b.clearDatabase && a.checkOnly == b.checkOnly &&
         a.askUser == b.askUser && a.goodsFileName == b.goodsFileName;
}

void CheckArguments(std::string_view text) {
  std::vector<std::string_view> arguments;
  for (size_t start = 0; start <= text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    arguments.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  const RunOptions options = ParseArguments(arguments);
  // An argument with a blank in it is a file name, whole.
  std::string joined;
  bool plain = true;
  for (const std::string_view a : arguments) {
    const bool blank = a.find_first_of(" \t") != std::string_view::npos;
    const bool word = a.find_first_not_of(" \t") != std::string_view::npos;
    if (blank && word && options.goodsFileName.find(a) == std::string::npos) {
      Fail("an argument with a blank is not whole in the name");
    }
    plain = plain && !blank && !a.empty() && a.find('"') == std::string_view::npos;
    joined += (joined.empty() ? "" : " ") + std::string(a);
  }
  // Arguments without blanks or quotes, and no empty one, read as their text joined with
  // blanks.
  if (plain && !SameOptions(options, ParseCommandLine(joined))) {
    Fail("the arguments read otherwise than their joined text");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view commandLine(reinterpret_cast<const char*>(data), size);
  CheckArguments(commandLine);
  const std::string_view arguments = SkipProgramName(commandLine);
  if (arguments.size() > commandLine.size() ||
      commandLine.substr(commandLine.size() - arguments.size()) != arguments) {
    Fail("the arguments are not the end of the command line");
  }
  const RunOptions options = ParseCommandLine(arguments);
  const std::string& name = options.goodsFileName;
  if (name.size() > arguments.size()) Fail("the name is longer than the text");
  // A name in quotes keeps the blanks inside them, and a switch written in quotes is the
  // name's; without quotes the name has no blanks around it and, read again on its own,
  // holds no switch that counts.
  if (arguments.find('"') != std::string_view::npos) return 0;
  if (!name.empty() && (IsBlank(name.front()) || IsBlank(name.back()))) {
    Fail("blanks around the name");
  }
  if (!SameOptions(ParseCommandLine(name), RunOptions{.goodsFileName = name})) {
    Fail("the file name holds a switch");
  }
  return 0;
}
