// The page bridge on the real web view: reading, writing and calling into loaded pages.
#include <gtest/gtest.h>

#include "dialog_probe.h"
#include "resources/resource_ids.h"
#include "unit/test_machine.h"

namespace {

std::wstring Text(const VARIANT& value) { return value.vt == VT_BSTR ? value.bstrVal : L"<not a string>"; }

TEST(PageBridge, ReadsWritesAndCallsOnlyWhatTheLoadedPageHas) {
  TestMachine machine;
  SetTestArguments(L"");
  std::vector<std::wstring> pages;
  DialogProbe dialog([&](DialogProbe& d, const std::wstring& page) {
    pages.push_back(page);
    if (page == L"132") {
      VARIANT untouched;
      untouched.vt = VT_BSTR;
      untouched.bstrVal = L"untouched";
      EXPECT_FALSE(d.CallPageFunction(L"setProgress", {L"50"}, &untouched));
      EXPECT_EQ(L"untouched", untouched.bstrVal);
      EXPECT_FALSE(d.SetPageElementHtml(L"UseDay", L"7"));
      std::wstring text = L"stale";
      EXPECT_FALSE(d.GetPageElementText(L"NoSuchElement", text));
      EXPECT_EQ(L"", text);
      // The visible text, without markup.
      EXPECT_TRUE(d.SetPageElementHtml(L"Directry", L"<b>D:\\Apps</b> &amp; more"));
      EXPECT_TRUE(d.GetPageElementText(L"Directry", text));
      EXPECT_EQ(L"D:\\Apps & more", text);
      // Two arguments reach the function in their natural order: parseInt("ff", 16).
      VARIANT number;
      EXPECT_TRUE(d.CallPageFunction(L"parseInt", {L"ff", L"16"}, &number));
      EXPECT_EQ(VT_R8, number.vt);
      EXPECT_EQ(255.0, number.dblVal);
      // A script error inside the called function is a failed call.
      ASSERT_TRUE(d.Run(L"window.boom = function () { throw new Error('boom'); };"));
      EXPECT_FALSE(d.CallPageFunction(L"boom", {}, nullptr));
      d.LoadFromResource(IDR_HTML_INSTALLING);
      // The page is loading: nothing is reachable until it has loaded.
      EXPECT_FALSE(d.CallPageFunction(L"setProgress", {L"50"}, nullptr));
    } else if (page == L"134") {
      VARIANT style;
      EXPECT_TRUE(d.CallPageFunction(L"setProgress", {L"50"}, &style));
      EXPECT_EQ(L"width:50%", Text(style));
      EXPECT_EQ(L"50%", d.Eval(L"document.getElementById('Progress').style.width"));
      d.LoadFromResource(IDR_HTML_REMOVE_OFFER);
    } else if (page == L"129") {
      EXPECT_TRUE(d.SetPageElementHtml(L"UseDay", L"7"));
      std::wstring text;
      EXPECT_TRUE(d.GetPageElementText(L"UseDay", text));
      EXPECT_EQ(L"7", text);
      d.EndDialog(IDOK);
    }
  });
  dialog.DoModal();
  EXPECT_FALSE(dialog.TimedOut());
  EXPECT_EQ((std::vector<std::wstring>{L"132", L"134", L"129"}), pages);
}

TEST(PageBridge, ClickedElementCarriesItsSourceAsWrittenAfterThePageHandlerRan) {
  TestMachine machine;
  SetTestArguments(L"");
  const std::wstring clickAccept = L"document.getElementById('Accept').click()";
  std::vector<std::wstring> sources;
  std::vector<LONG> accepted;
  DialogProbe dialog([&](DialogProbe& d, const std::wstring& page) {
    if (page == L"132") {
      EXPECT_TRUE(d.Run(clickAccept));
    }
  });
  dialog.m_onClick = [&](DialogProbe& d, IHTMLElement& element) {
    EXPECT_EQ(L"Accept", element.id);
    std::wstring source;
    EXPECT_TRUE(d.GetSourceAttribute(&element, L"src", source));
    sources.push_back(source);
    accepted.push_back(d.m_bAccepted);
    std::wstring missing;
    EXPECT_FALSE(d.GetSourceAttribute(&element, L"data-none", missing));
    if (sources.size() < 2) {
      EXPECT_TRUE(d.Run(clickAccept));
    } else {
      d.EndDialog(IDOK);
    }
  };
  dialog.DoModal();
  EXPECT_FALSE(dialog.TimedOut());
  // The page's sel() swapped the image before the program saw the click, and the agreement
  // box reaction followed each swap.
  EXPECT_EQ((std::vector<std::wstring>{L"res:/png/#143", L"res:/png/#144"}), sources);
  EXPECT_EQ((std::vector<LONG>{0, 1}), accepted);
}

}  // namespace
