// Stand-in for the product in the engine's tests: started with no arguments,
// it writes its current directory into probe-cwd.txt beside itself and ends.
// With "hang" it shows nothing but keeps a hidden top-level window that
// never answers a message, until it is ended.
// With "hung-window TITLE" it keeps a window of that title that never
// answers a message.
// With "window TITLE" it keeps a top-level window of that title and ends,
// as the product does, when the window gets WM_DESTROY. Under its own name
// it stands for another program with such a window; copied to
// Morvantile.exe, for the product.
#include <windows.h>

#include <string.h>

namespace {

LRESULT CALLBACK TitledWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

int RunTitledWindow(HINSTANCE instance, const char* title) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = TitledWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "MvTitledProbe";
  RegisterClassA(&windowClass);
  if (!CreateWindowExA(0, "MvTitledProbe", title, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, instance,
                       nullptr)) {
    return 1;
  }
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  if (strncmp(commandLine, "window ", 7) == 0) {
    return RunTitledWindow(instance, commandLine + 7);
  }
  if (strncmp(commandLine, "hung-window ", 12) == 0) {
    CreateWindowExA(0, "STATIC", commandLine + 12, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                    nullptr);
    Sleep(INFINITE);
  }
  if (lstrcmpA(commandLine, "hang") == 0) {
    CreateWindowExA(0, "STATIC", "Hanging probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    Sleep(INFINITE);
  }
  char folder[MAX_PATH];
  char note[MAX_PATH + 16];
  DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
  DWORD noteLength = GetModuleFileNameA(nullptr, note, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || noteLength == 0 || noteLength >= MAX_PATH) return 1;
  char* name = note;
  for (char* p = note; *p; p++) {
    if (*p == '\\') name = p + 1;
  }
  lstrcpyA(name, "probe-cwd.txt");
  HANDLE file = CreateFileA(note, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, folder, length, &written, nullptr);
  CloseHandle(file);
  return 0;
}
