// A zip archive (a workbook's container) read where it lies, a piece at a time, within limits that
// keep a hostile archive harmless: a bounded number of entries, no entry inflated beyond a bounded
// size and no more inflated in all than a bounded total, counted as the bytes come out,
// whatever the headers claim, and no entry inflated twice.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>

#include "goods/byte_source.h"

enum class ZipStatus {
  kOk,
  kMissing,    // no entry of that name
  kDamaged,    // not a zip archive, a broken one, or an entry that does not inflate to its CRC
  kEncrypted,  // the entry is encrypted
  kTooLarge,   // too many entries, or more inflated than the limits allow
  kStopped,    // the sink asked to stop
  kRepeated,   // the entry was read before
};

constexpr size_t kZipEntryLimit = 4096;
constexpr uint64_t kZipPartLimit = 64ull << 20;    // bytes of one entry, inflated
constexpr uint64_t kZipTotalLimit = 256ull << 20;  // bytes of all entries, inflated

struct ZipLimits {
  uint64_t part = kZipPartLimit;
  uint64_t total = kZipTotalLimit;
};

class ZipArchive {
 public:
  // Reads the archive from source, which must outlive it and be able to tell its size and
  // seek.
  explicit ZipArchive(ByteSource& source, ZipLimits limits = {});
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  // Reads the archive's directory: kOk, kDamaged or kTooLarge.
  ZipStatus open();
  // The source failed to read or seek: what was read of it says nothing of the archive.
  bool sourceFailed() const { return place_.failed; }
  bool has(const std::string& name);
  // Inflates the entry a piece at a time into sink, which returns false to stop. An entry is
  // read once: a second read of it is kRepeated, whatever name it is asked by.
  ZipStatus read(const std::string& name, const std::function<bool(std::string_view)>& sink);
  // The whole entry, at most limit bytes (else kTooLarge).
  ZipStatus readAll(const std::string& name, std::string& text, size_t limit);

  struct Place {
    ByteSource& source;
    uint64_t size = 0;
    uint64_t position = 0;
    bool failed = false;  // a read or a seek failed: the archive cannot be trusted
  };

 private:
  Place place_;
  ZipLimits limits_;
  void* zip_ = nullptr;
  uint64_t inflated_ = 0;           // bytes inflated so far, of all entries
  std::set<uint64_t> entriesRead_;  // by their place in the archive's directory
};
