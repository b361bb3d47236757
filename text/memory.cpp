// The value heap over the C allocator. Global operator new is routed here too, so that exhausted
// memory anywhere in the program takes the one memory report instead of an exception or abort.
#include "text/memory.h"

#include <cstdlib>
#include <new>

#include "text/fatal_report.h"

namespace lumaclip {

void* AllocateBlock(int64_t bytes) {
  if (bytes < 0) ReportOutOfMemory(bytes);
  void* block = std::malloc(bytes == 0 ? 1 : static_cast<std::size_t>(bytes));
  if (block == nullptr) ReportOutOfMemory(bytes);
  return block;
}

void* ResizeBlock(void* block, int64_t bytes) {
  if (bytes < 0) ReportOutOfMemory(bytes);
  void* resized = std::realloc(block, bytes == 0 ? 1 : static_cast<std::size_t>(bytes));
  if (resized == nullptr) ReportOutOfMemory(bytes);
  return resized;
}

void ReleaseBlock(void* block) noexcept {
  std::free(block);
}

}  // namespace lumaclip

// Replaced in the sanitizer builds too: the sanitizers still watch every block through malloc and
// free, and a refused block then takes the same memory report as in the shipped program.
void* operator new(std::size_t size) {
  return lumaclip::AllocateBlock(static_cast<int64_t>(size > INT64_MAX ? INT64_MAX : size));
}
void* operator new[](std::size_t size) {
  return ::operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
