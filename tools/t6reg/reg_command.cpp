// t6-reg: command line, output layout and messages of reg.exe's QUERY, ADD and DELETE, on
// the emulated machine's registry API.
#include "reg_command.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <istream>
#include <iterator>
#include <optional>
#include <ostream>

#include "platform/host/text.h"
#include "platform/registry.h"

namespace t6reg {

namespace {

// reg.exe's own texts, so scripts and people reading our logs see what they know.
const char kSuccess[] = "The operation completed successfully.\n";
const char kCanceled[] = "The operation was canceled by the user.\n";
constexpr DWORD kRegDwordBigEndian = 5;

struct Root {
  const char* shortName;
  const char* fullName;
  HKEY key;
};

const Root* FindRoot(const std::string& upperName) {
  static const Root roots[] = {
      {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"HKU", "HKEY_USERS", HKEY_USERS},
  };
  for (const Root& root : roots)
    if (upperName == root.shortName || upperName == root.fullName) return &root;
  return nullptr;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

struct Options {
  std::string operation;  // upper case, as the usage hint names it
  HKEY root = nullptr;
  std::wstring subKey;  // below the root, as typed, without a trailing backslash
  std::string keyName;  // as reg.exe prints it: the full root name, then the path as typed
  std::optional<std::wstring> valueName;  // /v NAME; /ve gives the empty (default) name
  bool allValues = false;                 // /va
  bool recurse = false;                   // /s
  bool force = false;                     // /f
  std::optional<std::string> type;        // /t
  std::optional<std::string> data;        // /d
  REGSAM view = KEY_WOW64_64KEY;          // reg.exe on 64-bit Windows is a 64-bit program
  bool help = false;
};

enum class ParseResult { kOk, kInvalidSyntax, kInvalidKey };

bool ParseKey(const std::string& text, Options& options) {
  std::size_t slash = text.find('\\');
  const Root* root = FindRoot(Upper(text.substr(0, slash)));
  if (!root) return false;
  std::string rest = slash == std::string::npos ? std::string() : text.substr(slash + 1);
  while (!rest.empty() && rest.back() == '\\') rest.pop_back();
  options.root = root->key;
  options.subKey = host::WideFromUtf8(rest);
  options.keyName = std::string(root->fullName) + (rest.empty() ? "" : "\\" + rest);
  return true;
}

ParseResult ParseOptions(const std::vector<std::string>& args, Options& options) {
  const std::string& op = options.operation;
  if (args.size() >= 2 && (args[1] == "/?" || args[1] == "-?")) {
    options.help = args.size() == 2;
    return options.help ? ParseResult::kOk : ParseResult::kInvalidSyntax;
  }
  if (args.size() < 2 || args[1].empty() || args[1][0] == '/') return ParseResult::kInvalidSyntax;
  if (!ParseKey(args[1], options)) return ParseResult::kInvalidKey;
  bool viewGiven = false;
  for (std::size_t i = 2; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word.size() < 2 || (word[0] != '/' && word[0] != '-')) return ParseResult::kInvalidSyntax;
    const std::string name = Upper(word.substr(1));
    auto takeArgument = [&](std::optional<std::string>& into) {
      if (into || i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    bool ok = true;
    if (name == "REG:32" || name == "REG:64") {
      ok = !viewGiven;
      viewGiven = true;
      options.view = name == "REG:32" ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    } else if (name == "V" || name == "VE") {
      std::optional<std::string> value = name == "VE" ? std::optional<std::string>("") : std::nullopt;
      ok = !options.valueName && (value || takeArgument(value));
      if (ok) options.valueName = host::WideFromUtf8(*value);
    } else if (name == "VA" && op == "DELETE") {
      ok = !options.allValues;
      options.allValues = true;
    } else if (name == "S" && op == "QUERY") {
      ok = !options.recurse;
      options.recurse = true;
    } else if (name == "F" && op != "QUERY") {
      ok = !options.force;
      options.force = true;
    } else if (name == "T" && op == "ADD") {
      ok = takeArgument(options.type);
    } else if (name == "D" && op == "ADD") {
      ok = takeArgument(options.data);
    } else {
      ok = false;
    }
    if (!ok) return ParseResult::kInvalidSyntax;
  }
  if (options.allValues && options.valueName) return ParseResult::kInvalidSyntax;
  return ParseResult::kOk;
}

// Closes the key when the operation is done with it.
struct Key {
  HKEY handle = nullptr;
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (handle) RegCloseKey(handle);
  }
};

struct Value {
  std::wstring name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;  // as the API hands it out: strings in host wide characters
};

LONG ReadValue(HKEY key, const std::wstring& name, Value& value) {
  value.name = name;
  for (;;) {
    DWORD size = 0;
    if (LONG error = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size)) return error;
    value.data.resize(size);
    LONG error = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
    if (error == ERROR_MORE_DATA) continue;  // changed in between: ask again
    value.data.resize(size);
    return error;
  }
}

LONG ReadValues(HKEY key, std::vector<Value>& values) {
  constexpr DWORD kLongestValueName = 16384;
  std::vector<WCHAR> name(kLongestValueName);
  for (DWORD index = 0;; ++index) {
    Value value;
    DWORD nameLength = kLongestValueName;
    DWORD size = 0;
    LONG error = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &value.type, nullptr, &size);
    if (error == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (error) return error;
    value.name.assign(name.data(), nameLength);
    if ((error = ReadValue(key, value.name, value))) return error;
    values.push_back(std::move(value));
  }
}

LONG ReadSubkeys(HKEY key, std::vector<std::wstring>& names) {
  constexpr DWORD kLongestKeyName = 256;
  std::vector<WCHAR> name(kLongestKeyName);
  for (DWORD index = 0;; ++index) {
    DWORD length = kLongestKeyName;
    LONG error = RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (error == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (error) return error;
    names.emplace_back(name.data(), length);
  }
}

std::string TypeName(DWORD type) {
  static const char* const names[] = {"REG_NONE",
                                      "REG_SZ",
                                      "REG_EXPAND_SZ",
                                      "REG_BINARY",
                                      "REG_DWORD",
                                      "REG_DWORD_BIG_ENDIAN",
                                      "REG_LINK",
                                      "REG_MULTI_SZ",
                                      "REG_RESOURCE_LIST",
                                      "REG_FULL_RESOURCE_DESCRIPTOR",
                                      "REG_RESOURCE_REQUIREMENTS_LIST",
                                      "REG_QWORD"};
  return type < std::size(names) ? names[type] : "REG_UNKNOWN";
}

std::wstring HostText(const std::vector<BYTE>& data) {
  std::wstring text(data.size() / sizeof(WCHAR), L'\0');
  if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(WCHAR));
  return text;
}

std::string NumberHex(std::uint64_t number) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(number));
  return text;
}

