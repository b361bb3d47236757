// A WinINet layer that lacks HttpQueryInfoA: it exports the six other names, opens every handle
// and delivers an empty body, so that binding the seventh name ends the program.
#include <cstdint>

#define LAYER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
char handle;
}

LAYER_EXPORT void* InternetOpenA(const char*, uint32_t, const char*, const char*, uint32_t) {
  return &handle;
}
LAYER_EXPORT void* InternetConnectA(void*, const char*, uint16_t, const char*, const char*,
                                    uint32_t, uint32_t, uintptr_t) {
  return &handle;
}
LAYER_EXPORT void* HttpOpenRequestA(void*, const char*, const char*, const char*, const char*,
                                    const char**, uint32_t, uintptr_t) {
  return &handle;
}
LAYER_EXPORT int32_t HttpSendRequestA(void*, const char*, uint32_t, void*, uint32_t) {
  return 1;
}
LAYER_EXPORT int32_t InternetReadFile(void*, void*, uint32_t, uint32_t* bytesRead) {
  *bytesRead = 0;
  return 1;
}
LAYER_EXPORT int32_t InternetCloseHandle(void*) {
  return 1;
}
