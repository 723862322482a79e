// Host platform: which code pages the host's iconv can convert.
#pragma once

#include <cstdint>

namespace host {
// True when iconv converts that Windows code page (65001 is UTF-8; others are "CP<n>").
bool CodePageKnown(std::uint32_t codePage);
}  // namespace host
