// The seven WinINet operations (ANSI forms) through which the request routine reaches the network,
// declared with WinINet's own argument types so that the real "wininet.dll" and our own layers
// fill the same table. Each entry is bound by name from the library on its first call and kept for
// the run; a missing library or name ends the program with the fatal report.
#pragma once

#include <cstdint>

namespace lumaclip {

#if defined(_WIN32) && !defined(_WIN64)
#define LUMACLIP_WINAPI __stdcall
#else
#define LUMACLIP_WINAPI
#endif

using InternetHandle = void*;
using InternetBool = int32_t;    // BOOL
using InternetDword = uint32_t;  // DWORD: 32 bits on every Windows ABI

constexpr InternetDword kInternetOpenTypeDirect = 1;
constexpr InternetDword kInternetOpenTypeProxy = 3;
constexpr InternetDword kInternetServiceHttp = 3;
constexpr InternetDword kHttpQueryRawHeadersCrlf = 22;

constexpr InternetDword kInternetFlagReload = 0x80000000;
constexpr InternetDword kInternetFlagNeedFile = 0x00000010;
constexpr InternetDword kInternetFlagNoCookies = 0x00080000;
constexpr InternetDword kInternetFlagNoAutoRedirect = 0x00200000;
constexpr InternetDword kInternetFlagSecure = 0x00800000;
constexpr InternetDword kInternetFlagIgnoreRedirectToHttps = 0x00004000;
constexpr InternetDword kInternetFlagIgnoreRedirectToHttp = 0x00008000;

extern "C" {
using InternetOpenAFunction = InternetHandle(LUMACLIP_WINAPI*)(const char* agent,
                                                               InternetDword accessType,
                                                               const char* proxy,
                                                               const char* proxyBypass,
                                                               InternetDword flags);
using InternetConnectAFunction = InternetHandle(LUMACLIP_WINAPI*)(
    InternetHandle session, const char* serverName, uint16_t serverPort, const char* userName,
    const char* password, InternetDword service, InternetDword flags, uintptr_t context);
using HttpOpenRequestAFunction = InternetHandle(LUMACLIP_WINAPI*)(
    InternetHandle connection, const char* verb, const char* objectName, const char* version,
    const char* referrer, const char** acceptTypes, InternetDword flags, uintptr_t context);
using HttpSendRequestAFunction = InternetBool(LUMACLIP_WINAPI*)(InternetHandle request,
                                                                const char* headers,
                                                                InternetDword headersLength,
                                                                void* optional,
                                                                InternetDword optionalLength);
using InternetReadFileFunction = InternetBool(LUMACLIP_WINAPI*)(InternetHandle file, void* buffer,
                                                                InternetDword bytesToRead,
                                                                InternetDword* bytesRead);
using HttpQueryInfoAFunction = InternetBool(LUMACLIP_WINAPI*)(InternetHandle request,
                                                              InternetDword infoLevel, void* buffer,
                                                              InternetDword* bufferLength,
                                                              InternetDword* index);
using InternetCloseHandleFunction = InternetBool(LUMACLIP_WINAPI*)(InternetHandle handle);
}

// How the platform loads a library and finds a function in it by name.
struct LibraryLoader {
  void* (*load)(const char* libraryName);                  // null when it cannot be loaded
  void* (*find)(void* library, const char* functionName);  // null when there is no such name
  void (*release)(void* library);
};

// Installed once by the front end before the first request.
void InstallLibraryLoader(const LibraryLoader& loader);
// Releases the library bound for the seven operations, at the normal end of the program.
void ReleaseBoundLibrary();

// The library that is bound: "wininet.dll".
inline constexpr char kWinInetLibraryName[] = "wininet.dll";

// Each call binds its function on first use (safe from several threads) and forwards to it.
InternetHandle CallInternetOpenA(const char* agent, InternetDword accessType, const char* proxy,
                                 const char* proxyBypass, InternetDword flags);
InternetHandle CallInternetConnectA(InternetHandle session, const char* serverName,
                                    uint16_t serverPort, const char* userName, const char* password,
                                    InternetDword service, InternetDword flags, uintptr_t context);
InternetHandle CallHttpOpenRequestA(InternetHandle connection, const char* verb,
                                    const char* objectName, const char* version,
                                    const char* referrer, const char** acceptTypes,
                                    InternetDword flags, uintptr_t context);
InternetBool CallHttpSendRequestA(InternetHandle request, const char* headers,
                                  InternetDword headersLength, void* optional,
                                  InternetDword optionalLength);
InternetBool CallInternetReadFile(InternetHandle file, void* buffer, InternetDword bytesToRead,
                                  InternetDword* bytesRead);
InternetBool CallHttpQueryInfoA(InternetHandle request, InternetDword infoLevel, void* buffer,
                                InternetDword* bufferLength, InternetDword* index);
InternetBool CallInternetCloseHandle(InternetHandle handle);

}  // namespace lumaclip