std::string ByteHex(BYTE byte) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(byte));
  return text;
}

// The data column: strings as text, numbers as 0x lower-case hex, a multi-string joined with
// \0, anything else as upper-case hex pairs.
std::string FormatData(const Value& value) {
  if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
    std::wstring text = HostText(value.data);
    return host::Utf8FromWide(text.substr(0, text.find(L'\0')));
  }
  if (value.type == REG_MULTI_SZ) {
    std::wstring text = HostText(value.data);
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    std::string joined;
    for (wchar_t c : text) joined += c ? host::Utf8FromWide(std::wstring(1, c)) : "\\0";
    return joined;
  }
  if ((value.type == REG_DWORD || value.type == kRegDwordBigEndian) && value.data.size() == 4) {
    const BYTE* b = value.data.data();
    std::uint32_t number = value.type == REG_DWORD ? b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t(b[3]) << 24
                                                   : b[3] | b[2] << 8 | b[1] << 16 | std::uint32_t(b[0]) << 24;
    return NumberHex(number);
  }
  if (value.type == REG_QWORD && value.data.size() == 8) {
    std::uint64_t number = 0;
    for (int i = 7; i >= 0; --i) number = number << 8 | value.data[static_cast<std::size_t>(i)];
    return NumberHex(number);
  }
  std::string hex;
  for (BYTE b : value.data) hex += ByteHex(b);
  return hex;
}

std::string ValueLine(const Value& value) {
  std::string name = value.name.empty() ? "(Default)" : host::Utf8FromWide(value.name);
  return "    " + name + "    " + TypeName(value.type) + "    " + FormatData(value) + "\n";
}

