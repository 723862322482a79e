// The installer dialog: the program's only window, the state that pages and workers share, and
// the start-up mode decision.
#pragma once

#include <string>
#include <vector>

#include "app/dialog_state.h"
#include "platform/framework.h"

inline constexpr const WCHAR* kDefaultInstallDir = L"c:\\Program Files (x86)\\Tessaly\\";
inline constexpr const WCHAR* kPackageFileName = L"tesl6.hv";

class CInternetInstallerDlg : public CDHtmlDialog {
 public:
  CInternetInstallerDlg();
  ~CInternetInstallerDlg() override;

  BOOL OnInitDialog() override;
  void OnDocumentComplete(LPCWSTR url) override;
  void OnHtmlElementClick(IHTMLElement* element) override;
  HRESULT ShowContextMenu() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // The page bridge: the only way the program reads and writes the loaded page. User-interface
  // thread only; each returns false, changing nothing, while a page is loading or when the page
  // lacks the element or function.
  bool GetPageElementText(LPCWSTR elementId, std::wstring& text);
  bool SetPageElementHtml(LPCWSTR elementId, const std::wstring& html);
  // result may be null; it is left untouched when the call fails.
  bool CallPageFunction(LPCWSTR functionName, const std::vector<std::wstring>& arguments, VARIANT* result);
  bool GetSourceAttribute(const IHTMLElement* element, LPCWSTR attributeName, std::wstring& text);

  // Reactions of the element event table, each given the clicked element.
  HRESULT OnInstallStart(IHTMLElement* element);
  HRESULT OnClose(IHTMLElement* element);
  HRESULT OnMinimise(IHTMLElement* element);
  HRESULT OnBrowse(IHTMLElement* element);
  HRESULT OnOptionsToggle(IHTMLElement* element);
  HRESULT OnShowAgreement(IHTMLElement* element);
  HRESULT OnAgreementBack(IHTMLElement* element);
  HRESULT OnAgreementBox(IHTMLElement* element);
  HRESULT OnAcceptAndInstall(IHTMLElement* element);
  HRESULT OnRemove(IHTMLElement* element);
  HRESULT OnRunProduct(IHTMLElement* element);
  HRESULT OnAbandon(IHTMLElement* element);
  HRESULT OnPause(IHTMLElement* element);
  HRESULT OnContinue(IHTMLElement* element);

  // The uninstall steps (on page 129's "继续卸载"): page 130, the record's registrations
  // undone, then the deletion worker on the product folder.
  void RunUninstall();

  // A worker thread has been started and has not ended yet.
  bool WorkerRunning() const;

  // Sets the height, places the window 50 pixels left of the screen's centre and applies the
  // rounded outline.
  void SetWindowShape(int height);

  // The location check: reads "Directry", measures its volume's free space, settles
  // m_bLocationOk and m_strChosenDir, and writes the "Info" line.
  void UpdateSpaceInfo();

  // The worker progress message handler and what it does per code.
  LRESULT OnWorkerProgress(WPARAM wParam, LPARAM lParam);
  void ShowDownloadProgress();
  void ShowDownloadFailure();
  void StartInstallWorker();
  void ShowExtractProgress();
  void ShowDeleteProgress();
  void ShowExtractFailure();

  // The installation worker's two halves, on its thread: the package into the install folder
  // (ExtractPackage's result), then the install steps, ending with the completion report.
  bool ExtractStep();
  void InstallSteps();

  // The dialog state, in the order every part of the program refers to it.
  CWinThread* m_pWorkerThread = nullptr;
  WorkerContext m_workerContext;
  ExtractContext m_extractContext;
  int m_nWindowHeight = 386;
  int m_nWindowWidth = 604;
  LONG m_bAccepted = 1;
  bool m_bLocationOk = false;
  std::wstring m_strChosenDir;
  std::wstring m_strOsName;
  DWORD m_nOsMajor = 0;
  HICON m_hIcon = nullptr;
  // The page's leave question is open and holds the worker with one pause of its own: a second
  // click on the close mark while it is open must not pause again, or "取消" would leave one
  // pause behind and the worker held for good.
  bool m_bAskingToLeave = false;

 private:
  // Looks for an earlier installation; true when its folder still exists.
  bool FindEarlierInstallation();
  // Page 129: the days since the recorded installation time.
  void ShowDaysOfUse();
};
