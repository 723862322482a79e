// Runs the real installer dialog, web view included, and lets a test act on each finished page
// load from inside the dialog's own message loop.
#pragma once

#include <functional>
#include <string>

#include <glib.h>

#include "app/installer_dialog.h"

class DialogProbe : public CInternetInstallerDlg {
 public:
  // Called on the user-interface thread for every loaded page with its id ("132"). End the
  // run with EndDialog; a run that takes longer than timeoutMs ends itself and fails.
  using PageStep = std::function<void(DialogProbe& dialog, const std::wstring& page)>;

  // Called on the user-interface thread for every click, after the program's own reaction.
  using ClickStep = std::function<void(DialogProbe& dialog, IHTMLElement& element)>;

  explicit DialogProbe(PageStep step, unsigned timeoutMs = 30000);
  // The workers borrow the dialog's state: the probe outlives them, as the process does.
  ~DialogProbe() override;
  ClickStep m_onClick;
  void OnDocumentComplete(LPCWSTR url) override;
  void OnHtmlElementClick(IHTMLElement* element) override;

  // What a script expression evaluates to in the loaded page, as text ("" when it is no text or
  // the page could not run it).
  std::wstring Eval(const std::wstring& expression);
  // Runs statements in the loaded page; false when the page could not run them.
  bool Run(const std::wstring& statements);
  // An element's text through the page bridge ("" when the page lacks it).
  std::wstring ElementText(LPCWSTR elementId);

  // The run ended by its time limit rather than by the test.
  bool TimedOut() const { return m_timedOut; }

 private:
  PageStep m_step;
  unsigned m_timeoutMs;
  bool m_timedOut = false;
  guint m_timer = 0;
};

// A CWinApp for tests: the dialog reads the argument text from it.
void SetTestArguments(const std::wstring& arguments);
