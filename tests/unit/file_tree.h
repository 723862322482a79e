// Small host file trees for the tests of the file calls and the deletion.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

// Creates a file (and its folders) with some content and the given permissions.
inline void MakeFile(const std::string& hostPath, mode_t mode = 0644) {
  std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
  std::ofstream(hostPath) << "content of " << hostPath;
  chmod(hostPath.c_str(), mode);
}

// Whether anything (a file, a folder, a link, even a dangling one) is at the host path.
inline bool Exists(const std::string& hostPath) {
  struct stat info {};
  return lstat(hostPath.c_str(), &info) == 0;
}

// A Windows path of exactly `length` characters: `folder` followed by backslash-separated
// components of at most 50 characters, the last one `last` padded with 'x' at its front.
inline std::wstring PathOfLength(std::wstring folder, std::size_t length, const std::wstring& last = L".txt") {
  if (folder.back() != L'\\') folder += L'\\';
  while (folder.size() + last.size() + 50 < length) folder += std::wstring(49, L'd') + L'\\';
  return folder + std::wstring(length - folder.size() - last.size(), L'x') + last;
}
