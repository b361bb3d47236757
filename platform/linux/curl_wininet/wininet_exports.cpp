// The seven WinINet operations, exported by name from liblumaclip_wininet.so with WinINet's own
// signatures. Nothing else leaves the library, and no exception crosses this boundary: a failure
// of any kind is the operation's failure result (a null handle or FALSE).
#include <type_traits>

#include "platform/linux/curl_wininet/internet_objects.h"
#include "web/wininet_operations.h"

#define LUMACLIP_EXPORT __attribute__((visibility("default")))

using lumaclip::InternetBool;
using lumaclip::InternetDword;
using lumaclip::InternetHandle;
namespace layer = lumaclip::curl_wininet;

extern "C" {

LUMACLIP_EXPORT InternetHandle InternetOpenA(const char* agent, InternetDword accessType,
                                             const char* proxy, const char* proxyBypass,
                                             InternetDword flags) {
  try {
    return layer::OpenSession(agent, accessType, proxy, proxyBypass, flags);
  } catch (...) {
    return nullptr;
  }
}

LUMACLIP_EXPORT InternetHandle InternetConnectA(InternetHandle session, const char* serverName,
                                                uint16_t serverPort, const char* userName,
                                                const char* password, InternetDword service,
                                                InternetDword flags, uintptr_t context) {
  try {
    return layer::OpenConnection(session, serverName, serverPort, service);
  } catch (...) {
    return nullptr;
  }
}

LUMACLIP_EXPORT InternetHandle HttpOpenRequestA(InternetHandle connection, const char* verb,
                                                const char* objectName, const char* version,
                                                const char* referrer, const char** acceptTypes,
                                                InternetDword flags, uintptr_t context) {
  try {
    return layer::OpenRequest(connection, verb, objectName, version, referrer, acceptTypes, flags);
  } catch (...) {
    return nullptr;
  }
}

LUMACLIP_EXPORT InternetBool HttpSendRequestA(InternetHandle request, const char* headers,
                                              InternetDword headersLength, void* optional,
                                              InternetDword optionalLength) {
  try {
    return layer::SendRequest(request, headers, headersLength, optional, optionalLength) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

LUMACLIP_EXPORT InternetBool InternetReadFile(InternetHandle file, void* buffer,
                                              InternetDword bytesToRead, InternetDword* bytesRead) {
  try {
    return layer::ReadResponse(file, buffer, bytesToRead, bytesRead) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

LUMACLIP_EXPORT InternetBool HttpQueryInfoA(InternetHandle request, InternetDword infoLevel,
                                            void* buffer, InternetDword* bufferLength,
                                            InternetDword* index) {
  try {
    return layer::QueryResponse(request, infoLevel, buffer, bufferLength, index) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

LUMACLIP_EXPORT InternetBool InternetCloseHandle(InternetHandle handle) {
  try {
    return layer::CloseInternetHandle(handle) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"

// The exports must keep the exact types of the table that binds them.
static_assert(std::is_same_v<decltype(&InternetOpenA), lumaclip::InternetOpenAFunction>);
static_assert(std::is_same_v<decltype(&InternetConnectA), lumaclip::InternetConnectAFunction>);
static_assert(std::is_same_v<decltype(&HttpOpenRequestA), lumaclip::HttpOpenRequestAFunction>);
static_assert(std::is_same_v<decltype(&HttpSendRequestA), lumaclip::HttpSendRequestAFunction>);
static_assert(std::is_same_v<decltype(&InternetReadFile), lumaclip::InternetReadFileFunction>);
static_assert(std::is_same_v<decltype(&HttpQueryInfoA), lumaclip::HttpQueryInfoAFunction>);
static_assert(
    std::is_same_v<decltype(&InternetCloseHandle), lumaclip::InternetCloseHandleFunction>);
