// The link label inside a window of this test program: text rectangle,
// hit test, stored address, tooltip, the shared cursor slot, painting.
#include "shell/link_label.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include "common/types.h"
#include "common/setup_state.h"
#include "shell/system_libraries.h"

namespace {

const char kText[] = "For more information, visit the Morvantile website.";

void Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

class LinkLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState();
    SetupState.instance = GetModuleHandleA(nullptr);
    InitCommonControlsOnce();
    page_ = CreateWindowExA(0, "#32770", "page", WS_POPUP | WS_VISIBLE, 100, 100, 500, 200,
                            nullptr, nullptr, SetupState.instance, nullptr);
    ASSERT_NE(page_, nullptr);
  }
  void TearDown() override {
    if (page_) DestroyWindow(page_);
    Pump();
  }
  HWND AddStatic(int id, DWORD style, int x, int y, int width, int height, const char* text = kText) {
    return CreateWindowExA(0, "Static", text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, page_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), SetupState.instance, nullptr);
  }
  SIZE TextExtent(HWND label) {
    HDC dc = GetDC(label);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    SIZE extent;
    GetTextExtentPoint32A(dc, kText, lstrlenA(kText), &extent);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    return extent;
  }
  LRESULT HitTest(HWND label, int clientX, int clientY) {
    POINT point = {clientX, clientY};
    MapWindowPoints(label, HWND_DESKTOP, &point, 1);
    return SendMessageA(label, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
  }
  HWND page_ = nullptr;
};

}  // namespace

TEST_F(LinkLabelTest, TextRectangleFollowsTheAlignmentStyles) {
  HWND centred = AddStatic(1, SS_CENTER, 10, 10, 480, 16);
  HWND right = AddStatic(2, SS_RIGHT | SS_CENTERIMAGE, 10, 40, 480, 40);
  HWND narrow = AddStatic(3, SS_CENTER, 10, 100, 60, 16);
  SIZE extent = TextExtent(centred);

  RECT r = GetLinkTextRect(centred);
  EXPECT_EQ(r.left, (480 - extent.cx) / 2);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right - r.left, extent.cx);
  EXPECT_EQ(r.bottom - r.top, extent.cy);

  r = GetLinkTextRect(right);
  EXPECT_EQ(r.left, 480 - extent.cx);
  EXPECT_EQ(r.top, (40 - extent.cy) / 2);

  // Wider than the control: centred from a negative x.
  r = GetLinkTextRect(narrow);
  EXPECT_LT(r.left, 0);
  EXPECT_EQ(r.left, (60 - extent.cx) / 2);
}

TEST_F(LinkLabelTest, HitTestCountsTheEdgesButNothingBeyond) {
  HWND label = AddStatic(1016, SS_CENTER, 10, 10, 480, 30);
  AttachLinkLabel(page_, 1016);
  Pump();
  RECT r = GetLinkTextRect(label);
  LRESULT outside = CallWindowProcA(reinterpret_cast<WNDPROC>(GetClassLongPtrA(label, GCLP_WNDPROC)),
                                    label, WM_NCHITTEST, 0, 0);
  EXPECT_NE(outside, HTCLIENT);
  EXPECT_EQ(HitTest(label, r.left, r.top), HTCLIENT);
  EXPECT_EQ(HitTest(label, r.right, r.bottom), HTCLIENT);
  EXPECT_NE(HitTest(label, r.right + 1, r.top), HTCLIENT);
  EXPECT_NE(HitTest(label, r.left - 1, r.top), HTCLIENT);
  EXPECT_NE(HitTest(label, r.left, r.bottom + 1), HTCLIENT);
}

TEST_F(LinkLabelTest, AttachStoresTheAddressAndAddsTheTooltip) {
  HWND label = AddStatic(1016, SS_CENTER, 10, 10, 480, 16);
  AttachLinkLabel(page_, 1016);
  EXPECT_EQ(GetWindowLongPtrA(label, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(LinkLabelProc));
  EXPECT_EQ(GetWindowLongPtrA(label, GWLP_USERDATA), 0);   // configured by posted messages
  Pump();
  const char* stored = reinterpret_cast<const char*>(GetWindowLongPtrA(label, GWLP_USERDATA));
  ASSERT_NE(stored, nullptr);
  EXPECT_STREQ(stored, kProductWebPage);
  EXPECT_NE(stored, kProductWebPage);   // a copy the label owns

  HWND tooltip = nullptr;
  while ((tooltip = FindWindowExA(nullptr, tooltip, TOOLTIPS_CLASSA, nullptr)) != nullptr)
    if (GetWindow(tooltip, GW_OWNER) == page_) break;
  ASSERT_NE(tooltip, nullptr);
  EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
  char text[1024] = "";
  TOOLINFOA tool = {};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.hwnd = page_;
  tool.uId = reinterpret_cast<UINT_PTR>(label);
  tool.lpszText = text;
  SendMessageA(tooltip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
  EXPECT_STREQ(text, kProductWebPage);
}

TEST_F(LinkLabelTest, AnOverlongAddressIsCutNotOverrun) {
  HWND label = AddStatic(1016, SS_CENTER, 10, 10, 480, 16);
  SetWindowLongPtrA(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LinkLabelProc));
  static char address[3000];
  memset(address, 'a', sizeof address - 1);
  SendMessageA(label, WMU_LINK_SETURL, 0, reinterpret_cast<LPARAM>(address));
  const char* stored = reinterpret_cast<const char*>(GetWindowLongPtrA(label, GWLP_USERDATA));
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(lstrlenA(stored), 1023);
}

TEST_F(LinkLabelTest, LabelsShareOneCursorAndTheLastOneSetWins) {
  HWND first = AddStatic(1, SS_CENTER, 10, 10, 480, 16);
  HWND second = AddStatic(2, SS_CENTER, 10, 40, 480, 16);
  for (HWND label : {first, second})
    SetWindowLongPtrA(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LinkLabelProc));
  HCURSOR hand = LoadCursorA(SetupState.instance, MAKEINTRESOURCEA(115));
  HCURSOR cross = LoadCursorA(nullptr, IDC_CROSS);
  ASSERT_NE(hand, nullptr);
  SendMessageA(first, WMU_LINK_SETCURSOR, 0, reinterpret_cast<LPARAM>(hand));
  SendMessageA(second, WMU_LINK_SETCURSOR, 0, reinterpret_cast<LPARAM>(cross));

  SetCursor(nullptr);
  EXPECT_EQ(SendMessageA(first, WM_SETCURSOR, reinterpret_cast<WPARAM>(first), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), 0);
  EXPECT_EQ(GetCursor(), cross);
  SetCursor(nullptr);
  EXPECT_EQ(SendMessageA(first, WM_SETCURSOR, reinterpret_cast<WPARAM>(first), MAKELPARAM(HTBORDER, WM_MOUSEMOVE)), 0);
  EXPECT_EQ(GetCursor(), nullptr);
}

TEST_F(LinkLabelTest, TextIsPaintedInDarkBlue) {
  HWND label = AddStatic(1016, SS_CENTER, 10, 10, 480, 20);
  AttachLinkLabel(page_, 1016);
  Pump();
  InvalidateRect(label, nullptr, TRUE);
  UpdateWindow(label);
  RECT r = GetLinkTextRect(label);
  HDC dc = GetDC(label);
  int blue = 0;
  for (int y = r.top; y <= r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (GetPixel(dc, x, y) == 0x00A00000) ++blue;
  ReleaseDC(label, dc);
  EXPECT_GT(blue, r.right - r.left);   // the glyphs and the underline
}