std::string ErrorText(LONG error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "The system was unable to find the specified registry key or value.";
    case ERROR_ACCESS_DENIED:
      return "Access is denied.";
    case ERROR_BADDB:
      return "The configuration registry database is corrupt.";
    case ERROR_CANTOPEN:
      return "The configuration registry key could not be opened.";
    case ERROR_CANTREAD:
      return "The configuration registry key could not be read.";
    case ERROR_CANTWRITE:
      return "The configuration registry key could not be written.";
    case ERROR_KEY_DELETED:
      return "Illegal operation attempted on a registry key that has been marked for deletion.";
    case ERROR_NOT_ENOUGH_MEMORY:
      return "Not enough memory resources are available to process this command.";
    default:
      return "The registry call failed with error " + std::to_string(error) + ".";
  }
}

int Fail(std::ostream& err, LONG error) {
  err << "ERROR: " << ErrorText(error) << "\n";
  return 1;
}

int UsageError(std::ostream& err, const std::string& problem, const std::string& operation) {
  err << "ERROR: " << problem << "\nType \"REG " << operation << (operation.empty() ? "" : " ") << "/?\" for usage.\n";
  return 1;
}

// reg.exe asks on the console and re-asks until it gets yes or no. A scripted run has nobody
// to ask, so anything but a yes (including no answer at all) counts as No.
bool Confirm(const std::string& question, std::istream& answers, std::ostream& out) {
  out << question << std::flush;
  std::string reply;
  if (!std::getline(answers, reply)) {
    out << "\n";
    return false;
  }
  return !reply.empty() && (reply[0] == 'y' || reply[0] == 'Y');
}

// Without /s: the key's values (only when it has any), then its subkeys as full names. With /s
// every key below is a block of its own, followed by a blank line.
LONG ListKey(HKEY key, const std::string& name, const Options& options, bool nested, std::ostream& out) {
  std::vector<Value> values;
  std::vector<std::wstring> subkeys;
  if (LONG error = ReadValues(key, values)) return error;
  if (LONG error = ReadSubkeys(key, subkeys)) return error;
  if (!values.empty() || nested) {
    out << name << "\n";
    for (const Value& value : values) out << ValueLine(value);
    out << "\n";
  }
  for (const std::wstring& subkey : subkeys) {
    std::string subName = name + "\\" + host::Utf8FromWide(subkey);
    if (!options.recurse) {
      out << subName << "\n";
      continue;
    }
    Key child;
    if (LONG error = RegOpenKeyExW(key, subkey.c_str(), 0, KEY_READ | options.view, &child.handle)) return error;
    if (LONG error = ListKey(child.handle, subName, options, true, out)) return error;
  }
  return ERROR_SUCCESS;
}

// /v with /s: every key of the subtree that holds the value, as a block of its own.
LONG SearchValue(HKEY key, const std::string& name, const Options& options, int& matches, std::ostream& out) {
  Value value;
  LONG error = ReadValue(key, *options.valueName, value);
  if (error == ERROR_SUCCESS) {
    out << name << "\n" << ValueLine(value) << "\n";
    ++matches;
  } else if (error != ERROR_FILE_NOT_FOUND) {
    return error;
  }
  std::vector<std::wstring> subkeys;
  if ((error = ReadSubkeys(key, subkeys))) return error;
  for (const std::wstring& subkey : subkeys) {
    Key child;
    if ((error = RegOpenKeyExW(key, subkey.c_str(), 0, KEY_READ | options.view, &child.handle))) return error;
    if ((error = SearchValue(child.handle, name + "\\" + host::Utf8FromWide(subkey), options, matches, out)))
      return error;
  }
  return ERROR_SUCCESS;
}

int Query(const Options& options, std::ostream& out, std::ostream& err) {
  Key key;
  if (LONG error = RegOpenKeyExW(options.root, options.subKey.c_str(), 0, KEY_READ | options.view, &key.handle))
    return Fail(err, error);
  if (options.valueName && !options.recurse) {
    Value value;
    if (LONG error = ReadValue(key.handle, *options.valueName, value)) return Fail(err, error);
    out << "\n" << options.keyName << "\n" << ValueLine(value) << "\n";
    return 0;
  }
  out << "\n";
  if (!options.valueName) {
    if (LONG error = ListKey(key.handle, options.keyName, options, false, out)) return Fail(err, error);
    return 0;
  }
  int matches = 0;
  if (LONG error = SearchValue(key.handle, options.keyName, options, matches, out)) return Fail(err, error);
  out << "End of search: " << matches << " match(es) found.\n";
  return matches ? 0 : 1;
}

