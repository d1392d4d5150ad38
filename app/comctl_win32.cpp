#include <windows.h>

#include <cstring>
#include <vector>

#include "app/comctl.h"
#include "app/library_win32.h"

namespace {

// INITCOMMONCONTROLSEX as the library takes it: its size and the classes.
struct CommonControlsRequest {
  DWORD size;
  DWORD classes;
};

using InitCommonControlsExProc = BOOL(WINAPI*)(const CommonControlsRequest*);
using InitCommonControlsProc = void(WINAPI*)();

constexpr UINT kPathBufferSize = 260;

}  // namespace

extern "C" int64_t __stdcall INITCOMCTL32(uint32_t classes) {
  HMODULE library = LoadLibraryA("COMCTL32.DLL");
  if (library == nullptr) return 0;
  if (auto initEx = LookUp<InitCommonControlsExProc>(library, "InitCommonControlsEx")) {
    const CommonControlsRequest request{sizeof(CommonControlsRequest),
                                        classes != 0 ? classes : kAllControlClasses};
    initEx(&request);
  } else if (auto init = LookUp<InitCommonControlsProc>(library, "InitCommonControls")) {
    init();
  }
  FreeLibrary(library);
  return GETSYSFILEVER("COMCTL32.DLL");
}

extern "C" int64_t __stdcall GETSYSFILEVER(const char* fileName) {
  char folder[kPathBufferSize] = {};
  UINT length = GetSystemDirectoryA(folder, kPathBufferSize);
  if (length >= kPathBufferSize) length = 0;  // no room: the name alone is looked for
  folder[length] = '\0';
  return FileVersionInFolder(folder, fileName);
}

int64_t FileVersionInFolder(const char* folder, const char* fileName) {
  char path[kPathBufferSize] = {};
  size_t length = folder != nullptr ? std::strlen(folder) : 0;
  if (length >= kPathBufferSize) length = 0;  // no room: the name alone is looked for
  if (length > 0) std::memcpy(path, folder, length);
  path[length] = '\0';
  if (length == 0 || path[length - 1] != '\\') {
    if (length + 1 < kPathBufferSize) path[length++] = '\\';
  }
  // The name is cut to fit the buffer, keeping its terminating zero.
  for (const char* p = fileName; p != nullptr && *p != '\0' && length + 1 < kPathBufferSize; ++p) {
    path[length++] = *p;
  }
  path[length] = '\0';

  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &handle);
  if (size == 0) return 0;
  std::vector<char> information(size);
  if (!GetFileVersionInfoA(path, 0, size, information.data())) return 0;
  void* block = nullptr;
  UINT blockSize = 0;
  if (!VerQueryValueA(information.data(), "\\", &block, &blockSize) || block == nullptr ||
      blockSize < sizeof(VS_FIXEDFILEINFO)) {
    return 0;
  }
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
  return FileVersionTenThousandths(fixed->dwFileVersionMS);
}
