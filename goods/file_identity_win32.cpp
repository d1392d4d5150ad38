#include <windows.h>

#include "goods/file_identity.h"
#include "text/file_path_win32.h"

FileIdentity IdentityOfFile(const std::string& path) {
  if (path.empty()) return {};
  // No access asked and every kind of sharing allowed: only the file's identity is read, and
  // the open conflicts with nobody. The long-path form names a file on disk, never a device.
  const HANDLE file = CreateFileW(SystemPath(path).c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  const FileIdentity identity = IdentityOfOpenFile(reinterpret_cast<intptr_t>(file));
  CloseHandle(file);
  return identity;
}

FileIdentity IdentityOfOpenFile(intptr_t handle) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (handle == -1 || !GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle), &information)) {
    return {};
  }
  FileIdentity identity;
  identity.known = true;
  identity.volume = information.dwVolumeSerialNumber;
  identity.file =
      static_cast<uint64_t>(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
  identity.size = static_cast<uint64_t>(information.nFileSizeHigh) << 32 | information.nFileSizeLow;
  identity.modified =
      static_cast<int64_t>(static_cast<uint64_t>(information.ftLastWriteTime.dwHighDateTime) << 32 |
                           information.ftLastWriteTime.dwLowDateTime);
  return identity;
}
