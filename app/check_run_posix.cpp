#include <cstdio>

#include "app/check_run.h"

// The listing is for reading or for a script (standard output); the verdict is a message like
// the clear run's confirmation.
void ReportCheckedFile(const RunOptions&, const GoodsTable& table, const std::string& text,
                       const MessageSink& show) {
  const std::string listing = GoodsListing(table);
  std::fwrite(listing.data(), 1, listing.size(), stdout);
  std::fflush(stdout);
  show(text, kIconWarning);
}
