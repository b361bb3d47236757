// The table of the seven WinINet operations: each entry is found by name in "wininet.dll" through
// the installed LibraryLoader on its first call and kept for the run.
//
// No stack check follows a call: every entry is called through a pointer typed with the
// operation's exact signature and calling convention, so the callee cannot leave the stack other
// than it found it, and RunTimeError 6, which guards against a wrongly declared library function,
// has nothing to catch here.
#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>

#include "text/fatal_report.h"
#include "web/wininet_operations.h"

namespace lumaclip {
namespace {

enum Operation : std::size_t {
  kInternetOpenA,
  kInternetConnectA,
  kHttpOpenRequestA,
  kHttpSendRequestA,
  kInternetReadFile,
  kHttpQueryInfoA,
  kInternetCloseHandle,
  kOperationCount
};

constexpr const char* kOperationNames[kOperationCount] = {
    "InternetOpenA",    "InternetConnectA", "HttpOpenRequestA",   "HttpSendRequestA",
    "InternetReadFile", "HttpQueryInfoA",   "InternetCloseHandle"};

struct Binding {
  std::mutex mutex;  // guards loader and library; the bound entries are read without it
  LibraryLoader loader{};
  void* library = nullptr;
  std::atomic<void*> functions[kOperationCount]{};
};

Binding binding;

// Must be called with the mutex held.
void ReleaseLocked() {
  for (auto& function : binding.functions) function.store(nullptr, std::memory_order_relaxed);
  if (binding.library != nullptr && binding.loader.release != nullptr) {
    binding.loader.release(binding.library);
  }
  binding.library = nullptr;
}

[[noreturn]] void ReportMissing(const char* functionName) {
  // "无法找到指定DLL库文件“%s”中的输出命令“%s”"
  std::string message =
      "\xCE\xDE\xB7\xA8\xD5\xD2\xB5\xBD\xD6\xB8\xB6\xA8"
      "DLL\xBF\xE2\xCE\xC4\xBC\xFE\xA1\xB0";
  message += kWinInetLibraryName;
  message += "\xA1\xB1\xD6\xD0\xB5\xC4\xCA\xE4\xB3\xF6\xC3\xFC\xC1\xEE\xA1\xB0";
  message += functionName;
  message += "\xA1\xB1";
  FatalReport(0, message);
}

void* Bound(Operation operation) {
  void* function = binding.functions[operation].load(std::memory_order_acquire);
  if (function != nullptr) return function;
  {
    std::lock_guard lock(binding.mutex);
    function = binding.functions[operation].load(std::memory_order_relaxed);
    if (function != nullptr) return function;
    if (binding.library == nullptr && binding.loader.load != nullptr) {
      binding.library = binding.loader.load(kWinInetLibraryName);
    }
    if (binding.library != nullptr && binding.loader.find != nullptr) {
      function = binding.loader.find(binding.library, kOperationNames[operation]);
    }
    if (function != nullptr) {
      binding.functions[operation].store(function, std::memory_order_release);
      return function;
    }
  }
  // Reported outside the lock: ending the program may release the bound library.
  ReportMissing(kOperationNames[operation]);
}

template <typename Function>
Function BoundAs(Operation operation) {
  return reinterpret_cast<Function>(Bound(operation));
}

}  // namespace

void InstallLibraryLoader(const LibraryLoader& loader) {
  std::lock_guard lock(binding.mutex);
  ReleaseLocked();
  binding.loader = loader;
}

void ReleaseBoundLibrary() {
  std::lock_guard lock(binding.mutex);
  ReleaseLocked();
}

InternetHandle CallInternetOpenA(const char* agent, InternetDword accessType, const char* proxy,
                                 const char* proxyBypass, InternetDword flags) {
  return BoundAs<InternetOpenAFunction>(kInternetOpenA)(agent, accessType, proxy, proxyBypass,
                                                        flags);
}

InternetHandle CallInternetConnectA(InternetHandle session, const char* serverName,
                                    uint16_t serverPort, const char* userName, const char* password,
                                    InternetDword service, InternetDword flags, uintptr_t context) {
  return BoundAs<InternetConnectAFunction>(kInternetConnectA)(
      session, serverName, serverPort, userName, password, service, flags, context);
}

InternetHandle CallHttpOpenRequestA(InternetHandle connection, const char* verb,
                                    const char* objectName, const char* version,
                                    const char* referrer, const char** acceptTypes,
                                    InternetDword flags, uintptr_t context) {
  return BoundAs<HttpOpenRequestAFunction>(kHttpOpenRequestA)(
      connection, verb, objectName, version, referrer, acceptTypes, flags, context);
}

InternetBool CallHttpSendRequestA(InternetHandle request, const char* headers,
                                  InternetDword headersLength, void* optional,
                                  InternetDword optionalLength) {
  return BoundAs<HttpSendRequestAFunction>(kHttpSendRequestA)(request, headers, headersLength,
                                                              optional, optionalLength);
}

InternetBool CallInternetReadFile(InternetHandle file, void* buffer, InternetDword bytesToRead,
                                  InternetDword* bytesRead) {
  return BoundAs<InternetReadFileFunction>(kInternetReadFile)(file, buffer, bytesToRead, bytesRead);
}

InternetBool CallHttpQueryInfoA(InternetHandle request, InternetDword infoLevel, void* buffer,
                                InternetDword* bufferLength, InternetDword* index) {
  return BoundAs<HttpQueryInfoAFunction>(kHttpQueryInfoA)(request, infoLevel, buffer, bufferLength,
                                                          index);
}

InternetBool CallInternetCloseHandle(InternetHandle handle) {
  return BoundAs<InternetCloseHandleFunction>(kInternetCloseHandle)(handle);
}

}  // namespace lumaclip