bool ParseNumber(const std::string& text, std::uint64_t limit, std::uint64_t& number) {
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  std::string digits = hex ? text.substr(2) : text;
  if (digits.empty()) return false;
  number = 0;
  for (char c : digits) {
    int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                : hex && std::isxdigit(static_cast<unsigned char>(c)) ? std::toupper(c) - 'A' + 10
                                                                       : -1;
    if (digit < 0) return false;
    std::uint64_t base = hex ? 16 : 10;
    if (number > (limit - static_cast<std::uint64_t>(digit)) / base) return false;
    number = number * base + static_cast<std::uint64_t>(digit);
  }
  return true;
}

void AppendHostText(const std::wstring& text, std::vector<BYTE>& bytes) {
  const auto* begin = reinterpret_cast<const BYTE*>(text.c_str());
  bytes.insert(bytes.end(), begin, begin + (text.size() + 1) * sizeof(WCHAR));
}

// Turns /t and /d into the type and the bytes RegSetValueEx takes.
bool EncodeData(const Options& options, DWORD& type, std::vector<BYTE>& bytes) {
  const std::string typeName = Upper(options.type.value_or("REG_SZ"));
  const std::string data = options.data.value_or("");
  std::uint64_t number = 0;
  if (typeName == "REG_SZ" || typeName == "REG_EXPAND_SZ") {
    type = typeName == "REG_SZ" ? REG_SZ : REG_EXPAND_SZ;
    AppendHostText(host::WideFromUtf8(data), bytes);
  } else if (typeName == "REG_MULTI_SZ") {
    type = REG_MULTI_SZ;
    std::size_t start = 0;
    while (!data.empty() && start <= data.size()) {
      std::size_t end = data.find("\\0", start);
      if (end == std::string::npos) end = data.size();
      AppendHostText(host::WideFromUtf8(data.substr(start, end - start)), bytes);
      start = end + 2;
    }
    AppendHostText(L"", bytes);
  } else if (typeName == "REG_DWORD" || typeName == "REG_QWORD") {
    bool dword = typeName == "REG_DWORD";
    type = dword ? REG_DWORD : REG_QWORD;
    if (!options.data || !ParseNumber(data, dword ? 0xFFFFFFFFull : ~0ull, number)) return false;
    for (int i = 0; i < (dword ? 4 : 8); ++i) bytes.push_back(static_cast<BYTE>(number >> (8 * i)));
  } else if (typeName == "REG_BINARY") {
    type = REG_BINARY;
    if (data.size() % 2) return false;
    for (std::size_t i = 0; i < data.size(); i += 2) {
      std::string pair = data.substr(i, 2);
      if (!std::isxdigit(static_cast<unsigned char>(pair[0])) || !std::isxdigit(static_cast<unsigned char>(pair[1])))
        return false;
      bytes.push_back(static_cast<BYTE>(std::stoul(pair, nullptr, 16)));
    }
  } else {
    return false;
  }
  return true;
}

int Add(const Options& options, std::istream& answers, std::ostream& out, std::ostream& err) {
  DWORD type = REG_SZ;
  std::vector<BYTE> bytes;
  if (!EncodeData(options, type, bytes)) return UsageError(err, "Invalid syntax.", options.operation);
  Key key;
  DWORD disposition = 0;
  if (LONG error = RegCreateKeyExW(options.root, options.subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_READ | KEY_WRITE | options.view, nullptr, &key.handle, &disposition))
    return Fail(err, error);
  // Without /v or /ve, reg.exe sets the key's default value.
  const std::wstring name = options.valueName.value_or(L"");
  if (!options.force && disposition == REG_OPENED_EXISTING_KEY &&
      RegQueryValueExW(key.handle, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    if (!Confirm("Value " + host::Utf8FromWide(name) + " exists, overwrite(Yes/No)? ", answers, out)) {
      // Declining is not a failure: nothing was asked to change against the user's will.
      out << kCanceled;
      return 0;
    }
  }
  if (LONG error = RegSetValueExW(key.handle, name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size())))
    return Fail(err, error);
  out << kSuccess;
  return 0;
}

