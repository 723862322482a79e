// Host platform: the shell link object (IShellLinkW, IPersistFile), saved as a .lnk file on the
// emulated machine's drives.
#include <sys/stat.h>

#include <atomic>
#include <cwctype>
#include <new>
#include <string>

#include "emulated_machine.h"
#include "lnk_writer.h"
#include "platform/shell_link.h"
#include "shell_link_object.h"
#include "text.h"
#include "whole_file.h"

namespace {

constexpr DWORD kErrorInvalidName = 123;
constexpr DWORD kFileAttributeDirectory = 0x10;
constexpr DWORD kFileAttributeArchive = 0x20;
// A StringData entry counts its UTF-16 units in 16 bits.
constexpr std::size_t kLongestStoredText = 0xFFFF;

std::size_t Utf16Length(const std::wstring& text) { return host::Utf16FromWide(text).size(); }

// "https:", "mailto:" ...: a scheme of two or more characters, so that "C:" stays a drive.
bool IsAddress(const std::wstring& text) {
  const auto colon = text.find(L':');
  if (colon == std::wstring::npos || colon < 2 || text[0] >= 0x80 || !std::iswalpha(text[0])) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const wchar_t c = text[i];
    if (c >= 0x80 || !(std::iswalnum(c) || c == L'+' || c == L'-' || c == L'.')) return false;
  }
  return true;
}

// A file name component may not hold these, nor control characters.
bool HoldsInvalidNameCharacter(const std::wstring& path) {
  for (std::size_t i = 3; i < path.size(); ++i) {
    const wchar_t c = path[i];
    if (c < 0x20 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'|' || c == L'?' || c == L'*')
      return true;
  }
  return false;
}

std::uint64_t FileTimeFrom(const struct timespec& time) {
  constexpr std::uint64_t kSecondsFrom1601To1970 = 11644473600ull;
  return (static_cast<std::uint64_t>(time.tv_sec) + kSecondsFrom1601To1970) * 10000000ull +
         static_cast<std::uint64_t>(time.tv_nsec) / 100;
}

// Copies text into a caller's buffer of cch characters, cut to fit, always terminated.
HRESULT CopyOut(const std::wstring& text, LPWSTR buffer, int cch) {
  if (!buffer || cch <= 0) return E_INVALIDARG;
  const std::size_t length = std::min<std::size_t>(text.size(), static_cast<std::size_t>(cch - 1));
  text.copy(buffer, length);
  buffer[length] = L'\0';
  return S_OK;
}

HRESULT StoreText(std::wstring& field, LPCWSTR text, std::size_t longest) {
  if (!text) return E_INVALIDARG;
  std::wstring value(text);
  if (Utf16Length(value) > longest) return E_INVALIDARG;
  field = std::move(value);
  return S_OK;
}

