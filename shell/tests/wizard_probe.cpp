// Prints what a user would see of the running setup wizard, for the
// keystroke test: it only looks, never presses or sends input.
//   wizard-probe          one line: page=NAME focus=ID default=ID
//                         back=/next=/finish=/cancel= "TEXT"+state
//                         checked=ID folder="TEXT" status="TEXT" box="TEXT"
// "page=none" when no wizard is shown.
#include <windows.h>
#include <prsht.h>
#include <stdio.h>

#include <string>

namespace {

const char kCaption[] = "Morvantile - Installation";
const int kNext = 0x3024;

std::string Text(HWND window) {
  char text[2048] = "";
  DWORD_PTR length = 0;
  if (window)
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 3000, &length);
  std::string out;
  for (const char* c = text; *c; ++c) out += *c == '\n' ? std::string("\\n") : *c == '\r' ? std::string() : std::string(1, *c);
  return out;
}

struct Found {
  HWND wizard;
  HWND box;
};

BOOL CALLBACK Match(HWND window, LPARAM data) {
  Found* found = reinterpret_cast<Found*>(data);
  char text[256] = "", className[64] = "";
  GetWindowTextA(window, text, sizeof text);
  GetClassNameA(window, className, sizeof className);
  if (!IsWindowVisible(window) || lstrcmpA(className, "#32770") != 0 || lstrcmpA(text, kCaption) != 0)
    return TRUE;
  if (GetDlgItem(window, kNext))
    found->wizard = window;
  else
    found->box = window;
  return TRUE;
}

BOOL CALLBACK BoxStatic(HWND child, LPARAM data) {
  char className[32] = "";
  GetClassNameA(child, className, sizeof className);
  std::string* text = reinterpret_cast<std::string*>(data);
  if (lstrcmpiA(className, "Static") == 0 && text->empty()) *text = Text(child);
  return TRUE;
}

const char* PageName(HWND page) {
  if (!page) return "none";
  if (GetDlgItem(page, 1013)) return "welcome";
  if (GetDlgItem(page, 1010)) return "licence";
  if (GetDlgItem(page, 1011)) return "options";
  if (GetDlgItem(page, 1006)) return "custom";
  if (GetDlgItem(page, 1009)) return "progress";
  return "unknown";
}

void PrintButton(HWND wizard, const char* name, int id) {
  HWND button = GetDlgItem(wizard, id);
  printf(" %s=\"%s\"%s%s", name, Text(button).c_str(), IsWindowVisible(button) ? "" : "-hidden",
         IsWindowEnabled(button) ? "" : "-disabled");
}

}  // namespace

int main() {
  Found found = {nullptr, nullptr};
  EnumWindows(Match, reinterpret_cast<LPARAM>(&found));
  if (!found.wizard) {
    printf("page=none\n");
    return 0;
  }
  HWND page = reinterpret_cast<HWND>(SendMessageA(found.wizard, PSM_GETCURRENTPAGEHWND, 0, 0));
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(found.wizard, nullptr), &info);
  LRESULT defaultId = SendMessageA(found.wizard, DM_GETDEFID, 0, 0);
  printf("page=%s focus=%d default=%d", PageName(page), info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0,
         HIWORD(defaultId) == DC_HASDEFID ? LOWORD(defaultId) : 0);
  PrintButton(found.wizard, "back", 0x3023);
  PrintButton(found.wizard, "next", kNext);
  PrintButton(found.wizard, "finish", 0x3025);
  PrintButton(found.wizard, "cancel", IDCANCEL);
  const int radios[] = {1011, 1012, 1015};
  for (int id : radios)
    if (page && SendDlgItemMessageA(page, id, BM_GETCHECK, 0, 0) == BST_CHECKED) printf(" checked=%d", id);
  if (page && GetDlgItem(page, 1006)) printf(" folder=\"%s\"", Text(GetDlgItem(page, 1006)).c_str());
  if (page && GetDlgItem(page, 1009)) printf(" status=\"%s\"", Text(GetDlgItem(page, 1014)).c_str());
  if (found.box) {
    std::string text;
    EnumChildWindows(found.box, BoxStatic, reinterpret_cast<LPARAM>(&text));
    printf(" box=\"%s\"", text.c_str());
  }
  printf("\n");
  return 0;
}
