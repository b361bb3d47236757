// Small helpers shared by the value tests: building values from test bytes and checking a result
// together with its form (an empty result must be the absent form).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/operations.h"
#include "text/values.h"

namespace lumaclip::testing {

// A fresh text of `bytes` (absent when empty).
inline Text T(std::string_view bytes) {
  return Text::FromBytes(bytes);
}
inline Bytes B(std::string_view bytes) {
  return Bytes::FromBytes(bytes);
}

// Bytes as a readable trace: printable ASCII kept, everything else as \xNN.
inline std::string Shown(std::string_view bytes) {
  std::string out = "<";
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out + ">";
}

// The bytes of `actual`, its terminating zero, and its form: present exactly when not empty.
inline void ExpectText(const Text& actual, std::string_view expected) {
  EXPECT_EQ(Shown(actual.View()), Shown(expected));
  EXPECT_EQ(actual.Length(), static_cast<int32_t>(expected.size()));
  EXPECT_EQ(actual.CString()[actual.Length()], '\0');
  EXPECT_EQ(actual.IsPresent(), !expected.empty()) << "an empty result must be absent";
  EXPECT_EQ(actual.PlatformPointer() == nullptr, expected.empty());
}

inline void ExpectBytes(const Bytes& actual, std::string_view expected) {
  EXPECT_EQ(Shown(actual.View()), Shown(expected));
  EXPECT_EQ(actual.Count(), static_cast<int32_t>(expected.size()));
  EXPECT_EQ(actual.IsPresent(), !expected.empty()) << "an empty result must be absent";
  EXPECT_EQ(actual.PlatformPointer() == nullptr, expected.empty());
}

// An array's elements, std::nullopt standing for an absent element.
using Elements = std::vector<std::optional<std::string>>;

inline Elements ElementsOf(const TextArray& array) {
  Elements out;
  for (int32_t i = 1; i <= ElementCount(array); ++i) {
    const Text& element = ElementAt(array, i);
    if (element.IsPresent()) {
      out.emplace_back(std::string(element.View()));
    } else {
      EXPECT_EQ(element.Length(), 0);
      out.emplace_back(std::nullopt);
    }
  }
  return out;
}

}  // namespace lumaclip::testing
