// A small zip writer for hostile packages: entries with any stored name bytes, flag, method,
// CRC and password, encrypted with the traditional PKWARE method. Tools that write good zips
// (Info-ZIP, 7-Zip) make the well-formed packages; this one makes what they never would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
  std::string name;        // stored as these bytes
  std::string data;        // uncompressed content
  bool utf8Flag = false;   // general purpose bit 11
  bool deflate = true;     // method 8, else stored (0)
  std::uint32_t dosDateTime = 0x52644a2b;  // date in the high 16 bits, time in the low 16
  std::string password = "q7Lm2xVr9TzK4";  // empty: not encrypted
  bool corruptCrc = false;   // store a CRC that does not match the data
  bool corruptData = false;  // flip bytes of the compressed data after encryption
};

// The whole archive, central directory included.
std::string WriteZip(const std::vector<ZipEntry>& entries);
