// What an exchange tells whoever watches it beside the line (the wire trace): what the bytes
// on the line do not say. The exchange runs the same whoever watches.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The goods item that the next frame carries.
struct FrameItem {
  int32_t item = 0;   // its place in the upload, from 1
  int32_t count = 0;  // the number of items in the upload
  int32_t code = 0;
  int64_t fileLine = 0;  // its line in the goods file, or its row of the sheet
  std::string sheet;     // the workbook's sheet the goods come from (Windows-1251); "" for text
};

// Each is told as it happens; by default nobody listens.
struct ExchangeWatch {
  // The upload is about to send the frame of item.
  std::function<void(const FrameItem& item)> nextItem = [](const FrameItem&) {};
  // The run's last answer has been taken: the wait for a quiet line begins.
  std::function<void()> lastAnswerTaken = [] {};
};
