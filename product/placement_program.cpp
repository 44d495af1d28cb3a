// The running product: a hidden top-level window titled "Morvantile" that
// owns the area hot keys and watches for windows of listed applications.
// The setup closes a running copy by sending WM_DESTROY to that window, so
// WM_DESTROY alone ends the program.
#include <windows.h>
#include <shellapi.h>

#include "common/system_library.h"
#include "common/types.h"
#include "product/product_program.h"

const char kProductWindowTitle[] = "Morvantile";

namespace {

const char kWindowClass[] = "MorvantilePlacement";
const char kInstanceMutex[] = "Morvantile - Quillfern placement";
const char kLibraryName[] = "Morvantile.dll";
const int kRememberedWindows = 64;
const int kPendingWindows = 32;
const UINT_PTR kPendingTimer = 1;
const UINT kPendingTickMs = 200;
const int kPendingTicks = 25;   // a window that stays hidden 5 s is let go
const UINT WMU_TRAYICON = WM_APP + 1;
const UINT kTrayIconId = 1;
const UINT_PTR kMenuAbout = 1, kMenuExit = 2;
const char kAboutText[] =
    "Morvantile 3.04 Basic\n\n"
    "Morvantile moves the active window into an area of the screen when you press one of "
    "its hot keys: by default Ctrl+Shift with Home for the whole area, an arrow key for a "
    "side or a half, or 1 to 4 for a quarter.";

struct PlacementProgram {
  HWND window;
  const PlacementLibrary* library;
  ProductSettings settings;
  HWINEVENTHOOK showHook;
  UINT taskbarCreated;               // the notification area was (re)started
  HWND placed[kRememberedWindows];   // recently placed, so each is placed once
  int nextPlaced;
  HWND pending[kPendingWindows];     // created, not yet visible
  int pendingTicks[kPendingWindows];
};

PlacementProgram Program;

const PlacementLibrary* LoadPlacementLibrary(const char* folder) {
  char path[MAX_PATH + 32];
  if (lstrlenA(folder) >= MAX_PATH) return nullptr;
  wsprintfA(path, "%s\\%s", folder, kLibraryName);
  HMODULE module = LoadLibraryA(path);
  if (!module) return nullptr;
  auto entry = LibraryEntry<PlacementLibraryEntry>(module, MORVANTILE_LIBRARY_EXPORT);
  const PlacementLibrary* library = entry ? entry() : nullptr;
  if (!library || library->size < sizeof(PlacementLibrary)) return nullptr;
  return library;
}

// The work area of the monitor that holds most of the window.
PlacementRect WorkAreaOf(HWND window) {
  MONITORINFO info;
  info.cbSize = sizeof info;
  RECT r;
  if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info))
    r = info.rcWork;
  else
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
  return PlacementRect{r.left, r.top, r.right, r.bottom};
}

void MoveWindowTo(HWND window, const PlacementRect& r) {
  // A maximized or minimized window is restored first (the style bits are
  // what IsZoomed and IsIconic read).
  if (GetWindowLongPtrA(window, GWL_STYLE) & (WS_MAXIMIZE | WS_MINIMIZE))
    ShowWindow(window, SW_RESTORE);
  SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

int PlaceWindowInArea(HWND window, int32_t area) {
  PlacementRect r;
  if (!Program.library->AreaRect(area, WorkAreaOf(window), Program.settings.layout, &r)) return 0;
  MoveWindowTo(window, r);
  return 1;
}

// Only ordinary application windows move: visible, top-level, unowned,
// with a caption, and not the desktop, the shell or this program.
int IsPlaceableWindow(HWND window) {
  if (!window || window == Program.window || window == GetDesktopWindow() ||
      window == GetShellWindow())
    return 0;
  if (GetAncestor(window, GA_ROOT) != window || GetWindow(window, GW_OWNER)) return 0;
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  return (style & WS_VISIBLE) && (style & WS_CAPTION) == WS_CAPTION;
}

void OnHotKey(int32_t area) {
  HWND window = GetForegroundWindow();
  if (IsPlaceableWindow(window)) PlaceWindowInArea(window, area);
}

// The short path of the program that owns a window.
int ProgramPathOf(HWND window, char* shortPath, DWORD size) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  char longPath[MAX_PATH];
  if (!GetProcessProgramPath(processId, longPath, sizeof longPath)) return 0;
  const DWORD shortLength = GetShortPathNameA(longPath, shortPath, size);
  return shortLength > 0 && shortLength < size;
}

