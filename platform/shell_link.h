// Platform layer: the shell link object (IShellLinkW) and its persistence (IPersistFile), with
// the Windows method order, class and interface identifiers.
#pragma once

#include "com.h"
#include "shell.h"

#ifdef _WIN32
#include <shlobj.h>
#else

struct WIN32_FIND_DATAW;

struct IPersist : IUnknown {
  virtual HRESULT GetClassID(CLSID* pClassID) = 0;

 protected:
  ~IPersist() = default;
};

struct IPersistFile : IPersist {
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(LPCOLESTR pszFileName, DWORD dwMode) = 0;
  // Writes the object to pszFileName; with fRemember it becomes the object's current file.
  virtual HRESULT Save(LPCOLESTR pszFileName, BOOL fRemember) = 0;
  virtual HRESULT SaveCompleted(LPCOLESTR pszFileName) = 0;
  virtual HRESULT GetCurFile(LPOLESTR* ppszFileName) = 0;

 protected:
  ~IPersistFile() = default;
};

struct IShellLinkW : IUnknown {
  virtual HRESULT GetPath(LPWSTR pszFile, int cch, WIN32_FIND_DATAW* pfd, DWORD fFlags) = 0;
  virtual HRESULT GetIDList(PIDLIST_ABSOLUTE* ppidl) = 0;
  virtual HRESULT SetIDList(PIDLIST_ABSOLUTE pidl) = 0;
  virtual HRESULT GetDescription(LPWSTR pszName, int cch) = 0;
  virtual HRESULT SetDescription(LPCWSTR pszName) = 0;
  virtual HRESULT GetWorkingDirectory(LPWSTR pszDir, int cch) = 0;
  virtual HRESULT SetWorkingDirectory(LPCWSTR pszDir) = 0;
  virtual HRESULT GetArguments(LPWSTR pszArgs, int cch) = 0;
  virtual HRESULT SetArguments(LPCWSTR pszArgs) = 0;
  virtual HRESULT GetHotkey(WORD* pwHotkey) = 0;
  virtual HRESULT SetHotkey(WORD wHotkey) = 0;
  virtual HRESULT GetShowCmd(int* piShowCmd) = 0;
  virtual HRESULT SetShowCmd(int iShowCmd) = 0;
  virtual HRESULT GetIconLocation(LPWSTR pszIconPath, int cch, int* piIcon) = 0;
  virtual HRESULT SetIconLocation(LPCWSTR pszIconPath, int iIcon) = 0;
  virtual HRESULT SetRelativePath(LPCWSTR pszPathRel, DWORD dwReserved) = 0;
  virtual HRESULT Resolve(HWND hwnd, DWORD fFlags) = 0;
  virtual HRESULT SetPath(LPCWSTR pszFile) = 0;

 protected:
  ~IShellLinkW() = default;
};

extern const CLSID CLSID_ShellLink;
extern const IID IID_IShellLinkW;
extern const IID IID_IPersist;
extern const IID IID_IPersistFile;

// The longest description a link keeps, terminator included.
constexpr int INFOTIPSIZE = 1024;

#endif  // _WIN32
