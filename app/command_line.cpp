#include "app/command_line.h"

#include <array>
#include <vector>

#include "text/cp1251.h"

namespace {

struct Switch {
  std::string_view text;
  void (*apply)(RunOptions&);
};

// Looked for in this order; none is a prefix of another.
const std::array<Switch, 4> kSwitches = {{
    {"/r", [](RunOptions& o) { o.wholeUnitPrices = true; }},
    {"/e", [](RunOptions& o) { o.clearDatabase = true; }},
    {"/2", [](RunOptions& o) { o.port = 2; }},
    {"/9600", [](RunOptions& o) { o.baudRate = 9600; }},
}};

char LowerLatin(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c; }

bool MatchesAt(std::string_view text, size_t pos, std::string_view word) {
  if (text.size() - pos < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (LowerLatin(text[pos + i]) != word[i]) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string_view SkipProgramName(std::string_view commandLine) {
  size_t pos = 0;
  if (!commandLine.empty() && commandLine[0] == '"') {
    const size_t close = commandLine.find('"', 1);
    pos = close == std::string_view::npos ? commandLine.size() : close + 1;
  } else {
    pos = commandLine.find(' ');
    if (pos == std::string_view::npos) pos = commandLine.size();
  }
  while (pos < commandLine.size() && commandLine[pos] == ' ') ++pos;
  return commandLine.substr(pos);
}

RunOptions ParseCommandLine(std::string_view arguments) {
  RunOptions options;
  const std::string_view text = TrimBlanks(arguments);

  // A switch counts where it is followed by a blank, the end of the text, or another switch
  // that counts, so "c:/rates/goods.txt" keeps its "/r" while "goods.txt/2" gives port 2.
  // Decided from the right, so that a chain like "/2/9600" is seen whole.
  std::vector<size_t> switchAt(text.size() + 1, 0);  // 1 + index of a counting switch, or 0
  for (size_t pos = text.size(); pos-- > 0;) {
    for (size_t s = 0; s < kSwitches.size(); ++s) {
      const std::string_view word = kSwitches[s].text;
      if (!MatchesAt(text, pos, word)) continue;
      const size_t after = pos + word.size();
      if (after == text.size() || text[after] == ' ' || switchAt[after] != 0) switchAt[pos] = s + 1;
    }
  }

  std::string rest;
  rest.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    if (switchAt[pos] == 0) {
      rest += text[pos++];
      continue;
    }
    const Switch& found = kSwitches[switchAt[pos] - 1];
    found.apply(options);
    pos += found.text.size();
  }

  std::string_view name = TrimBlanks(rest);
  // A dropped path with blanks arrives wrapped in one pair of double quotes.
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"' &&
      name.substr(1, name.size() - 2).find('"') == std::string_view::npos) {
    name = name.substr(1, name.size() - 2);
  }
  options.goodsFileName = std::string(name);
  return options;
}

std::string BuildUsageText() {
  static const std::array<std::string_view, 13> kUsageLines = {
      "Пересылка базы товаров на кассу ОКА ПФ",
      "",
      "(c) TALLY contributors, 2026",
      "",
      "TALLY [/2] [/9600] [/r] filename.txt",
      "переслать базу товаров через порт COM1",
      "/2 - использовать порт COM2",
      "/9600 - скорость (по умолчанию 19200)",
      "/r - цена только в рублях (для Казахстана)",
      "",
      "TALLY [/2] [/9600] /e",
      "очистить базу товаров",
      "*",
  };
  constexpr size_t kMostLinesLookedAt = 25;
  std::string text;
  for (size_t i = 0; i < kUsageLines.size() && i < kMostLinesLookedAt; ++i) {
    if (kUsageLines[i] == "*") return text;
    text += W1251(kUsageLines[i]);
    text += '\n';
  }
  return {};  // a list without its end line shows nothing
}
