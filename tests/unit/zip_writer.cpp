#include "zip_writer.h"

#include <zlib.h>

#include <stdexcept>

namespace {

void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::string RawDeflate(const std::string& data) {
  z_stream stream{};
  if (deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflate");
  std::string out(deflateBound(&stream, data.size()) + 16, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// The traditional PKWARE stream cipher.
class Cipher {
 public:
  explicit Cipher(const std::string& password) {
    for (char c : password) Update(static_cast<unsigned char>(c));
  }
  unsigned char Encrypt(unsigned char plain) {
    const unsigned temp = (m_keys[2] | 2) & 0xFFFF;
    const auto mask = static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
    Update(plain);
    return plain ^ mask;
  }

 private:
  static std::uint32_t Crc(std::uint32_t crc, unsigned char b) {
    return static_cast<std::uint32_t>(get_crc_table()[(crc ^ b) & 0xFF] ^ (crc >> 8));
  }
  void Update(unsigned char c) {
    m_keys[0] = Crc(m_keys[0], c);
    m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFF)) * 134775813u + 1;
    m_keys[2] = Crc(m_keys[2], static_cast<unsigned char>(m_keys[1] >> 24));
  }
  std::uint32_t m_keys[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

}  // namespace

std::string WriteZip(const std::vector<ZipEntry>& entries) {
  std::string archive;
  std::string central;
  for (const ZipEntry& entry : entries) {
    const auto offset = static_cast<std::uint32_t>(archive.size());
    std::uint32_t crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size())));
    std::string body = entry.deflate ? RawDeflate(entry.data) : entry.data;
    std::uint32_t flag = entry.utf8Flag ? 0x0800 : 0;
    if (!entry.password.empty()) {
      flag |= 1;
      Cipher cipher(entry.password);
      std::string sealed;
      for (int i = 0; i < 11; ++i) sealed += static_cast<char>(cipher.Encrypt(static_cast<unsigned char>(0x5A + i * 7)));
      sealed += static_cast<char>(cipher.Encrypt(static_cast<unsigned char>(crc >> 24)));
      for (char c : body) sealed += static_cast<char>(cipher.Encrypt(static_cast<unsigned char>(c)));
      body = sealed;
    }
    if (entry.corruptData && body.size() > 14) {
      for (std::size_t i = 12; i < body.size(); i += 3) body[i] = static_cast<char>(body[i] ^ 0x5A);
    }
    if (entry.corruptCrc) crc ^= 0x00FF00FFu;
    const std::uint32_t method = entry.deflate ? 8 : 0;
    auto header = [&](std::string& out, bool isCentral) {
      Put32(out, isCentral ? 0x02014b50u : 0x04034b50u);
      if (isCentral) Put16(out, 20);
      Put16(out, 20);
      Put16(out, flag);
      Put16(out, method);
      Put16(out, entry.dosDateTime & 0xFFFF);
      Put16(out, entry.dosDateTime >> 16);
      Put32(out, crc);
      Put32(out, static_cast<std::uint32_t>(body.size()));
      Put32(out, static_cast<std::uint32_t>(entry.data.size()));
      Put16(out, static_cast<std::uint32_t>(entry.name.size()));
      Put16(out, 0);
      if (isCentral) {
        Put16(out, 0);  // comment
        Put16(out, 0);  // disk
        Put16(out, 0);  // internal attributes
        const bool folder = !entry.name.empty() && (entry.name.back() == '/' || entry.name.back() == '\\');
        Put32(out, folder ? 0x10 : 0);
        Put32(out, offset);
      }
      out += entry.name;
    };
    header(archive, false);
    archive += body;
    header(central, true);
  }
  const auto centralOffset = static_cast<std::uint32_t>(archive.size());
  archive += central;
  Put32(archive, 0x06054b50u);
  Put16(archive, 0);
  Put16(archive, 0);
  Put16(archive, static_cast<std::uint32_t>(entries.size()));
  Put16(archive, static_cast<std::uint32_t>(entries.size()));
  Put32(archive, static_cast<std::uint32_t>(central.size()));
  Put32(archive, centralOffset);
  Put16(archive, 0);
  return archive;
}
