#include "goods/goods_file_watch.h"

#include <utility>
#include <vector>

#include "goods/goods_file.h"
#include "goods/input_file.h"
#include "text/text_encoding.h"

namespace {

// The source as the reader sees it; the file's identity is compared with before's at every
// rewind, which comes between the two readings. A change makes the rewind fail, so that
// nothing more is read.
class WatchedSource final : public ByteSource {
 public:
  WatchedSource(ByteSource& source, const std::function<FileIdentity()>& identityNow,
                const FileIdentity& before)
      : source_(source), identityNow_(identityNow), before_(before) {}

  int64_t read(char* buffer, size_t size) override { return source_.read(buffer, size); }
  bool rewind() override { return unchanged() && source_.rewind(); }
  int64_t size() override { return source_.size(); }
  bool seek(uint64_t offset) override { return source_.seek(offset); }
  // Compares now; once a change has been seen, the file stays changed.
  bool unchanged() {
    changed_ = changed_ || !Unchanged(before_, identityNow_());
    return !changed_;
  }

 private:
  ByteSource& source_;
  const std::function<FileIdentity()>& identityNow_;
  const FileIdentity& before_;
  bool changed_ = false;
};

struct HeldMessage {
  std::string text;
  uint32_t style;
};

}  // namespace

std::string GoodsFileChangedText(const std::string& fileName) {
  return Utf8ToCp1251("Файл изменился во время чтения: ") + fileName;
}

bool ReadUnchangedGoodsFrom(ByteSource& source, const std::function<FileIdentity()>& identityNow,
                            const FileIdentity& before, const std::string& fileName,
                            bool wholeUnitPrices, GoodsTable& table, const MessageSink& show) {
  WatchedSource watched(source, identityNow, before);
  // What the reader has to say waits until it is known whether the file held still: about a
  // file that changed, only that is told.
  std::vector<HeldMessage> held;
  const MessageSink hold = [&held](const std::string& text, uint32_t style) {
    held.push_back({text, style});
  };
  const bool read =
      watched.unchanged() && ReadGoodsFrom(watched, fileName, wholeUnitPrices, table, hold);
  if (!watched.unchanged()) {
    table.create();
    show(GoodsFileChangedText(fileName), kIconError);
    return false;
  }
  for (const HeldMessage& message : held) show(message.text, message.style);
  return read;
}

bool ReadUnchangedGoodsFile(const std::string& path, const std::string& fileName,
                            bool wholeUnitPrices, const FileIdentity& before, GoodsTable& table,
                            const MessageSink& show) {
  InputFile file;
  if (!file.open(path)) {
    table.create();
    show(CannotReadText(fileName), kIconError);
    return false;
  }
  const std::function<FileIdentity()> identityNow = [&file] { return file.identity(); };
  if (!ReadUnchangedGoodsFrom(file, identityNow, before, fileName, wholeUnitPrices, table, show)) {
    return false;
  }
  // The file read may no longer be the one its name gives: another put in its place (renamed
  // over it) while it was read leaves the open file as it was. This is the last look before
  // the first frame goes out.
  if (Unchanged(before, IdentityOfFile(path))) return true;
  table.create();
  show(GoodsFileChangedText(fileName), kIconError);
  return false;
}
