#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <vector>

#include "text/cp1251.h"

namespace {

struct Switch {
  std::string_view text;
  void (*apply)(RunOptions&);
};

// None is a prefix of another, so a chain of them reads one way only.
constexpr size_t kClearSwitch = 1;
const std::array<Switch, 4> kSwitches = {{
    {"/r", [](RunOptions& o) { o.wholeUnitPrices = true; }},
    {"/e", [](RunOptions& o) { o.clearDatabase = true; }},
    {"/2", [](RunOptions& o) { o.port = 2; }},
    {"/9600", [](RunOptions& o) { o.baudRate = 9600; }},
}};

bool MatchesAt(std::string_view text, size_t pos, std::string_view word) {
  if (text.size() - pos < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (LowerLatin(text[pos + i]) != word[i]) return false;
  }
  return true;
}

// Which switches a chain may hold.
constexpr unsigned kAllSwitches = 0xF;
constexpr unsigned kGluedSwitches = kAllSwitches & ~(1u << kClearSwitch);

// The switch that starts at pos among those allowed, as an index into kSwitches, or -1.
// At most one can: no switch is a prefix of another.
int SwitchAt(std::string_view text, size_t pos, unsigned allowed) {
  for (size_t s = 0; s < kSwitches.size(); ++s) {
    if ((allowed & (1u << s)) != 0 && MatchesAt(text, pos, kSwitches[s].text)) {
      return static_cast<int>(s);
    }
  }
  return -1;
}

// The first position at or after from where text[pos, end) is a chain of allowed
// switches written together ("/2/9600"), or npos when there is none. Worked out from the
// right, so that a long word costs one pass.
size_t ChainStart(std::string_view text, size_t from, size_t end, unsigned allowed) {
  size_t first = std::string_view::npos;
  if (from >= end) return first;
  const std::string_view word = text.substr(0, end);
  std::vector<bool> chainFrom(end - from + 1, false);  // indexed by pos - from
  chainFrom[end - from] = true;
  for (size_t pos = end; pos-- > from;) {
    const int s = SwitchAt(word, pos, allowed);
    if (s >= 0 && chainFrom[pos + kSwitches[static_cast<size_t>(s)].text.size() - from]) {
      chainFrom[pos - from] = true;
      first = pos;
    }
  }
  return first;
}

// Marks each switch of the chain text[start, end) in switchAt.
void MarkChain(std::string_view text, size_t start, size_t end, std::vector<uint8_t>& switchAt) {
  const std::string_view word = text.substr(0, end);
  for (size_t pos = start; pos < end;) {
    const auto s = static_cast<size_t>(SwitchAt(word, pos, kAllSwitches));
    switchAt[pos] = static_cast<uint8_t>(s + 1);
    pos += kSwitches[s].text.size();
  }
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

  // Which bytes of the text are switches that count: a switch at pos marks pos with
  // 1 + its index in kSwitches; the other bytes stay 0 and form the file name.
  std::vector<uint8_t> switchAt(text.size(), 0);
  size_t lastNameWord = std::string_view::npos;  // start of the last word that is no switch word
  size_t lastNameWordEnd = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find(' ', start), text.size());
    // A word made only of switches (a switch word) counts whole, "/e" among them.
    if (ChainStart(text, start, end, kAllSwitches) == start) {
      MarkChain(text, start, end, switchAt);
    } else {
      lastNameWord = start;
      lastNameWordEnd = end;
    }
    start = text.find_first_not_of(' ', end);
    if (start == std::string_view::npos) break;
  }
  // Switches glued to the end of the last word that is no switch word count too, as in
  // "goods.txt/2", since nothing but switch words follows them. Never "/e": glued to a name
  // it would throw the name away. Anywhere else a switch is part of the name, so that
  // "Exports/e 2025.txt", "data/2 shop.txt" and "/srv/data/e" stay whole.
  if (lastNameWord != std::string_view::npos) {
    const size_t glued = ChainStart(text, lastNameWord + 1, lastNameWordEnd, kGluedSwitches);
    if (glued != std::string_view::npos) MarkChain(text, glued, lastNameWordEnd, switchAt);
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
