#include "goods/zip_archive.h"

#include <cstring>
#include <vector>

#include "unzip.h"

namespace {

// minizip's file functions over the bytes in memory.
voidpf OpenMemory(voidpf opaque, const void*, int) { return opaque; }

uLong ReadMemory(voidpf, voidpf stream, void* buffer, uLong size) {
  auto& memory = *static_cast<ZipArchive::Memory*>(stream);
  const uint64_t left =
      memory.position < memory.bytes.size() ? memory.bytes.size() - memory.position : 0;
  const uLong count = size < left ? size : static_cast<uLong>(left);
  std::memcpy(buffer, memory.bytes.data() + memory.position, count);
  memory.position += count;
  return count;
}

uLong WriteNothing(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T TellMemory(voidpf, voidpf stream) {
  return static_cast<ZipArchive::Memory*>(stream)->position;
}

long SeekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto& memory = *static_cast<ZipArchive::Memory*>(stream);
  uint64_t base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = memory.position;
  if (origin == ZLIB_FILEFUNC_SEEK_END) base = memory.bytes.size();
  if (offset > memory.bytes.size() || base > memory.bytes.size() - offset) return -1;
  memory.position = base + offset;
  return 0;
}

int CloseMemory(voidpf, voidpf) { return 0; }
int NoError(voidpf, voidpf) { return 0; }

constexpr size_t kPieceSize = 64 * 1024;

}  // namespace

ZipArchive::ZipArchive(std::string_view bytes) { memory_.bytes = bytes; }

ZipArchive::~ZipArchive() {
  if (zip_ != nullptr) unzClose(zip_);
}

ZipStatus ZipArchive::open() {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = OpenMemory;
  functions.zread_file = ReadMemory;
  functions.zwrite_file = WriteNothing;
  functions.ztell64_file = TellMemory;
  functions.zseek64_file = SeekMemory;
  functions.zclose_file = CloseMemory;
  functions.zerror_file = NoError;
  functions.opaque = &memory_;
  zip_ = unzOpen2_64("", &functions);
  if (zip_ == nullptr) return ZipStatus::kDamaged;
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(zip_, &global) != UNZ_OK) return ZipStatus::kDamaged;
  if (global.number_entry > kZipEntryLimit) return ZipStatus::kTooLarge;
  return ZipStatus::kOk;
}

bool ZipArchive::has(const std::string& name) {
  return zip_ != nullptr && unzLocateFile(zip_, name.c_str(), 1) == UNZ_OK;
}

ZipStatus ZipArchive::read(const std::string& name,
                           const std::function<bool(std::string_view)>& sink) {
  if (!has(name)) return ZipStatus::kMissing;
  unz_file_info64 info{};
  if (unzGetCurrentFileInfo64(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
    return ZipStatus::kDamaged;
  }
  if ((info.flag & 1) != 0) return ZipStatus::kEncrypted;
  if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) {
    return ZipStatus::kDamaged;
  }
  // The declared size decides before anything is inflated; minizip then inflates no more
  // than it, and an entry whose data gives less, or other bytes, is damaged.
  if (info.uncompressed_size > kZipPartLimit) return ZipStatus::kTooLarge;
  if (unzOpenCurrentFile(zip_) != UNZ_OK) return ZipStatus::kDamaged;
  std::vector<char> piece(kPieceSize);
  uint64_t total = 0;
  ZipStatus status = ZipStatus::kOk;
  for (;;) {
    const int count = unzReadCurrentFile(zip_, piece.data(), static_cast<unsigned>(piece.size()));
    if (count < 0) {
      status = ZipStatus::kDamaged;
      break;
    }
    if (count == 0) break;
    total += static_cast<uint64_t>(count);
    if (total > kZipPartLimit) {
      status = ZipStatus::kTooLarge;
      break;
    }
    if (!sink(std::string_view(piece.data(), static_cast<size_t>(count)))) {
      status = ZipStatus::kStopped;
      break;
    }
  }
  const int closed = unzCloseCurrentFile(zip_);
  const bool whole = closed == UNZ_OK && total == info.uncompressed_size;
  if (status == ZipStatus::kOk && !whole) status = ZipStatus::kDamaged;
  return status;
}

ZipStatus ZipArchive::readAll(const std::string& name, std::string& text, size_t limit) {
  text.clear();
  const ZipStatus status = read(name, [&](std::string_view piece) {
    if (piece.size() > limit - text.size()) return false;
    text.append(piece);
    return true;
  });
  return status == ZipStatus::kStopped ? ZipStatus::kTooLarge : status;
}
