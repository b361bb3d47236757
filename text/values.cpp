// Storage of Text, Bytes and TextArray: owned blocks from the value heap, shared constants.
#include "text/values.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "text/fatal_report.h"
#include "text/memory.h"

namespace lumaclip {
namespace {

constexpr int64_t kLargestCount = INT32_MAX;

char* CopyIntoBlock(const char* bytes, int32_t length) {
  auto* block = static_cast<char*>(AllocateBlock(int64_t{length} + 1));
  if (length > 0) std::memcpy(block, bytes, static_cast<std::size_t>(length));
  block[length] = '\0';
  return block;
}

// The constant empty Bytes points here: present, with no data byte of its own.
char kNoByte = 0;

}  // namespace

Text::Text(const Text& other) : length_(other.length_), owned_(other.owned_) {
  data_ = other.owned_ ? CopyIntoBlock(other.data_, other.length_) : other.data_;
}

Text::Text(Text&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      owned_(std::exchange(other.owned_, false)) {}

Text& Text::operator=(const Text& other) {
  if (this != &other) {
    Text copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Text& Text::operator=(Text&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    length_ = std::exchange(other.length_, 0);
    owned_ = std::exchange(other.owned_, false);
  }
  return *this;
}

Text::~Text() {
  Release();
}

void Text::Release() noexcept {
  if (owned_) ReleaseBlock(data_);
  data_ = nullptr;
  length_ = 0;
  owned_ = false;
}

Text Text::FromBytes(std::string_view bytes) {
  const void* zero = bytes.empty() ? nullptr : std::memchr(bytes.data(), 0, bytes.size());
  std::size_t length = zero ? static_cast<const char*>(zero) - bytes.data() : bytes.size();
  if (length == 0) return Text();
  if (length >= static_cast<std::size_t>(kLargestCount)) {
    ReportOutOfMemory(static_cast<int64_t>(length) + 1);
  }
  Text text;
  text.data_ = CopyIntoBlock(bytes.data(), static_cast<int32_t>(length));
  text.length_ = static_cast<int32_t>(length);
  text.owned_ = true;
  return text;
}

Text Text::OwnedBlank(int32_t count) {
  if (count < 0) count = 0;
  if (count == kLargestCount) ReportOutOfMemory(int64_t{count} + 1);
  Text text;
  text.data_ = static_cast<char*>(AllocateBlock(int64_t{count} + 1));
  std::memset(text.data_, ' ', static_cast<std::size_t>(count));
  text.data_[count] = '\0';
  text.length_ = count;
  text.owned_ = true;
  return text;
}

char* Text::MutableData() {
  if (data_ != nullptr && !owned_) {
    data_ = CopyIntoBlock(data_, length_);
    owned_ = true;
  }
  return data_;
}

Bytes::Bytes(const Bytes& other) : count_(other.count_), present_(other.present_) {
  if (other.capacity_ == 0) {
    data_ = other.data_;  // absent, or the shared constant
  } else if (other.count_ == 0) {
    present_ = false;
  } else {
    data_ = static_cast<char*>(AllocateBlock(other.count_));
    std::memcpy(data_, other.data_, static_cast<std::size_t>(other.count_));
    capacity_ = other.count_;
  }
}

Bytes::Bytes(Bytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      count_(std::exchange(other.count_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      present_(std::exchange(other.present_, false)) {}

Bytes& Bytes::operator=(const Bytes& other) {
  if (this != &other) {
    Bytes copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Bytes& Bytes::operator=(Bytes&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    count_ = std::exchange(other.count_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    present_ = std::exchange(other.present_, false);
  }
  return *this;
}

Bytes::~Bytes() {
  Release();
}

void Bytes::Release() noexcept {
  if (capacity_ > 0) ReleaseBlock(data_);
  data_ = nullptr;
  count_ = 0;
  capacity_ = 0;
  present_ = false;
}

Bytes Bytes::EmptyConstant() noexcept {
  Bytes constant;
  constant.data_ = &kNoByte;
  constant.present_ = true;
  return constant;
}

Bytes Bytes::FromBytes(std::string_view bytes) {
  Bytes result;
  result.Append(bytes);
  return result;
}

Bytes Bytes::Zeroed(int32_t count) {
  Bytes result;
  if (count <= 0) return result;
  result.data_ = static_cast<char*>(AllocateBlock(count));
  std::memset(result.data_, 0, static_cast<std::size_t>(count));
  result.count_ = result.capacity_ = count;
  result.present_ = true;
  return result;
}

void Bytes::Append(std::string_view more) {
  if (more.empty()) return;
  const int64_t needed = int64_t{count_} + static_cast<int64_t>(more.size());
  if (needed > kLargestCount) ReportOutOfMemory(needed);
  // `more` may be this value's own bytes, which an enlarged block moves.
  const bool ownBytes = capacity_ > 0 && more.data() >= data_ && more.data() < data_ + count_;
  const std::ptrdiff_t ownOffset = ownBytes ? more.data() - data_ : 0;
  if (needed > capacity_) {
    int64_t grown = std::max<int64_t>(needed, int64_t{capacity_} * 2);
    if (grown > kLargestCount) grown = kLargestCount;
    char* block = capacity_ > 0 ? static_cast<char*>(ResizeBlock(data_, grown))
                                : static_cast<char*>(AllocateBlock(grown));
    data_ = block;
    capacity_ = static_cast<int32_t>(grown);
  }
  const char* source = ownBytes ? data_ + ownOffset : more.data();
  std::memcpy(data_ + count_, source, more.size());
  count_ = static_cast<int32_t>(needed);
  present_ = true;
}

void TextArray::Push(Text element) {
  if (elements_.size() >= static_cast<std::size_t>(kLargestCount)) {
    ReportOutOfMemory(static_cast<int64_t>((elements_.size() + 1) * sizeof(Text)));
  }
  elements_.push_back(std::move(element));
}

}  // namespace lumaclip
