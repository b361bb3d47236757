// Loads libraries from the system folder only: a "wininet.dll" left beside the program (say, in a
// downloads folder) must never be the one that is bound.
#include "platform/windows/win32_library_loader.h"

#include <windows.h>

#include <string>

namespace lumaclip {
namespace {

void* LoadFromSystemFolder(const char* libraryName) {
  HMODULE library = LoadLibraryExA(libraryName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (library == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
    // A system without the restricted search flags: name the system folder explicitly.
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::string path(folder, length);
    path += '\\';
    path += libraryName;
    library = LoadLibraryA(path.c_str());
  }
  return library;
}

void* FindFunction(void* library, const char* functionName) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), functionName));
}

void ReleaseLibrary(void* library) {
  FreeLibrary(static_cast<HMODULE>(library));
}

constexpr LibraryLoader kLoader{
    LoadFromSystemFolder,  // load
    FindFunction,          // find
    ReleaseLibrary,        // release
};

}  // namespace

const LibraryLoader& Win32LibraryLoader() {
  return kLoader;
}

}  // namespace lumaclip
