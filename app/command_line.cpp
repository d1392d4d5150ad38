#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <vector>

#include "text/cp1251.h"
#include "text/text_encoding.h"

namespace {

struct Switch {
  std::string_view text;
  void (*apply)(RunOptions&);
};

// None is a prefix of another, so a chain of them reads one way only.
constexpr size_t kClearSwitch = 1;
constexpr size_t kSwitchCount = 6;
const std::array<Switch, kSwitchCount> kSwitches = {{
    {"/r", [](RunOptions& o) { o.wholeUnitPrices = true; }},
    {"/e", [](RunOptions& o) { o.clearDatabase = true; }},
    {"/2", [](RunOptions& o) { o.port = 2; }},
    {"/9600", [](RunOptions& o) { o.baudRate = 9600; }},
    {"/t", [](RunOptions& o) { o.checkOnly = true; }},
    {"/i", [](RunOptions& o) { o.askUser = true; }},
}};

bool MatchesAt(std::string_view text, size_t pos, std::string_view word) {
  if (text.size() - pos < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (LowerLatin(text[pos + i]) != word[i]) return false;
  }
  return true;
}

// Which switches a chain may hold.
constexpr unsigned kAllSwitches = (1u << kSwitchCount) - 1;
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

// The first position pos at or after from where the text from pos to its end is a chain of
// allowed switches written together ("/2/9600"), or npos when there is none. Worked out from the
// right, so that a long word costs one pass.
size_t ChainStart(std::string_view text, size_t from, unsigned allowed) {
  const size_t end = text.size();
  size_t first = std::string_view::npos;
  if (from >= end) return first;
  std::vector<bool> chainFrom(end - from + 1, false);  // indexed by pos - from
  chainFrom[end - from] = true;
  for (size_t pos = end; pos-- > from;) {
    const int s = SwitchAt(text, pos, allowed);
    if (s >= 0 && chainFrom[pos + kSwitches[static_cast<size_t>(s)].text.size() - from]) {
      chainFrom[pos - from] = true;
      first = pos;
    }
  }
  return first;
}

// Sets the options of the chain that the text is from start to its end.
void ApplyChain(std::string_view text, size_t start, RunOptions& options) {
  for (size_t pos = start; pos < text.size();) {
    const Switch& found = kSwitches[static_cast<size_t>(SwitchAt(text, pos, kAllSwitches))];
    found.apply(options);
    pos += found.text.size();
  }
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// One word of the command line.
struct Word {
  std::string_view blanksBefore;  // as written between it and the word before
  std::string text;               // its characters; quotes taken out
  bool plain = true;              // nothing of it quoted, no blank in it: it may be a switch word
  // Switches glued to its end are looked for from here on (after its last quote); its size
  // when none may be.
  size_t tail = 0;
};

// The options the words give. A word made only of switches counts whole, "/e" among them;
// switches glued to the end of the last word that is no switch word count too, as in
// "goods.txt/2", since nothing but switch words follows them. Never "/e": glued to a name
// it would throw the name away. Anywhere else a switch is part of the name, so that
// "Exports/e 2025.txt", "data/2 shop.txt" and "/srv/data/e" stay whole. The name is the
// other words with the blanks between them.
RunOptions ParseWords(std::vector<Word>& words) {
  RunOptions options;
  std::vector<bool> switchWord(words.size(), false);
  size_t lastName = std::string_view::npos;
  for (size_t i = 0; i < words.size(); ++i) {
    const Word& w = words[i];
    if (w.plain && !w.text.empty() && ChainStart(w.text, 0, kAllSwitches) == 0) {
      ApplyChain(w.text, 0, options);
      switchWord[i] = true;
    } else {
      lastName = i;
    }
  }
  if (lastName == std::string_view::npos) return options;

  Word& last = words[lastName];
  const size_t glued = ChainStart(last.text, std::max<size_t>(1, last.tail), kGluedSwitches);
  if (glued != std::string_view::npos) {
    ApplyChain(last.text, glued, options);
    last.text.resize(glued);
  }
  bool started = false;
  for (size_t i = 0; i <= lastName; ++i) {
    if (started) options.goodsFileName += words[i].blanksBefore;
    if (!switchWord[i]) {
      options.goodsFileName += words[i].text;
      started = true;
    }
  }
  return options;
}

}  // namespace

std::string_view SkipProgramName(std::string_view commandLine) {
  size_t pos = 0;
  if (!commandLine.empty() && commandLine[0] == '"') {
    const size_t close = commandLine.find('"', 1);
    pos = close == std::string_view::npos ? commandLine.size() : close + 1;
  } else {
    pos = std::min(commandLine.find_first_of(" \t"), commandLine.size());
  }
  while (pos < commandLine.size() && IsBlank(commandLine[pos])) ++pos;
  return commandLine.substr(pos);
}

RunOptions ParseCommandLine(std::string_view arguments) {
  std::vector<Word> words;
  for (size_t pos = 0;;) {
    const size_t start = pos;
    while (pos < arguments.size() && IsBlank(arguments[pos])) ++pos;
    if (pos == arguments.size()) break;
    Word& w = words.emplace_back();
    w.blanksBefore = arguments.substr(start, pos - start);
    bool inQuotes = false;
    for (; pos < arguments.size(); ++pos) {
      const char c = arguments[pos];
      if (c == '"') {
        inQuotes = !inQuotes;
        w.plain = false;
        w.tail = w.text.size();
      } else if (inQuotes || !IsBlank(c)) {
        w.text += c;
      } else {
        break;
      }
    }
    if (inQuotes) w.tail = w.text.size();  // a quote left open runs to the end
  }
  return ParseWords(words);
}

RunOptions ParseArguments(const std::vector<std::string_view>& arguments) {
  std::vector<Word> words;
  for (const std::string_view argument : arguments) {
    if (std::all_of(argument.begin(), argument.end(), IsBlank)) continue;
    Word& w = words.emplace_back();
    w.blanksBefore = " ";
    w.text = argument;
    w.plain = std::none_of(argument.begin(), argument.end(), IsBlank);
    w.tail = w.plain ? 0 : argument.size();
  }
  return ParseWords(words);
}

std::string BuildUsageText() {
  static const std::array<std::string_view, 12> kUsageLines = {
      "Пересылка базы товаров на кассу ОКА ПФ",
      "",
      "(c) The TALLY authors, 2026",
      "",
      "TALLY [/2] [/9600] [/r] filename.txt",
      "переслать базу товаров через порт COM1",
      "/2 - использовать порт COM2",
      "/9600 - скорость (по умолчанию 19200)",
      "/r - цена только в рублях (для Казахстана)",
      "",
      "TALLY [/2] [/9600] /e",
      "очистить базу товаров",
  };
  std::string text;
  for (const std::string_view line : kUsageLines) {
    text += Utf8ToCp1251(line);
    text += '\n';
  }
  return text;
}

std::string ClearQuestionText(int32_t port) {
  return Utf8ToCp1251("Очистить базу товаров кассы на COM" + std::string(port == 1 ? "1" : "2") +
                      "? Все товары в кассе будут удалены.");
}
