// Host platform: the emulated machine (machine.ini, drive folders, registry database path).
#include "emulated_machine.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "code_pages_host.h"
#include "text.h"

namespace host {

namespace {

struct LoadedMachine {
  std::string root;
  MachineDescription description;
};

LoadedMachine& State() {
  static LoadedMachine state;
  return state;
}

std::string Trim(const std::string& s) {
  auto begin = s.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return {};
  auto end = s.find_last_not_of(" \t\r");
  return s.substr(begin, end - begin + 1);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool ParseUnsigned(const std::string& text, std::uint64_t& value) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

// Applies one "key = value" line of section `section`; returns an error text or empty.
std::string ApplyKey(const std::string& section, const std::string& key, const std::string& value,
                     MachineDescription& out) {
  if (section == "windows") {
    struct Field {
      const char* name;
      std::uint32_t MachineDescription::*member;
    };
    static const Field fields[] = {
        {"major", &MachineDescription::major},
        {"minor", &MachineDescription::minor},
        {"product_type", &MachineDescription::productType},
        {"platform_id", &MachineDescription::platformId},
        {"server_r2", &MachineDescription::serverR2},
        {"processor_architecture", &MachineDescription::processorArchitecture},
    };
    std::uint64_t number = 0;
    for (const Field& field : fields) {
      if (key != field.name) continue;
      if (!ParseUnsigned(value, number) || number > 0xFFFFFFFFull)
        return "'" + key + "' needs a whole number from 0 to 4294967295";
      out.*field.member = static_cast<std::uint32_t>(number);
      return {};
    }
    if (key == "ansi_code_page") {
      if (!ParseUnsigned(value, number) || number > 0xFFFFFFFFull || !CodePageKnown(static_cast<std::uint32_t>(number)))
        return "'ansi_code_page' needs a code page number this host can convert (936, 1252, 65001, ...)";
      out.ansiCodePage = static_cast<std::uint32_t>(number);
      return {};
    }
    if (key == "version_query_fails") {
      if (value != "0" && value != "1") return "'version_query_fails' needs 0 or 1";
      out.versionQueryFails = value == "1";
      return {};
    }
    return "unknown key '" + key + "' in [windows]";
  }
  if (section.size() == 7 && section.compare(0, 6, "drive.") == 0 && std::isalpha(static_cast<unsigned char>(section[6]))) {
    if (key != "free_bytes") return "unknown key '" + key + "' in [" + section + "]";
    std::uint64_t number = 0;
    if (!ParseUnsigned(value, number)) return "'free_bytes' needs a whole number of bytes";
    out.freeBytes[static_cast<char>(std::tolower(static_cast<unsigned char>(section[6])))] = number;
    return {};
  }
  if (section == "printer") {
    if (key != "default") return "unknown key '" + key + "' in [printer]";
    // The spooler keeps a printer as one registry key and records the default as "NAME,driver,port".
    if (value.find_first_of("\\,") != std::string::npos) return "a printer name cannot hold ',' or '\\'";
    out.defaultPrinter = value;
    return {};
  }
  if (section == "folders") {
    bool MachineDescription::*member = key == "common_desktop"    ? &MachineDescription::commonDesktop
                                       : key == "common_programs" ? &MachineDescription::commonPrograms
                                                                  : nullptr;
    if (!member) return "unknown key '" + key + "' in [folders]";
    if (value != "0" && value != "1") return "'" + key + "' needs 0 or 1";
    out.*member = value == "1";
    return {};
  }
  if (section.empty()) return "key '" + key + "' outside any section";
  return "unknown section [" + section + "]";
}

// A comment is a line whose first visible character is ';' or '#', or the rest of a line from a
// ';' after white space, or from a '#' that stands apart (white space before it, white space or
// nothing after it). One inside a value ("HP #2", "a;b") is part of the value.
std::size_t CommentStart(const std::string& line) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  const std::size_t first = line.find_first_not_of(" \t");
  if (first != std::string::npos && (line[first] == ';' || line[first] == '#')) return first;
  for (std::size_t i = 1; i < line.size(); ++i) {
    if (!blank(line[i - 1])) continue;
    if (line[i] == ';') return i;
    if (line[i] == '#' && (i + 1 == line.size() || blank(line[i + 1]))) return i;
  }
  return std::string::npos;
}

// Reads machine.ini into text. Only a file that is not there counts as absent (false and no
// error); anything else that cannot be read as a file is an error, never a default machine.
bool ReadMachineIni(const std::string& path, std::string& text, std::string& error) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 && errno == ENOENT) return false;
  if (stat(path.c_str(), &info) != 0) {
    error = path + ": cannot be read: " + std::strerror(errno);
    return false;
  }
  // Checked before opening: a folder has no text, and a pipe would hold the start for ever.
  if (!S_ISREG(info.st_mode)) {
    error = path + ": cannot be read: it is not a file";
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  if (file) content << file.rdbuf();
  if (!file || file.bad()) {
    error = path + ": cannot be read: " + std::strerror(errno ? errno : EIO);
    return false;
  }
  text = content.str();
  return true;
}

// Finds an entry of folder `dir` whose name equals `name` without regard to ASCII case.
std::optional<std::string> FindEntryIgnoringCase(const std::string& dir, const std::string& name) {
  DIR* handle = opendir(dir.c_str());
  if (!handle) return std::nullopt;
  std::optional<std::string> found;
  const std::string wanted = Lower(name);
  while (dirent* entry = readdir(handle)) {
    if (Lower(entry->d_name) == wanted) {
      found = entry->d_name;
      break;
    }
  }
  closedir(handle);
  return found;
}

}  // namespace

