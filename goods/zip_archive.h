// A zip archive held in memory (a workbook's container), read within limits that keep a
// hostile archive harmless: a bounded number of entries, and no entry inflated beyond a
// bounded size, whatever its headers claim.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

enum class ZipStatus {
  kOk,
  kMissing,    // no entry of that name
  kDamaged,    // not a zip archive, a broken one, or an entry that does not inflate to its CRC
  kEncrypted,  // the entry is encrypted
  kTooLarge,   // too many entries, or an entry larger than kZipPartLimit
  kStopped,    // the sink asked to stop
};

constexpr size_t kZipEntryLimit = 4096;
constexpr uint64_t kZipPartLimit = 64ull << 20;  // bytes of one entry, inflated

class ZipArchive {
 public:
  // Takes the archive's bytes, which must outlive it.
  explicit ZipArchive(std::string_view bytes);
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  // Reads the archive's directory: kOk, kDamaged or kTooLarge.
  ZipStatus open();
  bool has(const std::string& name);
  // Inflates the entry a piece at a time into sink, which returns false to stop.
  ZipStatus read(const std::string& name, const std::function<bool(std::string_view)>& sink);
  // The whole entry, at most limit bytes (else kTooLarge).
  ZipStatus readAll(const std::string& name, std::string& text, size_t limit);

  struct Memory {
    std::string_view bytes;
    uint64_t position = 0;
  };

 private:
  Memory memory_;
  void* zip_ = nullptr;
};
