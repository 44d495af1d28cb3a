#include "shell/tests/setup_driver.h"

#include <commctrl.h>
#include <prsht.h>
#include <psapi.h>
#include <shlobj.h>

#include <vector>

bool FileThere(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(child);
      else
        DeleteFileA(child.c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!RemoveDirectoryA(path.c_str())) DeleteFileA(path.c_str());
}

std::string StartupShortcut() {
  char folder[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, CSIDL_STARTUP, nullptr, 0, folder);
  return std::string(folder) + "\\Morvantile.lnk";
}

bool SetDword(HKEY root, const char* path, const char* name, DWORD value) {
  HKEY key;
  if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) return false;
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
  return true;
}

bool SetString(HKEY root, const char* path, const char* name, const std::string& value) {
  HKEY key;
  if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) return false;
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  return true;
}

HANDLE StartCommand(const std::string& commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

DWORD WaitForCommand(HANDLE process, DWORD timeoutMs) {
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process, &code);
  } else {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
  }
  CloseHandle(process);
  return code;
}

DWORD RunToEnd(const std::string& commandLine, DWORD timeoutMs) {
  HANDLE process = StartCommand(commandLine);
  return process ? WaitForCommand(process, timeoutMs) : STILL_ACTIVE;
}

namespace {

const int kNextButton = 0x3024;

struct WindowSearch {
  DWORD pid;
  const char* caption;
  const char* className;
  bool wantWizard;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
  char text[256] = "", className[64] = "";
  GetWindowTextA(window, text, sizeof text);
  GetClassNameA(window, className, sizeof className);
  if (lstrcmpA(text, search->caption) != 0) return TRUE;
  if (search->className && lstrcmpA(className, search->className) != 0) return TRUE;
  bool isWizard = GetDlgItem(window, kNextButton) != nullptr;
  if (isWizard != search->wantWizard) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM data) {
  char className[32] = "";
  GetClassNameA(child, className, sizeof className);
  if (lstrcmpiA(className, "Static") != 0) return TRUE;
  char text[2048] = "";
  GetWindowTextA(child, text, sizeof text);
  std::string* all = reinterpret_cast<std::string*>(data);
  if (text[0] && all->empty()) *all = text;
  return TRUE;
}

}  // namespace

std::string WindowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
}

const char* PageName(Page page) {
  switch (page) {
    case Page::Welcome: return "Welcome";
    case Page::Licence: return "Licence";
    case Page::Options: return "Options";
    case Page::Custom: return "Custom";
    case Page::Progress: return "Progress";
    default: return "none";
  }
}

