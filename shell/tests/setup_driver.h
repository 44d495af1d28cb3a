// Drives the real setup program from outside, as a user would: starts it,
// finds its wizard and message boxes, reads texts, button states and the
// keyboard focus, presses buttons. Reusable by any end-to-end scenario.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// "Z:\..." for a path of the Linux side (Wine maps / to Z:).
std::string WindowsPath(const std::string& unixPath);

// Polls `condition` every 20 ms until it holds or `timeoutMs` passes.
// Waits are generous: a loaded machine under Wine can take many seconds to
// show a window, and a condition that holds returns at once.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 30000);

// Small helpers of the scenarios.
bool FileThere(const std::string& path);     // an existing file, not a folder
void RemoveTree(const std::string& path);    // a folder and all in it, read-only files too
std::string StartupShortcut();               // where the setup puts Morvantile.lnk

// Registry values a scenario plants: the key is created when missing. False
// when it cannot be.
bool SetDword(HKEY root, const char* path, const char* name, DWORD value);
bool SetString(HKEY root, const char* path, const char* name, const std::string& value);

// Starts a command line as a script would; its process handle, or null when
// it could not start.
HANDLE StartCommand(const std::string& commandLine);

// Waits for a started command to end and closes its handle: its exit code,
// or STILL_ACTIVE when it did not end in time (it is then ended).
DWORD WaitForCommand(HANDLE process, DWORD timeoutMs);

// Runs a command line to its end: its exit code, or STILL_ACTIVE when it
// could not start or did not end in time.
DWORD RunToEnd(const std::string& commandLine, DWORD timeoutMs = 120000);

enum class Page { None, Welcome, Licence, Options, Custom, Progress };
const char* PageName(Page page);

class SetupDriver {
 public:
  explicit SetupDriver(std::string program, std::string arguments = "");
  ~SetupDriver();   // ends the program if it still runs

  bool Start();
  HWND WaitForWizard(DWORD timeoutMs = 30000);
  HWND wizard() const { return wizard_; }
  DWORD processId() const { return process_.dwProcessId; }

  // The wizard.
  HWND CurrentPage() const;
  Page CurrentPageKind() const;
  bool WaitForPage(Page page, DWORD timeoutMs = 30000) const;
  std::string PageText(int controlId) const;
  HWND PageControl(int controlId) const;
  bool IsChecked(int controlId) const;
  bool IsEnabled(int controlId) const;
  void ClickPageButton(int controlId) const;     // radio, check box, push button
  void TypeIntoPage(int controlId, const std::string& text) const;   // edit: replace text

  // The frame's buttons: Back 0x3023, Next 0x3024, Finish 0x3025, Cancel 2.
  std::string ButtonText(int buttonId) const;
  bool ButtonVisible(int buttonId) const;
  bool ButtonEnabled(int buttonId) const;
  void Press(int buttonId) const;

  // The window that has the keyboard focus in the setup's GUI thread.
  HWND Focus() const;
  bool WaitForFocus(int buttonId, DWORD timeoutMs = 10000) const;

  // Message boxes captioned "Morvantile - Installation" (or `caption`).
  HWND WaitForBox(DWORD timeoutMs = 30000, const char* caption = "Morvantile - Installation") const;
  HWND FindBox(const char* caption = "Morvantile - Installation") const;
  static std::string BoxText(HWND box);
  static bool BoxHasButton(HWND box, int id);
  // Presses a button of the box and waits until the box has gone.
  static bool Answer(HWND box, int id);

  // A key typed into the window that has the focus, as the keyboard sends it
  // (the wizard's message loop gives it to the dialog manager).
  void TypeKey(WORD virtualKey) const;

  // Escape, and the close box of the wizard's frame.
  void PressEscape() const;
  void CloseBox() const;

  // Waits for the program to end; its exit code, or STILL_ACTIVE on timeout.
  DWORD WaitForExit(DWORD timeoutMs = 30000);
  bool Running() const;

 private:
  std::string program_;
  std::string arguments_;
  PROCESS_INFORMATION process_ = {};
  HWND wizard_ = nullptr;
};

// Reads a shell link: its target and description. False when unreadable.
bool ReadShortcut(const std::string& path, std::string* target, std::string* description);

// The files of the modules loaded in process `pid`.
std::vector<std::string> ProcessModules(DWORD pid);

// The processes whose program file lies in `folder` or below it and is
// named `fileName` (letter case ignored).
std::vector<DWORD> ProcessesRunningFrom(const std::string& folder, const char* fileName);

// Ends process `pid` and waits until it has gone. False when it still runs.
bool EndProcess(DWORD pid, DWORD timeoutMs = 10000);

// The top-level windows of process `pid` with this caption and class.
HWND FindProcessWindow(DWORD pid, const char* caption, const char* className, bool wantWizard);
