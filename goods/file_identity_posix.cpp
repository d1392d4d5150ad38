#include <sys/stat.h>

#include "goods/file_identity.h"

namespace {

FileIdentity FromStatus(const struct stat& status) {
  FileIdentity identity;
  identity.known = true;
  identity.volume = static_cast<uint64_t>(status.st_dev);
  identity.file = static_cast<uint64_t>(status.st_ino);
  identity.size = static_cast<uint64_t>(status.st_size);
  identity.modified =
      static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  return identity;
}

}  // namespace

FileIdentity IdentityOfFile(const std::string& path) {
  struct stat status {};
  if (path.empty() || stat(path.c_str(), &status) != 0) return {};
  return FromStatus(status);
}

FileIdentity IdentityOfOpenFile(intptr_t handle) {
  struct stat status {};
  if (handle < 0 || fstat(static_cast<int>(handle), &status) != 0) return {};
  return FromStatus(status);
}
