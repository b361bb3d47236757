// Loading libraries by name on Linux, with "wininet.dll" mapped to our own WinINet layer.
#include "platform/linux/system/library_loader.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace lumaclip::linux_system {
namespace {

void* OpenLibrary(const char* path) {
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* Load(const char* libraryName) {
  if (libraryName == nullptr) return nullptr;
  if (std::strcmp(libraryName, kWinInetLibraryName) != 0) return OpenLibrary(libraryName);
  for (const std::string& candidate :
       WinInetLayerCandidates(std::getenv(kWinInetLayerEnvironment), ExecutableFolder())) {
    if (void* library = OpenLibrary(candidate.c_str())) return library;
  }
  return nullptr;
}

void* Find(void* library, const char* functionName) {
  if (library == nullptr || functionName == nullptr) return nullptr;
  return dlsym(library, functionName);
}

void Release(void* library) {
  if (library != nullptr) dlclose(library);
}

}  // namespace

std::vector<std::string> WinInetLayerCandidates(const char* environmentPath,
                                                std::string_view executableFolder) {
  if (environmentPath != nullptr && environmentPath[0] != '\0') return {environmentPath};
  std::vector<std::string> candidates;
  if (!executableFolder.empty()) {
    std::string beside(executableFolder);
    if (beside.back() != '/') beside += '/';
    candidates.push_back(beside + kWinInetLayerFileName);
  }
  candidates.emplace_back(kWinInetLayerFileName);
  return candidates;
}

std::string ExecutableFolder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return {};
  std::string folder(path, static_cast<size_t>(length));
  const size_t slash = folder.rfind('/');
  if (slash == std::string::npos) return {};
  folder.resize(slash == 0 ? 1 : slash);
  return folder;
}

LibraryLoader LinuxLibraryLoader() {
  return LibraryLoader{Load, Find, Release};
}

void InstallLinuxLibraryLoader() {
  InstallLibraryLoader(LinuxLibraryLoader());
}

}  // namespace lumaclip::linux_system
