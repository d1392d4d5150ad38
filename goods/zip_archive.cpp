#include "goods/zip_archive.h"

#include <vector>

#include "unzip.h"

namespace {

// minizip's file functions over the source; only what they ask for is read, so that the
// archive is never held whole.
voidpf OpenPlace(voidpf opaque, const void*, int) { return opaque; }

uLong ReadPlace(voidpf, voidpf stream, void* buffer, uLong size) {
  auto& place = *static_cast<ZipArchive::Place*>(stream);
  uLong count = 0;
  while (count < size && !place.failed) {
    const int64_t got = place.source.read(static_cast<char*>(buffer) + count, size - count);
    if (got <= 0) {
      place.failed = got < 0;  // the end comes early only in a broken archive
      break;
    }
    count += static_cast<uLong>(got);
  }
  place.position += count;
  return count;
}

uLong WriteNothing(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T TellPlace(voidpf, voidpf stream) {
  return static_cast<ZipArchive::Place*>(stream)->position;
}

long SeekPlace(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto& place = *static_cast<ZipArchive::Place*>(stream);
  uint64_t base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = place.position;
  if (origin == ZLIB_FILEFUNC_SEEK_END) base = place.size;
  if (offset > place.size || base > place.size - offset) return -1;
  if (!place.source.seek(base + offset)) {
    place.failed = true;
    return -1;
  }
  place.position = base + offset;
  return 0;
}

int ClosePlace(voidpf, voidpf) { return 0; }
int ErrorOf(voidpf, voidpf stream) { return static_cast<ZipArchive::Place*>(stream)->failed; }

constexpr size_t kPieceSize = 64 * 1024;

}  // namespace

ZipArchive::ZipArchive(ByteSource& source, ZipLimits limits) : place_{source}, limits_(limits) {}

ZipArchive::~ZipArchive() {
  if (zip_ != nullptr) unzClose(zip_);
}

ZipStatus ZipArchive::open() {
  const int64_t size = place_.source.size();
  if (size < 0 || !place_.source.seek(0)) return ZipStatus::kDamaged;
  place_.size = static_cast<uint64_t>(size);
  zlib_filefunc64_def functions{};
  functions.zopen64_file = OpenPlace;
  functions.zread_file = ReadPlace;
  functions.zwrite_file = WriteNothing;
  functions.ztell64_file = TellPlace;
  functions.zseek64_file = SeekPlace;
  functions.zclose_file = ClosePlace;
  functions.zerror_file = ErrorOf;
  functions.opaque = &place_;
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
  // Two names may lead to one entry (a name repeated in the directory is found once, and the
  // parts that name others may name one part many times): each is read once at the most.
  unz64_file_pos position{};
  if (unzGetFilePos64(zip_, &position) != UNZ_OK) return ZipStatus::kDamaged;
  if (!entriesRead_.insert(position.pos_in_zip_directory).second) return ZipStatus::kRepeated;
  unz_file_info64 info{};
  if (unzGetCurrentFileInfo64(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
    return ZipStatus::kDamaged;
  }
  if ((info.flag & 1) != 0) return ZipStatus::kEncrypted;
  if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) {
    return ZipStatus::kDamaged;
  }
  // The limits count what comes out, not what the headers declare: a part read only as far
  // as its reader needs costs no more than that. minizip inflates no more than the declared
  // size, and an entry whose data gives less, or other bytes, is damaged.
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
    inflated_ += static_cast<uint64_t>(count);
    if (total > limits_.part || inflated_ > limits_.total) {
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
