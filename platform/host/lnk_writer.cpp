// Host platform: serialises a shell link (MS-SHLLINK: header, target item list or link info,
// string data, extra data terminator), little-endian throughout.
#include "lnk_writer.h"

#include <iconv.h>

#include <cwctype>

#include "text.h"

namespace host {

namespace {

// Link flags.
constexpr DWORD kHasLinkTargetIdList = 0x00000001;
constexpr DWORD kHasLinkInfo = 0x00000002;
constexpr DWORD kHasName = 0x00000004;
constexpr DWORD kHasRelativePath = 0x00000008;
constexpr DWORD kHasWorkingDir = 0x00000010;
constexpr DWORD kHasArguments = 0x00000020;
constexpr DWORD kHasIconLocation = 0x00000040;
constexpr DWORD kIsUnicode = 0x00000080;

constexpr DWORD kHeaderSize = 0x4C;
// The link's own class: 00021401-0000-0000-C000-000000000046, in its stored byte order.
constexpr unsigned char kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// The Internet folder: 871C5380-42A0-1069-A2EA-08002B30309D.
constexpr unsigned char kInternetFolder[16] = {0x80, 0x53, 0x1C, 0x87, 0xA0, 0x42, 0x69, 0x10,
                                               0xA2, 0xEA, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};
constexpr unsigned char kRootFolderItem = 0x1F;
constexpr unsigned char kSortIndexInternet = 0x68;
constexpr unsigned char kUriItem = 0x61;
constexpr unsigned char kUriItemUnicode = 0x80;

constexpr DWORD kLinkInfoHeaderWithUnicode = 0x24;
constexpr DWORD kVolumeIdAndLocalBasePath = 0x1;
constexpr DWORD kDriveFixed = 3;
constexpr DWORD kVolumeIdHeader = 0x10;

void PutU16(std::string& out, unsigned value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void PutU32(std::string& out, DWORD value) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void PutU64(std::string& out, std::uint64_t value) {
  PutU32(out, static_cast<DWORD>(value));
  PutU32(out, static_cast<DWORD>(value >> 32));
}


std::string Utf16Bytes(const std::wstring& text) {
  std::string bytes;
  for (char16_t unit : Utf16FromWide(text)) PutU16(bytes, unit);
  return bytes;
}

// A StringData entry: a count of UTF-16 units, then the units without a terminator.
void PutCountedString(std::string& out, const std::wstring& text) {
  const std::string units = Utf16Bytes(text);
  PutU16(out, static_cast<unsigned>(units.size() / 2));
  out += units;
}

// The Internet folder's root item, then the address as a URI item, then the list's terminator.
std::string AddressIdList(const std::wstring& address) {
  std::string root;
  PutU16(root, 20);
  root += static_cast<char>(kRootFolderItem);
  root += static_cast<char>(kSortIndexInternet);
  root.append(reinterpret_cast<const char*>(kInternetFolder), sizeof kInternetFolder);

  const std::string text = Utf16Bytes(address) + std::string(2, '\0');
  std::string uri;
  PutU16(uri, static_cast<unsigned>(6 + text.size()));
  uri += static_cast<char>(kUriItem);
  uri += static_cast<char>(kUriItemUnicode);
  PutU16(uri, 0);  // no connection data: the address alone
  uri += text;

  std::string list = root + uri;
  PutU16(list, 0);
  // Item and list sizes are 16-bit: an address too long for them has no item list.
  if (6 + text.size() > 0xFFFF || list.size() > 0xFFFF) return {};
  std::string out;
  PutU16(out, static_cast<unsigned>(list.size()));
  return out + list;
}

std::string LocalLinkInfo(const std::wstring& path) {
  const wchar_t drive = path.empty() ? L'C' : path[0];
  std::string volume;
  PutU32(volume, kVolumeIdHeader + 1);
  PutU32(volume, kDriveFixed);
  // A fixed serial number per drive letter: the emulated drives have no real one.
  PutU32(volume, 0x54360000u | static_cast<DWORD>(drive & 0xFF));
  PutU32(volume, kVolumeIdHeader);
  volume += '\0';  // empty volume label

  const std::string basePath = AnsiFromWide(path) + '\0';
  const std::string suffix(1, '\0');
  const std::string basePathUnicode = Utf16Bytes(path) + std::string(2, '\0');
  const std::string suffixUnicode(2, '\0');

  const DWORD volumeOffset = kLinkInfoHeaderWithUnicode;
  const DWORD basePathOffset = volumeOffset + static_cast<DWORD>(volume.size());
  const DWORD suffixOffset = basePathOffset + static_cast<DWORD>(basePath.size());
  const DWORD basePathUnicodeOffset = suffixOffset + static_cast<DWORD>(suffix.size());
  const DWORD suffixUnicodeOffset = basePathUnicodeOffset + static_cast<DWORD>(basePathUnicode.size());
  const DWORD size = suffixUnicodeOffset + static_cast<DWORD>(suffixUnicode.size());

  std::string info;
  PutU32(info, size);
  PutU32(info, kLinkInfoHeaderWithUnicode);
  PutU32(info, kVolumeIdAndLocalBasePath);
  PutU32(info, volumeOffset);
  PutU32(info, basePathOffset);
  PutU32(info, 0);  // no network location
  PutU32(info, suffixOffset);
  PutU32(info, basePathUnicodeOffset);
  PutU32(info, suffixUnicodeOffset);
  return info + volume + basePath + suffix + basePathUnicode + suffixUnicode;
}

bool IsDrivePath(const std::wstring& path) {
  return path.size() >= 3 && path[1] == L':' && path[2] == L'\\' && path[0] < 0x80 && std::iswalpha(path[0]);
}

}  // namespace

std::string AnsiFromWide(const std::wstring& text) {
  std::string out;
  iconv_t converter = iconv_open("GBK", "UTF-8");
  for (wchar_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    std::string utf8 = Utf8FromWide(std::wstring(1, c));
    char in[8] = {};
    char converted[8] = {};
    utf8.copy(in, sizeof in - 1);
    char* inPtr = in;
    char* outPtr = converted;
    std::size_t inLeft = utf8.size(), outLeft = sizeof converted;
    if (converter != reinterpret_cast<iconv_t>(-1) &&
        iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0)
      out.append(converted, outPtr);
    else
      out += '?';
  }
  if (converter != reinterpret_cast<iconv_t>(-1)) iconv_close(converter);
  return out;
}

std::string ShellLinkBytes(const ShellLinkContents& link) {
  const bool local = !link.targetIsAddress && IsDrivePath(link.target);
  const bool relative = !link.targetIsAddress && !local && !link.target.empty();
  DWORD flags = kIsUnicode;
  if (link.targetIsAddress) flags |= kHasLinkTargetIdList;
  if (local) flags |= kHasLinkInfo;
  if (!link.description.empty()) flags |= kHasName;
  if (relative) flags |= kHasRelativePath;
  if (!link.workingDirectory.empty()) flags |= kHasWorkingDir;
  if (!link.arguments.empty()) flags |= kHasArguments;
  if (!link.iconLocation.empty()) flags |= kHasIconLocation;

  std::string out;
  PutU32(out, kHeaderSize);
  out.append(reinterpret_cast<const char*>(kLinkClsid), sizeof kLinkClsid);
  PutU32(out, flags);
  PutU32(out, link.targetIsAddress ? 0 : link.fileAttributes);
  PutU64(out, link.creationTime);
  PutU64(out, link.accessTime);
  PutU64(out, link.writeTime);
  PutU32(out, link.fileSize);
  PutU32(out, static_cast<DWORD>(link.iconIndex));
  PutU32(out, static_cast<DWORD>(link.showCommand));  // offset 0x3C
  PutU16(out, link.hotkey);
  PutU16(out, 0);
  PutU32(out, 0);
  PutU32(out, 0);

  if (link.targetIsAddress) {
    const std::string items = AddressIdList(link.target);
    if (items.empty()) return {};
    out += items;
  }
  if (local) out += LocalLinkInfo(link.target);
  if (flags & kHasName) PutCountedString(out, link.description);
  if (flags & kHasRelativePath) PutCountedString(out, link.target);
  if (flags & kHasWorkingDir) PutCountedString(out, link.workingDirectory);
  if (flags & kHasArguments) PutCountedString(out, link.arguments);
  if (flags & kHasIconLocation) PutCountedString(out, link.iconLocation);
  PutU32(out, 0);  // no extra data blocks
  return out;
}

}  // namespace host
