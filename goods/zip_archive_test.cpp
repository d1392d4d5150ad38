#include "goods/zip_archive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/workbook_bytes.h"

namespace {

// Reads the named entries in turn, the sink taking at most stopAfter bytes of each; the
// status of each read.
std::vector<ZipStatus> ReadEach(const std::string& archive, const std::vector<std::string>& names,
                                ZipLimits limits, size_t stopAfter = SIZE_MAX) {
  MemorySource source(archive, 7);  // short reads, as a file may give
  ZipArchive zip(source, limits);
  std::vector<ZipStatus> statuses{zip.open()};
  for (const std::string& name : names) {
    size_t taken = 0;
    statuses.push_back(zip.read(name, [&](std::string_view piece) {
      taken += piece.size();
      return taken <= stopAfter;
    }));
  }
  return statuses;
}

using S = ZipStatus;

// What is inflated counts, part by part and in all; what the headers declare does not.
TEST(ZipArchive, LimitsCountWhatIsInflated) {
  const std::string kib(1024, 'x');
  const std::string archive = StoredZip({{"a", kib},
                                         {"b", kib},
                                         {"c", kib},
                                         {"d", kib + "y"},
                                         {"e", kib, 100u << 20},  // declared far larger
                                         {"f", "f"}});
  const struct {
    const char* what;
    std::vector<std::string> names;
    ZipLimits limits;
    size_t stopAfter;
    std::vector<ZipStatus> statuses;
  } cases[] = {
      {"within both", {"a", "b"}, {1024, 2048}, SIZE_MAX, {S::kOk, S::kOk, S::kOk}},
      {"a part over its limit", {"d"}, {1024, 4096}, SIZE_MAX, {S::kOk, S::kTooLarge}},
      {"the total reached",
       {"a", "b", "c"},
       {1024, 2048},
       SIZE_MAX,
       {S::kOk, S::kOk, S::kOk, S::kTooLarge}},
      // A part read only as far as its reader needs costs that: the declared 100 MiB do not
      // refuse it, and only the bytes inflated count toward the total, here 1 KiB a read.
      {"read in part",
       {"e", "a", "b", "c"},
       {2048, 3 * 1024 + 10},
       0,
       {S::kOk, S::kStopped, S::kStopped, S::kStopped, S::kTooLarge}},
      {"declared more than it holds", {"e"}, {}, SIZE_MAX, {S::kOk, S::kDamaged}},
      // Each entry is read once, by whatever name it is asked.
      {"read twice", {"f", "f"}, {}, SIZE_MAX, {S::kOk, S::kOk, S::kRepeated}},
      {"missing", {"g"}, {}, SIZE_MAX, {S::kOk, S::kMissing}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadEach(archive, c.names, c.limits, c.stopAfter), c.statuses) << c.what;
  }
}

}  // namespace