const AppPlacement* FindApplication(const char* shortPath) {
  for (uint32_t i = 0; i < Program.settings.appCount; i++)
    if (lstrcmpiA(Program.settings.apps[i].path, shortPath) == 0) return &Program.settings.apps[i];
  return nullptr;
}

int WasPlaced(HWND window) {
  for (HWND placed : Program.placed)
    if (placed == window) return 1;
  return 0;
}

void PlaceNewWindow(HWND window) {
  if (Program.settings.appCount == 0 || WasPlaced(window) || !IsPlaceableWindow(window)) return;
  char path[2048];
  if (!ProgramPathOf(window, path, sizeof path)) return;
  const AppPlacement* app = FindApplication(path);
  if (!app) return;
  if (app->area == Custom) {
    // A rectangle stored on another set of monitors may lie on none of
    // these: the window would open off the screen every time.
    const PlacementRect& r = app->customRect;
    const RECT onScreen = {r.left, r.top, r.right, r.bottom};
    if (r.right <= r.left || r.bottom <= r.top || !MonitorFromRect(&onScreen, MONITOR_DEFAULTTONULL))
      return;
    MoveWindowTo(window, r);
  } else if (!PlaceWindowInArea(window, app->area)) {
    return;
  }
  Program.placed[Program.nextPlaced] = window;
  Program.nextPlaced = (Program.nextPlaced + 1) % kRememberedWindows;
}

// A window is placed when it becomes visible. Systems that report only its
// creation (Wine does) get it checked on a timer until it shows.
void WatchUntilVisible(HWND window) {
  for (int i = 0; i < kPendingWindows; i++) {
    if (Program.pending[i] == window) return;
  }
  for (int i = 0; i < kPendingWindows; i++) {
    if (!Program.pending[i]) {
      Program.pending[i] = window;
      Program.pendingTicks[i] = 0;
      SetTimer(Program.window, kPendingTimer, kPendingTickMs, nullptr);
      return;
    }
  }
}

void CheckPendingWindows() {
  int waiting = 0;
  for (int i = 0; i < kPendingWindows; i++) {
    HWND window = Program.pending[i];
    if (!window) continue;
    if (!IsWindow(window) || IsWindowVisible(window) || ++Program.pendingTicks[i] > kPendingTicks) {
      Program.pending[i] = nullptr;
      if (IsWindowVisible(window)) PlaceNewWindow(window);   // false for a window that has gone
    } else {
      waiting++;
    }
  }
  if (!waiting) KillTimer(Program.window, kPendingTimer);
}

void CALLBACK OnWindowEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                            DWORD, DWORD) {
  if (object != OBJID_WINDOW || child != CHILDID_SELF || !window) return;
  if (Program.settings.appCount == 0 || GetAncestor(window, GA_ROOT) != window) return;
  if (event == EVENT_OBJECT_CREATE && !IsWindowVisible(window))
    WatchUntilVisible(window);
  else
    PlaceNewWindow(window);
}

void RegisterAreaHotKeys(HWND window) {
  for (int32_t area = WholeArea; area <= LowerRight; area++) {
    const uint32_t code = Program.settings.hotKeys[area - 1];
    const UINT key = code & 0xFF;
    const UINT modifiers = (code >> 16) & (MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN);
    // A key another program holds stays unassigned; the others still work.
    if (key) RegisterHotKey(window, area, modifiers, key);
  }
}

