// Host text conversions: UTF-8 is decoded strictly, so no byte trick becomes a character.
#include <gtest/gtest.h>

#include "platform/host/text.h"

namespace {

TEST(Utf8Decoding, OnlyWellFormedSequencesBecomeCharacters) {
  const struct {
    const char* bytes;
    std::wstring expected;
  } cases[] = {
      {"a\xE4\xB8\xAD", L"a\u4E2D"},
      {"\xF0\x9F\x98\x80", L"\U0001F600"},
      {"\xC0\xBC", L"\uFFFD"},              // overlong '<'
      {"\xE0\x80\xBC", L"\uFFFD"},          // overlong '<' in three bytes
      {"\xF0\x80\x80\xBC", L"\uFFFD"},      // and in four
      {"\xED\xA0\x80", L"\uFFFD"},          // an encoded surrogate
      {"\xF4\x90\x80\x80", L"\uFFFD"},      // past U+10FFFF
      {"\xE4\xB8", L"\uFFFD\uFFFD"},        // cut short
      {"\x80x", L"\uFFFDx"},                // a lone continuation byte
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, host::WideFromUtf8(c.bytes)) << c.bytes;
}

}  // namespace