int DeleteValues(const Options& options, std::istream& answers, std::ostream& out, std::ostream& err) {
  Key key;
  if (LONG error = RegOpenKeyExW(options.root, options.subKey.c_str(), 0, KEY_READ | KEY_WRITE | options.view,
                                 &key.handle))
    return Fail(err, error);
  std::vector<Value> values;
  if (options.valueName) {
    Value value;
    if (LONG error = ReadValue(key.handle, *options.valueName, value)) return Fail(err, error);
    values.push_back(value);
  } else if (LONG error = ReadValues(key.handle, values)) {
    return Fail(err, error);
  }
  std::string question = options.valueName
                             ? "Delete the registry value " + host::Utf8FromWide(*options.valueName) + " (Yes/No)? "
                             : "Delete all values under the registry key " + options.keyName + " (Yes/No)? ";
  if (!options.force && !Confirm(question, answers, out)) {
    out << kCanceled;
    return 0;
  }
  for (const Value& value : values)
    if (LONG error = RegDeleteValueW(key.handle, value.name.c_str())) return Fail(err, error);
  out << kSuccess;
  return 0;
}

int DeleteKey(const Options& options, std::istream& answers, std::ostream& out, std::ostream& err) {
  // A hive itself cannot be deleted.
  if (options.subKey.empty()) return UsageError(err, "Invalid key name.", options.operation);
  std::size_t slash = options.subKey.rfind(L'\\');
  std::wstring parentPath = slash == std::wstring::npos ? L"" : options.subKey.substr(0, slash);
  std::wstring leaf = slash == std::wstring::npos ? options.subKey : options.subKey.substr(slash + 1);
  // The parent is opened in the chosen view; the delete below it then stays in that view.
  Key parent, target;
  if (LONG error = RegOpenKeyExW(options.root, parentPath.c_str(), 0, KEY_ALL_ACCESS | options.view, &parent.handle))
    return Fail(err, error);
  if (LONG error = RegOpenKeyExW(parent.handle, leaf.c_str(), 0, KEY_READ, &target.handle)) return Fail(err, error);
  if (!options.force &&
      !Confirm("Permanently delete the registry key " + options.keyName + " (Yes/No)? ", answers, out)) {
    out << kCanceled;
    return 0;
  }
  if (LONG error = RegDeleteTreeW(parent.handle, leaf.c_str())) return Fail(err, error);
  out << kSuccess;
  return 0;
}

void PrintUsage(const std::string& operation, std::ostream& out) {
  if (operation.empty() || operation == "QUERY")
    out << "REG QUERY KeyName [/v ValueName | /ve] [/s] [/reg:32 | /reg:64]\n";
  if (operation.empty() || operation == "ADD")
    out << "REG ADD KeyName [/v ValueName | /ve] [/t Type] [/d Data] [/f] [/reg:32 | /reg:64]\n"
           "  Type: REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY\n";
  if (operation.empty() || operation == "DELETE")
    out << "REG DELETE KeyName [/v ValueName | /ve | /va] [/f] [/reg:32 | /reg:64]\n";
  out << "  KeyName: HKLM | HKCU | HKCR | HKU, then \\SubKey\n";
}

}  // namespace

int RunRegCommand(const std::vector<std::string>& args, std::istream& answers, std::ostream& out,
                  std::ostream& err) {
  if (args.empty()) return UsageError(err, "Invalid syntax.", "");
  Options options;
  options.operation = Upper(args[0]);
  if (options.operation == "/?" || options.operation == "-?") {
    PrintUsage("", out);
    return 0;
  }
  if (options.operation != "QUERY" && options.operation != "ADD" && options.operation != "DELETE")
    return UsageError(err, "Invalid argument/option - '" + args[0] + "'.", "");
  switch (ParseOptions(args, options)) {
    case ParseResult::kInvalidSyntax:
      return UsageError(err, "Invalid syntax.", options.operation);
    case ParseResult::kInvalidKey:
      return UsageError(err, "Invalid key name.", options.operation);
    case ParseResult::kOk:
      break;
  }
  if (options.help) {
    PrintUsage(options.operation, out);
    return 0;
  }
  if (options.operation == "QUERY") return Query(options, out, err);
  if (options.operation == "ADD") return Add(options, answers, out, err);
  // reg.exe asks before deleting anything unless /f is given.
  if (options.valueName || options.allValues) return DeleteValues(options, answers, out, err);
  return DeleteKey(options, answers, out, err);
}

}  // namespace t6reg