class ShellLink final : public IShellLinkW, public IPersistFile {
 public:
  // IUnknown, shared by both interfaces.
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IShellLinkW)) {
      *ppv = static_cast<IShellLinkW*>(this);
    } else if (IsEqualGUID(riid, IID_IPersistFile) || IsEqualGUID(riid, IID_IPersist)) {
      *ppv = static_cast<IPersistFile*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_references; }
  ULONG Release() override {
    const ULONG left = --m_references;
    if (left == 0) delete this;
    return left;
  }

  // IShellLinkW.
  HRESULT GetPath(LPWSTR pszFile, int cch, WIN32_FIND_DATAW*, DWORD) override {
    // A web address is no file-system path.
    if (m_link.targetIsAddress) {
      CopyOut(L"", pszFile, cch);
      return S_FALSE;
    }
    return CopyOut(m_link.target, pszFile, cch);
  }
  HRESULT GetIDList(PIDLIST_ABSOLUTE* ppidl) override {
    if (ppidl) *ppidl = nullptr;
    return E_NOTIMPL;
  }
  HRESULT SetIDList(PIDLIST_ABSOLUTE) override { return E_NOTIMPL; }
  HRESULT GetDescription(LPWSTR pszName, int cch) override { return CopyOut(m_link.description, pszName, cch); }
  HRESULT SetDescription(LPCWSTR pszName) override {
    return Changed(StoreText(m_link.description, pszName, INFOTIPSIZE - 1));
  }
  HRESULT GetWorkingDirectory(LPWSTR pszDir, int cch) override {
    return CopyOut(m_link.workingDirectory, pszDir, cch);
  }
  HRESULT SetWorkingDirectory(LPCWSTR pszDir) override {
    return Changed(StoreText(m_link.workingDirectory, pszDir, kLongestStoredText));
  }
  HRESULT GetArguments(LPWSTR pszArgs, int cch) override { return CopyOut(m_link.arguments, pszArgs, cch); }
  HRESULT SetArguments(LPCWSTR pszArgs) override {
    return Changed(StoreText(m_link.arguments, pszArgs, kLongestStoredText));
  }
  HRESULT GetHotkey(WORD* pwHotkey) override {
    if (!pwHotkey) return E_INVALIDARG;
    *pwHotkey = m_link.hotkey;
    return S_OK;
  }
  HRESULT SetHotkey(WORD wHotkey) override {
    m_link.hotkey = wHotkey;
    return Changed(S_OK);
  }
  HRESULT GetShowCmd(int* piShowCmd) override {
    if (!piShowCmd) return E_INVALIDARG;
    *piShowCmd = m_link.showCommand;
    return S_OK;
  }
  HRESULT SetShowCmd(int iShowCmd) override {
    m_link.showCommand = iShowCmd;
    return Changed(S_OK);
  }
  HRESULT GetIconLocation(LPWSTR pszIconPath, int cch, int* piIcon) override {
    if (!piIcon) return E_INVALIDARG;
    *piIcon = m_link.iconIndex;
    return CopyOut(m_link.iconLocation, pszIconPath, cch);
  }
  HRESULT SetIconLocation(LPCWSTR pszIconPath, int iIcon) override {
    HRESULT result = StoreText(m_link.iconLocation, pszIconPath ? pszIconPath : L"", kLongestStoredText);
    if (SUCCEEDED(result)) m_link.iconIndex = iIcon;
    return Changed(result);
  }
  HRESULT SetRelativePath(LPCWSTR, DWORD) override { return E_NOTIMPL; }
  HRESULT Resolve(HWND, DWORD) override { return E_NOTIMPL; }
  HRESULT SetPath(LPCWSTR pszFile) override {
    HRESULT result = StoreText(m_link.target, pszFile, kLongestStoredText);
    if (SUCCEEDED(result)) m_link.targetIsAddress = IsAddress(m_link.target);
    return Changed(result);
  }

  // IPersistFile.
  HRESULT GetClassID(CLSID* pClassID) override {
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_ShellLink;
    return S_OK;
  }
  HRESULT IsDirty() override { return m_dirty ? S_OK : S_FALSE; }
  HRESULT Load(LPCOLESTR, DWORD) override { return E_NOTIMPL; }
  HRESULT Save(LPCOLESTR pszFileName, BOOL fRemember) override {
    if (!pszFileName && m_currentFile.empty()) return E_INVALIDARG;
    const std::wstring fileName = pszFileName ? pszFileName : m_currentFile;
    if (HRESULT failed = Write(fileName); FAILED(failed)) return failed;
    if (fRemember || !pszFileName) {
      m_currentFile = fileName;
      m_dirty = false;
    }
    return S_OK;
  }
  HRESULT SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT GetCurFile(LPOLESTR* ppszFileName) override {
    if (!ppszFileName) return E_POINTER;
    *ppszFileName = nullptr;
    return E_NOTIMPL;
  }

 private:
  ~ShellLink() = default;

  HRESULT Changed(HRESULT result) {
    if (SUCCEEDED(result)) m_dirty = true;
    return result;
  }

  HRESULT Write(const std::wstring& fileName) {
    // Without the long-path opt-in a file path holds fewer than MAX_PATH characters.
    if (Utf16Length(fileName) >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    if (fileName.size() < 3 || fileName[1] != L':' || fileName[2] != L'\\')
      return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    if (HoldsInvalidNameCharacter(fileName)) return HRESULT_FROM_WIN32(kErrorInvalidName);
    auto hostPath = host::HostPathFromWindows(fileName);
    if (!hostPath) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);

    host::ShellLinkContents contents = m_link;
    contents.fileAttributes = 0;
    contents.fileSize = 0;
    contents.creationTime = contents.accessTime = contents.writeTime = 0;
    struct stat info {};
    if (!m_link.targetIsAddress) {
      auto target = host::HostPathFromWindows(m_link.target);
      if (target && stat(target->c_str(), &info) == 0) {
        contents.fileAttributes = S_ISDIR(info.st_mode) ? kFileAttributeDirectory : kFileAttributeArchive;
        contents.fileSize = S_ISDIR(info.st_mode) ? 0 : static_cast<DWORD>(info.st_size);
        contents.creationTime = FileTimeFrom(info.st_mtim);
        contents.accessTime = FileTimeFrom(info.st_atim);
        contents.writeTime = FileTimeFrom(info.st_mtim);
      }
    }
    const std::string bytes = host::ShellLinkBytes(contents);
    if (bytes.empty()) return E_INVALIDARG;
    const DWORD error = host::WriteFileWhole(*hostPath, bytes);
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
  }

  std::atomic<ULONG> m_references{1};
  host::ShellLinkContents m_link;
  bool m_dirty = false;
  std::wstring m_currentFile;
};

}  // namespace

namespace host {

HRESULT CreateShellLinkObject(REFIID riid, void** ppv) {
  auto* link = new (std::nothrow) ShellLink;
  if (!link) return E_OUTOFMEMORY;
  const HRESULT result = link->QueryInterface(riid, ppv);
  link->Release();
  return result;
}

}  // namespace host
