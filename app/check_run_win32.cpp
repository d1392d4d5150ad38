#include "app/check_run.h"
#include "app/check_window.h"

// A Windows program has no standard output to list the goods on: the check window shows them
// with the verdict. Should the window not come up, the box still tells the verdict.
void ReportCheckedFile(const RunOptions& options, const GoodsTable& table, const std::string& text,
                       const MessageSink& show) {
  if (!ShowCheckWindow(table, text, options.goodsFileName, options.wholeUnitPrices)) {
    show(text, kIconInformation);
  }
}