HWND FindProcessWindow(DWORD pid, const char* caption, const char* className, bool wantWizard) {
  WindowSearch search = {pid, caption, className, wantWizard, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

SetupDriver::SetupDriver(std::string program, std::string arguments)
    : program_(std::move(program)), arguments_(std::move(arguments)) {}

SetupDriver::~SetupDriver() {
  if (process_.hProcess) {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
}

bool SetupDriver::Start() {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string commandLine = "\"" + program_ + "\"";
  if (!arguments_.empty()) commandLine += " " + arguments_;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  return CreateProcessA(program_.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_) != 0;
}

HWND SetupDriver::WaitForWizard(DWORD timeoutMs) {
  WaitUntil([&] {
    wizard_ = FindProcessWindow(process_.dwProcessId, "Morvantile - Installation", "#32770", true);
    return wizard_ != nullptr && CurrentPage() != nullptr;
  }, timeoutMs);
  return wizard_;
}

HWND SetupDriver::CurrentPage() const {
  if (!wizard_) return nullptr;
  return reinterpret_cast<HWND>(SendMessageA(wizard_, PSM_GETCURRENTPAGEHWND, 0, 0));
}

Page SetupDriver::CurrentPageKind() const {
  HWND page = CurrentPage();
  if (!page) return Page::None;
  if (GetDlgItem(page, 1013)) return Page::Welcome;
  if (GetDlgItem(page, 1010)) return Page::Licence;
  if (GetDlgItem(page, 1011)) return Page::Options;
  if (GetDlgItem(page, 1006)) return Page::Custom;
  if (GetDlgItem(page, 1009)) return Page::Progress;
  return Page::None;
}

bool SetupDriver::WaitForPage(Page page, DWORD timeoutMs) const {
  return WaitUntil([&] { return CurrentPageKind() == page; }, timeoutMs);
}

HWND SetupDriver::PageControl(int controlId) const { return GetDlgItem(CurrentPage(), controlId); }

// GetWindowText does not ask a window of another process for its text (an
// edit control's text is not its caption): WM_GETTEXT is marshalled.
namespace {
std::string WindowText(HWND window) {
  std::vector<char> text(65536, '\0');
  DWORD_PTR length = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 5000, &length);
  return text.data();
}
}  // namespace

std::string SetupDriver::PageText(int controlId) const { return WindowText(PageControl(controlId)); }

bool SetupDriver::IsChecked(int controlId) const {
  return SendMessageA(PageControl(controlId), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool SetupDriver::IsEnabled(int controlId) const { return IsWindowEnabled(PageControl(controlId)) != 0; }

void SetupDriver::ClickPageButton(int controlId) const {
  PostMessageA(PageControl(controlId), BM_CLICK, 0, 0);
}

void SetupDriver::TypeIntoPage(int controlId, const std::string& text) const {
  // WM_SETTEXT on an edit control sends EN_CHANGE, as typing does.
  SendMessageA(PageControl(controlId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string SetupDriver::ButtonText(int buttonId) const { return WindowText(GetDlgItem(wizard_, buttonId)); }

bool SetupDriver::ButtonVisible(int buttonId) const {
  return IsWindowVisible(GetDlgItem(wizard_, buttonId)) != 0;
}

bool SetupDriver::ButtonEnabled(int buttonId) const {
  return IsWindowEnabled(GetDlgItem(wizard_, buttonId)) != 0;
}

void SetupDriver::Press(int buttonId) const {
  PostMessageA(GetDlgItem(wizard_, buttonId), BM_CLICK, 0, 0);
}

HWND SetupDriver::Focus() const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(process_.dwThreadId, &info)) return nullptr;
  return info.hwndFocus;
}

bool SetupDriver::WaitForFocus(int buttonId, DWORD timeoutMs) const {
  HWND button = GetDlgItem(wizard_, buttonId);
  return WaitUntil([&] { return Focus() == button; }, timeoutMs);
}

HWND SetupDriver::FindBox(const char* caption) const {
  return FindProcessWindow(process_.dwProcessId, caption, "#32770", false);
}

HWND SetupDriver::WaitForBox(DWORD timeoutMs, const char* caption) const {
  HWND box = nullptr;
  WaitUntil([&] { return (box = FindBox(caption)) != nullptr; }, timeoutMs);
  return box;
}

std::string SetupDriver::BoxText(HWND box) {
  std::string text;
  EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
  return text;
}

bool SetupDriver::BoxHasButton(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  return button && IsWindowVisible(button);
}

bool SetupDriver::Answer(HWND box, int id) {
  PostMessageA(GetDlgItem(box, id), BM_CLICK, 0, 0);
  return WaitUntil([&] { return !IsWindow(box); });
}

void SetupDriver::TypeKey(WORD virtualKey) const {
  HWND target = Focus();
  if (!target) target = wizard_;
  UINT scan = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  // Repeat count 1; the key-up also carries "was down" and "being released".
  PostMessageA(target, WM_KEYDOWN, virtualKey, static_cast<LPARAM>(1u | (scan << 16)));
  PostMessageA(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u | (scan << 16)));
}

void SetupDriver::PressEscape() const {
  // What the dialog manager makes of Escape typed in the wizard. Posted, it
  // also reaches the wizard while a message box of the setup is open.
  PostMessageA(wizard_, WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(GetDlgItem(wizard_, IDCANCEL)));
}

void SetupDriver::CloseBox() const { PostMessageA(wizard_, WM_SYSCOMMAND, SC_CLOSE, 0); }

DWORD SetupDriver::WaitForExit(DWORD timeoutMs) {
  if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

bool SetupDriver::Running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

bool ReadShortcut(const std::string& path, std::string* target, std::string* description) {
  bool ok = false;
  HRESULT com = CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      wchar_t wide[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
      if (SUCCEEDED(file->Load(wide, STGM_READ))) {
        char text[MAX_PATH] = "";
        link->GetPath(text, MAX_PATH, nullptr, 0);
        *target = text;
        text[0] = '\0';
        link->GetDescription(text, MAX_PATH);
        *description = text;
        ok = true;
      }
      file->Release();
    }
    link->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return ok;
}

std::vector<std::string> ProcessModules(DWORD pid) {
  std::vector<std::string> files;
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return files;
  HMODULE modules[1024];
  DWORD bytes = 0;
  if (EnumProcessModules(process, modules, sizeof modules, &bytes)) {
    for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 1024; ++i) {
      char name[MAX_PATH] = "";
      if (GetModuleFileNameExA(process, modules[i], name, MAX_PATH)) files.push_back(name);
    }
  }
  CloseHandle(process);
  return files;
}

namespace {
std::string ImageOf(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return "";
  char path[MAX_PATH * 2] = "";
  DWORD size = sizeof path;
  if (!QueryFullProcessImageNameA(process, 0, path, &size)) path[0] = '\0';
  CloseHandle(process);
  return path;
}
}  // namespace

std::vector<DWORD> ProcessesRunningFrom(const std::string& folder, const char* fileName) {
  std::vector<DWORD> found;
  std::vector<DWORD> ids(4096);
  DWORD bytes = 0;
  if (!EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return found;
  const std::string prefix = folder + "\\";
  for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
    const std::string image = ImageOf(ids[i]);
    const size_t nameAt = image.find_last_of('\\') + 1;
    if (image.size() <= prefix.size() || nameAt == 0) continue;
    if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, image.c_str(), static_cast<int>(prefix.size()),
                       prefix.c_str(), static_cast<int>(prefix.size())) != CSTR_EQUAL) {
      continue;
    }
    if (lstrcmpiA(image.c_str() + nameAt, fileName) == 0) found.push_back(ids[i]);
  }
  return found;
}

bool EndProcess(DWORD pid, DWORD timeoutMs) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  if (!process) return true;   // already gone
  TerminateProcess(process, 1);
  bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}