// The icon in the notification area: the user's way to learn what runs and
// to end it.
void ShowTrayIcon(HWND window, DWORD action) {
  NOTIFYICONDATAA icon = {};
  icon.cbSize = sizeof icon;
  icon.hWnd = window;
  icon.uID = kTrayIconId;
  icon.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
  icon.uCallbackMessage = WMU_TRAYICON;
  icon.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  lstrcpynA(icon.szTip, "Morvantile", sizeof icon.szTip);
  Shell_NotifyIconA(action, &icon);
}

void ShowTrayMenu(HWND window) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  AppendMenuA(menu, MF_STRING, kMenuAbout, "&About Morvantile");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, kMenuExit, "E&xit");
  POINT at;
  GetCursorPos(&at);
  SetForegroundWindow(window);   // so that the menu closes when clicked away
  const UINT_PTR choice = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0,
                                         window, nullptr);
  DestroyMenu(menu);
  if (choice == kMenuAbout)
    MessageBoxA(window, kAboutText, "About Morvantile", MB_OK | MB_ICONINFORMATION);
  else if (choice == kMenuExit)
    DestroyWindow(window);
}

void StopPlacement(HWND window) {
  NOTIFYICONDATAA icon = {};
  icon.cbSize = sizeof icon;
  icon.hWnd = window;
  icon.uID = kTrayIconId;
  Shell_NotifyIconA(NIM_DELETE, &icon);
  for (int32_t area = WholeArea; area <= LowerRight; area++) UnregisterHotKey(window, area);
  KillTimer(window, kPendingTimer);
  if (Program.showHook) UnhookWinEvent(Program.showHook);
  Program.showHook = nullptr;
}

LRESULT CALLBACK PlacementWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_HOTKEY:
      OnHotKey(static_cast<int32_t>(wParam));
      return 0;
    case WM_TIMER:
      if (wParam == kPendingTimer) CheckPendingWindows();
      return 0;
    case WMU_TRAYICON:
      if (lParam == WM_RBUTTONUP || lParam == WM_LBUTTONUP) ShowTrayMenu(window);
      return 0;
    case WM_DESTROY:
      StopPlacement(window);
      PostQuitMessage(0);
      return 0;
  }
  if (message == Program.taskbarCreated && message != 0) {
    ShowTrayIcon(window, NIM_ADD);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreatePlacementWindow(HINSTANCE instance) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = PlacementWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassA(&windowClass)) return nullptr;
  return CreateWindowExA(0, kWindowClass, kProductWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance, nullptr);
}

}  // namespace

int GetProcessProgramPath(DWORD processId, char* path, DWORD size) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return 0;
  DWORD length = size;
  const int ok = QueryFullProcessImageNameA(process, 0, path, &length) && length < size;
  CloseHandle(process);
  return ok;
}

int RunPlacement(HINSTANCE instance) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kInstanceMutex);
  if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
    if (mutex) CloseHandle(mutex);
    return 0;   // another copy is running: show nothing
  }
  char folder[MAX_PATH];
  Program.library = GetProgramFolder(folder, sizeof folder) ? LoadPlacementLibrary(folder) : nullptr;
  if (!Program.library) {
    MessageBoxA(nullptr, "Morvantile.dll is missing or damaged.\n\nPlease install Morvantile again.",
                "Morvantile - Error", MB_OK | MB_ICONERROR);
    CloseHandle(mutex);
    return 1;
  }
  LoadProductSettings(Program.library, folder, &Program.settings);
  Program.window = CreatePlacementWindow(instance);
  if (!Program.window) {
    Program.library->FreeProductSettings(&Program.settings);
    CloseHandle(mutex);
    return 1;
  }
  Program.taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  ShowTrayIcon(Program.window, NIM_ADD);
  RegisterAreaHotKeys(Program.window);
  Program.showHook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr,
                                     OnWindowEvent, 0, 0,
                                     WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  Program.library->FreeProductSettings(&Program.settings);
  CloseHandle(mutex);
  return 0;
}
