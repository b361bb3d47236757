// The three value kinds every routine works on: Text, Bytes and TextArray.
//
// Text is a byte string in the ANSI code page (never holding a zero byte), either absent (no
// storage, reads as the empty text) or present. Bytes is a counted buffer, absent when empty,
// except for the shared constant empty Bytes, which is present with count 0. Both own their
// storage and copy on assignment; literal constants are shared and never copied.
//
// Storage comes from the value heap (memory.h): a refused block ends the program with the
// memory report, so no operation here ever fails for lack of memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace lumaclip {

class Text {
 public:
  Text() noexcept = default;  // absent
  Text(const Text& other);
  Text(Text&& other) noexcept;
  Text& operator=(const Text& other);
  Text& operator=(Text&& other) noexcept;
  ~Text();

  // A shared, read-only constant over a string literal (present, even when empty).
  template <std::size_t N>
  static Text Literal(const char (&literal)[N]) noexcept {
    return Text(literal, static_cast<int32_t>(N - 1));
  }
  // A fresh copy of `bytes` up to (not including) the first zero byte; absent when that is empty.
  static Text FromBytes(std::string_view bytes);
  // A read-only text over `bytes` (which hold no zero byte) without copying them, for searching
  // and cutting a large buffer. The caller keeps the bytes alive and unchanged while this text and
  // every copy of it live (copies share them, as with constants). No zero byte need follow the
  // bytes, so CString() and PlatformPointer() are not to be used on it. Absent when empty.
  static Text Borrowed(std::string_view bytes) noexcept {
    if (bytes.empty()) return Text();
    return Text(bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  // A fresh present text of `count` bytes (0 or more), all 0x20, whose bytes the caller may
  // overwrite (without writing a zero byte).
  static Text OwnedBlank(int32_t count);

  bool IsPresent() const noexcept { return data_ != nullptr; }
  int32_t Length() const noexcept { return length_; }
  // The bytes, followed by a zero byte; "" for an absent text.
  const char* CString() const noexcept { return data_ ? data_ : ""; }
  // What a platform function receives: null for an absent text.
  const char* PlatformPointer() const noexcept { return data_; }
  // Writable bytes of a present text (a constant is first copied into storage of its own).
  char* MutableData();
  std::string_view View() const noexcept { return {CString(), static_cast<std::size_t>(length_)}; }

 private:
  Text(const char* constant, int32_t length) noexcept
      : data_(const_cast<char*>(constant)), length_(length), owned_(false) {}
  void Release() noexcept;

  char* data_ = nullptr;
  int32_t length_ = 0;
  bool owned_ = false;
};

class Bytes {
 public:
  Bytes() noexcept = default;  // absent
  Bytes(const Bytes& other);
  Bytes(Bytes&& other) noexcept;
  Bytes& operator=(const Bytes& other);
  Bytes& operator=(Bytes&& other) noexcept;
  ~Bytes();

  // The system's constant empty Bytes: present, count 0, shared.
  static Bytes EmptyConstant() noexcept;
  // A fresh copy of `bytes`; absent when empty.
  static Bytes FromBytes(std::string_view bytes);
  // `count` zero bytes; absent when `count` is 0 or less.
  static Bytes Zeroed(int32_t count);

  bool IsPresent() const noexcept { return present_; }
  int32_t Count() const noexcept { return count_; }
  // What a platform function receives: null for an absent value.
  const char* PlatformPointer() const noexcept { return present_ ? data_ : nullptr; }
  char* MutableData() noexcept { return data_; }
  std::string_view View() const noexcept {
    return {data_ ? data_ : "", static_cast<std::size_t>(count_)};
  }

  // Appends in place with geometric growth, so a body built piece by piece stays linear.
  void Append(std::string_view more);

 private:
  void Release() noexcept;

  char* data_ = nullptr;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
  bool present_ = false;
};

// Elements are numbered from 1; it grows only through AppendElement.
class TextArray {
 public:
  TextArray() = default;
  int32_t Count() const noexcept { return static_cast<int32_t>(elements_.size()); }
  Text& At(int32_t zeroBasedIndex) { return elements_[static_cast<std::size_t>(zeroBasedIndex)]; }
  const Text& At(int32_t zeroBasedIndex) const {
    return elements_[static_cast<std::size_t>(zeroBasedIndex)];
  }
  void Push(Text element);

 private:
  std::vector<Text> elements_;
};

}  // namespace lumaclip