bool ParseMachineDescription(const std::string& text, const std::string& fileName, MachineDescription& out,
                             std::string& error) {
  MachineDescription parsed;
  std::istringstream lines(text);
  std::string line;
  std::string section;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    const std::size_t comment = CommentStart(line);
    std::string content = Trim(comment == std::string::npos ? line : line.substr(0, comment));
    if (content.empty()) continue;
    std::string problem;
    if (content.front() == '[') {
      if (content.back() != ']' || content.size() < 3) {
        problem = "a section header needs the form [name]";
      } else {
        section = Lower(Trim(content.substr(1, content.size() - 2)));
        bool known = section == "windows" || section == "printer" || section == "folders" ||
                     (section.size() == 7 && section.compare(0, 6, "drive.") == 0 &&
                      std::isalpha(static_cast<unsigned char>(section[6])));
        if (!known) problem = "unknown section [" + section + "]";
      }
    } else {
      auto equals = content.find('=');
      if (equals == std::string::npos) {
        problem = "expected 'key = value'";
      } else {
        std::string key = Lower(Trim(content.substr(0, equals)));
        std::string value = Trim(content.substr(equals + 1));
        problem = key.empty() ? "missing key before '='" : ApplyKey(section, key, value, parsed);
      }
    }
    if (!problem.empty()) {
      error = fileName + ":" + std::to_string(number) + ": " + problem;
      return false;
    }
  }
  out = parsed;
  return true;
}

bool LoadEmulatedMachine(std::string& error) {
  const char* root = std::getenv("T6_HOST_ROOT");
  if (!root || !*root) {
    error = "T6_HOST_ROOT is not set: it must name the folder of the emulated Windows machine";
    return false;
  }
  struct stat info {};
  if (stat(root, &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = std::string(root) + ": the emulated machine's folder does not exist";
    return false;
  }
  // Absolute from here on: a relative root would mean another folder once the program, a
  // picker or a started product changes the working folder.
  char* absolute = realpath(root, nullptr);
  if (!absolute) {
    error = std::string(root) + ": the emulated machine's folder cannot be resolved: " + std::strerror(errno);
    return false;
  }
  const std::string machineRoot = absolute;
  std::free(absolute);
  MachineDescription description;
  const std::string iniPath = machineRoot + "/machine.ini";
  std::string text;
  error.clear();
  if (ReadMachineIni(iniPath, text, error)) {
    if (!ParseMachineDescription(text, iniPath, description, error)) return false;
  } else if (!error.empty()) {
    return false;
  }
  UseEmulatedMachine(machineRoot, description);
  // Programs started from here (the product, the installer from its shortcut) find the same
  // machine wherever their working folder is.
  setenv("T6_HOST_ROOT", machineRoot.c_str(), 1);
  return true;
}

void UseEmulatedMachine(const std::string& root, const MachineDescription& description) {
  State().root = root;
  while (State().root.size() > 1 && State().root.back() == '/') State().root.pop_back();
  State().description = description;
}

const MachineDescription& Machine() { return State().description; }
const std::string& MachineRoot() { return State().root; }
std::string RegistryDatabasePath() { return State().root + "/registry.db"; }
bool Is64BitMachine() { return Machine().processorArchitecture == 9; }

std::optional<std::string> HostPathFromWindows(const std::wstring& windowsPath) {
  if (windowsPath.size() < 2 || windowsPath[1] != L':' || !std::iswalpha(windowsPath[0]) || windowsPath[0] > 0x7F)
    return std::nullopt;
  const char letter = static_cast<char>(std::tolower(static_cast<int>(windowsPath[0])));
  std::string host = State().root + "/drive_" + letter;
  struct stat drive {};
  // Drive Z: is the host's root folder unless the machine has a drive Z: of its own, as under
  // Wine: it names the program's own file and other files outside the machine.
  if (letter == 'z' && stat(host.c_str(), &drive) != 0) host.clear();
  std::string rest = Utf8FromWide(windowsPath.substr(2));
  bool resolving = true;  // components below a missing one are taken as written
  std::size_t pos = 0;
  while (pos <= rest.size()) {
    auto next = rest.find_first_of("\\/", pos);
    std::string component = rest.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
    pos = next == std::string::npos ? rest.size() + 1 : next + 1;
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      auto slash = host.rfind('/');
      if (slash != std::string::npos && slash >= State().root.size() + 8) host.erase(slash);
      continue;
    }
    std::string actual = component;
    if (resolving) {
      struct stat info {};
      if (stat((host + "/" + component).c_str(), &info) != 0) {
        auto match = FindEntryIgnoringCase(host, component);
        if (match) actual = *match;
        else resolving = false;
      }
    }
    host += "/" + actual;
  }
  return host;
}

std::optional<std::wstring> WindowsPathFromHost(const std::string& hostPath) {
  const std::string prefix = State().root + "/drive_";
  if (hostPath.compare(0, prefix.size(), prefix) != 0 || hostPath.size() <= prefix.size()) return std::nullopt;
  char letter = hostPath[prefix.size()];
  if (!std::isalpha(static_cast<unsigned char>(letter))) return std::nullopt;
  std::string rest = hostPath.substr(prefix.size() + 1);
  if (!rest.empty() && rest.front() != '/') return std::nullopt;
  std::wstring path;
  path += static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(letter)));
  path += L':';
  for (wchar_t c : WideFromUtf8(rest)) path += c == L'/' ? L'\\' : c;
  if (path.size() == 2) path += L'\\';
  return path;
}

}  // namespace host
