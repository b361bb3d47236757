// A handle of the WinINet operations that closes itself when its owner goes out of scope, so that
// handles close newest first on every path.
#pragma once

#include "web/wininet_operations.h"

namespace lumaclip {

class ScopedInternetHandle {
 public:
  explicit ScopedInternetHandle(InternetHandle handle = nullptr) noexcept : handle_(handle) {}
  ScopedInternetHandle(const ScopedInternetHandle&) = delete;
  ScopedInternetHandle& operator=(const ScopedInternetHandle&) = delete;
  ~ScopedInternetHandle() { Reset(); }

  InternetHandle get() const noexcept { return handle_; }
  // Closes the handle held (if any) and takes `handle` instead.
  void Reset(InternetHandle handle = nullptr) {
    if (handle_ != nullptr) CallInternetCloseHandle(handle_);
    handle_ = handle;
  }

 private:
  InternetHandle handle_;
};

}  // namespace lumaclip
