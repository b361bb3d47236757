// The three kinds of handle WinINet hands out (session, connection, request) and what each of the
// seven operations does with them. Handles are numbers looked up in a table, so a handle that was
// never given out or is already closed is refused instead of followed. Closing a handle closes the
// handles opened under it; a request closed while another thread waits in it ends that wait.
#pragma once

#include <cstdint>

#include "web/wininet_operations.h"

namespace lumaclip::curl_wininet {

InternetHandle OpenSession(const char* agent, InternetDword accessType, const char* proxy,
                           const char* proxyBypass, InternetDword flags);
InternetHandle OpenConnection(InternetHandle session, const char* serverName, uint16_t serverPort,
                              InternetDword service);
InternetHandle OpenRequest(InternetHandle connection, const char* verb, const char* objectName,
                           const char* version, const char* referrer, const char** acceptTypes,
                           InternetDword flags);
bool SendRequest(InternetHandle request, const char* headers, InternetDword headersLength,
                 const void* optional, InternetDword optionalLength);
bool ReadResponse(InternetHandle request, void* buffer, InternetDword bytesToRead,
                  InternetDword* bytesRead);
bool QueryResponse(InternetHandle request, InternetDword infoLevel, void* buffer,
                   InternetDword* bufferLength, InternetDword* index);
bool CloseInternetHandle(InternetHandle handle);

}  // namespace lumaclip::curl_wininet
