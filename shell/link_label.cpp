#include "shell/link_label.h"

#include <commctrl.h>
#include <shellapi.h>
#include <stddef.h>

#include "common/memory.h"
#include "common/types.h"
#include "common/setup_state.h"
#include "shell/system_libraries.h"

namespace {

const int kTextSize = 1024;            // label text and address buffers
const COLORREF kLinkColour = 0x00A00000;  // dark blue
const int kHandCursorId = 115;

#ifndef _WIN64
static_assert(offsetof(TOOLINFOA, lParam) + sizeof(LPARAM) == 44, "the tooltip record that ends with lParam");
#endif

HCURSOR linkCursor;   // shared by every label; the last one set wins

LRESULT CallClassProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC classProc = reinterpret_cast<WNDPROC>(GetClassLongPtrA(label, GCLP_WNDPROC));
  return CallWindowProcA(classProc, label, message, wParam, lParam);
}

HFONT LabelFont(HWND label) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
  return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void PaintLink(HWND label) {
  RECT textRect = GetLinkTextRect(label);
  char text[kTextSize];
  int length = GetWindowTextA(label, text, kTextSize);

  PAINTSTRUCT paint;
  HDC dc = BeginPaint(label, &paint);
  SelectObject(dc, LabelFont(label));
  LOGFONTA description;
  MemFill(&description, 0, sizeof description);
  GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof description, &description);
  description.lfUnderline = 1;
  HFONT underlined = CreateFontIndirectA(&description);
  HGDIOBJ replaced = underlined ? SelectObject(dc, underlined) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kLinkColour);
  TextOutA(dc, textRect.left, textRect.top, text, length);
  if (underlined) {
    SelectObject(dc, replaced);
    DeleteObject(underlined);
  }
  EndPaint(label, &paint);
}

int PointerOnText(HWND label, LPARAM position) {
  RECT textRect = GetLinkTextRect(label);
  MapWindowPoints(label, HWND_DESKTOP, reinterpret_cast<POINT*>(&textRect), 2);
  int x = static_cast<short>(LOWORD(position));
  int y = static_cast<short>(HIWORD(position));
  return x >= textRect.left && x <= textRect.right && y >= textRect.top && y <= textRect.bottom;
}

void StoreAddress(HWND label, const char* address) {
  char* block = static_cast<char*>(MemAlloc(kTextSize));
  if (!block) return;
  // lstrcpynA: an address longer than the block is cut, never overrun.
  lstrcpynA(block, address ? address : "", kTextSize);
  MemFree(reinterpret_cast<char*>(SetWindowLongPtrA(label, GWLP_USERDATA,
                                                    reinterpret_cast<LONG_PTR>(block))));
}

void AddTooltip(HWND label) {
  InitCommonControlsOnce();
  HWND page = GetParent(label);
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(page, GWLP_HINSTANCE));
  HWND tooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, "", 0, 0, 0, 0, 0, page, nullptr,
                                 instance, nullptr);
  if (!tooltip) return;
  TOOLINFOA tool;
  MemFill(&tool, 0, sizeof tool);
  tool.cbSize = TTTOOLINFOA_V2_SIZE;   // the form that ends with lParam
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = page;
  tool.uId = reinterpret_cast<UINT_PTR>(label);
  tool.lpszText = reinterpret_cast<char*>(GetWindowLongPtrA(label, GWLP_USERDATA));
  SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace

RECT GetLinkTextRect(HWND label) {
  HDC dc = GetDC(label);
  HGDIOBJ previous = SelectObject(dc, LabelFont(label));
  char text[kTextSize];
  int length = GetWindowTextA(label, text, kTextSize);
  SIZE extent = {0, 0};
  GetTextExtentPoint32A(dc, text, length, &extent);
  SelectObject(dc, previous);
  ReleaseDC(label, dc);

  RECT window;
  GetWindowRect(label, &window);
  LONG width = window.right - window.left;
  LONG height = window.bottom - window.top;
  LONG_PTR style = GetWindowLongPtrA(label, GWL_STYLE);
  RECT result;
  result.top = (style & SS_CENTERIMAGE) ? (height - extent.cy) / 2 : 0;
  if (style & SS_CENTER)
    result.left = (width - extent.cx) / 2;
  else if (style & SS_RIGHT)
    result.left = width - extent.cx;
  else
    result.left = 0;
  result.right = result.left + extent.cx;
  result.bottom = result.top + extent.cy;
  return result;
}

LRESULT CALLBACK LinkLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      MemFree(reinterpret_cast<char*>(SetWindowLongPtrA(label, GWLP_USERDATA, 0)));
      break;
    case WM_PAINT:
      PaintLink(label);
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && linkCursor) SetCursor(linkCursor);
      return 0;
    case WM_NCHITTEST:
      if (PointerOnText(label, lParam)) return HTCLIENT;
      break;
    case WM_LBUTTONUP: {
      const char* address = reinterpret_cast<const char*>(GetWindowLongPtrA(label, GWLP_USERDATA));
      if (address) ShellExecuteA(nullptr, "open", address, nullptr, "", SW_SHOWDEFAULT);
      break;
    }
    case WMU_LINK_SETURL:
      StoreAddress(label, reinterpret_cast<const char*>(lParam));
      break;
    case WMU_LINK_SETCURSOR:
      linkCursor = reinterpret_cast<HCURSOR>(lParam);
      break;
    case WMU_LINK_ADDTOOLTIP:
      AddTooltip(label);
      break;
    default:
      break;
  }
  return CallClassProc(label, message, wParam, lParam);
}

void AttachLinkLabel(HWND page, int staticId) {
  HCURSOR hand = LoadCursorA(SetupState.instance, MAKEINTRESOURCEA(kHandCursorId));
  HWND label = GetDlgItem(page, staticId);
  if (!label) return;
  SetWindowLongPtrA(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LinkLabelProc));
  PostMessageA(label, WMU_LINK_SETURL, 0, reinterpret_cast<LPARAM>(kProductWebPage));
  PostMessageA(label, WMU_LINK_SETCURSOR, 0, reinterpret_cast<LPARAM>(hand));
  PostMessageA(label, WMU_LINK_ADDTOOLTIP, 0, 0);
}
