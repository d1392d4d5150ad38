// The questions a run started from an installed shortcut ("/i") puts to the person at the
// screen before it acts: which goods file, when none was dropped, and whether to clear.
// Windows asks in the system's own dialogs. Linux has no window to ask in: nothing is
// asked there, and the run shows the usage text instead.
#pragma once

#include <string>

enum class Answer {
  kYes,       // a file chosen, or Да
  kNo,        // the dialog cancelled, or Нет
  kNotAsked,  // no window to ask in (Linux), or no dialog to ask with
};

// The system's Open dialog for a goods file (goods files: *.txt, *.tsv, *.csv, *.xlsx,
// *.ods; or all files), starting in the folder last chosen there, else in Documents. kYes
// puts the chosen file's full name (UTF-8) into fileName.
Answer AskForGoodsFile(std::string& fileName);

// The question (Windows-1251) in a box captioned "OKA PF" with the warning icon and the
// buttons Да and Нет, Нет the default. kYes only for Да.
Answer AskYesNo(const std::string& question);
