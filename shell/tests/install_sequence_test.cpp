// The Progress page in a real (modeless) wizard frame, run step by step by
// the message loop, against recording stand-ins for the other subsystems.
// Message boxes are answered from a thread timer, which runs inside their
// modal loops.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "common/types.h"
#include "shell/progress_page.h"
#include "common/setup_state.h"
#include "install/tests/engine_test_support.h"
#include "install/tests/sequence_stand_ins.h"

namespace {

const int kBack = 0x3023;
const int kFinish = 0x3025;
const char kComplete[] = "Installation complete.\n\nThank you for using Morvantile.";

// A page template with the Progress page's three controls.
class PageTemplate {
 public:
  PageTemplate() {
    Words(DS_CONTROL | WS_CHILD | WS_VISIBLE, 0);
    words_.push_back(3);                    // controls
    Numbers({0, 0, 300, 100});
    Numbers({0, 0});                        // no menu, default class
    Text("");                               // no caption
    Control(1014, 0x0082, SS_CENTER, {7, 7, 286, 50}, "");
    Control(1016, 0x0082, SS_CENTER, {7, 66, 286, 8}, "For more information, visit the Morvantile website.");
    Control(1009, 0, WS_BORDER, {7, 79, 286, 14}, "", "msctls_progress32");
  }
  const DLGTEMPLATE* get() const { return (const DLGTEMPLATE*)words_.data(); }

 private:
  void Words(DWORD style, DWORD extended) {
    words_.push_back(LOWORD(style));
    words_.push_back(HIWORD(style));
    words_.push_back(LOWORD(extended));
    words_.push_back(HIWORD(extended));
  }
  void Numbers(std::initializer_list<int> numbers) {
    for (int n : numbers) words_.push_back((WORD)n);
  }
  void Text(const char* text) {
    while (*text) words_.push_back((WORD)*text++);
    words_.push_back(0);
  }
  void Control(int id, WORD atom, DWORD style, std::initializer_list<int> place, const char* text,
               const char* className = nullptr) {
    if (words_.size() % 2) words_.push_back(0);   // DWORD alignment
    Words(WS_CHILD | WS_VISIBLE | style, 0);
    Numbers(place);
    words_.push_back((WORD)id);
    if (className) {
      Text(className);
    } else {
      Numbers({0xFFFF, atom});
    }
    Text(text);
    words_.push_back(0);                     // no creation data
  }
  std::vector<WORD> words_;
};

// A message box seen by the answering timer.
struct SeenBox {
  std::string text;
  std::string caption;
  int buttons = 0;          // MB_YESNO, MB_RETRYCANCEL or MB_OKCANCEL; -1 other
  bool hasIcon = false;
  bool ownedByWizard = false;
  size_t payloadAttempts = 0;
  LONG_PTR cancelAnswer = -1;   // what the page answered PSN_QUERYCANCEL meanwhile
};

struct Reply {
  int button;
  std::function<void()> before;
};

HWND wizard;
HWND page;
std::vector<Reply> replies;
std::vector<SeenBox> boxes;
std::set<HWND> answered;

LONG_PTR Notify(UINT code) {
  NMHDR notice = {wizard, 0, code};
  return SendMessageA(page, WM_NOTIFY, 0, (LPARAM)&notice);
}

BOOL CALLBACK FindIconStatic(HWND child, LPARAM found) {
  char className[16];
  GetClassNameA(child, className, sizeof className);
  if (lstrcmpiA(className, "Static") == 0 && (GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
      SendMessageA(child, STM_GETICON, 0, 0)) {
    *(bool*)found = true;
  }
  return TRUE;
}

int ButtonsOf(HWND box) {
  bool yes = GetDlgItem(box, IDYES), no = GetDlgItem(box, IDNO), retry = GetDlgItem(box, IDRETRY);
  bool ok = GetDlgItem(box, IDOK), cancel = GetDlgItem(box, IDCANCEL);
  if (yes && no && !retry && !ok && !cancel) return MB_YESNO;
  if (retry && cancel && !yes && !ok) return MB_RETRYCANCEL;
  if (ok && cancel && !yes && !retry) return MB_OKCANCEL;
  return -1;
}

BOOL CALLBACK AnswerIfBox(HWND window, LPARAM) {
  char className[16];
  GetClassNameA(window, className, sizeof className);
  if (window == wizard || lstrcmpA(className, "#32770") != 0 || !IsWindowVisible(window) ||
      answered.count(window)) {
    return TRUE;
  }
  SeenBox box;
  char text[4096];
  GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
  box.text = text;
  GetWindowTextA(window, text, sizeof text);
  box.caption = text;
  box.buttons = ButtonsOf(window);
  EnumChildWindows(window, FindIconStatic, (LPARAM)&box.hasIcon);
  box.ownedByWizard = GetWindow(window, GW_OWNER) == wizard;
  box.payloadAttempts = standIns.payloadAttempts.size();
  box.cancelAnswer = Notify(PSN_QUERYCANCEL);
  boxes.push_back(box);
  answered.insert(window);

  Reply reply = {IDCANCEL, nullptr};
  if (!replies.empty()) {
    reply = replies.front();
    replies.erase(replies.begin());
  }
  if (reply.before) reply.before();
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(reply.button, BN_CLICKED), (LPARAM)GetDlgItem(window, reply.button));
  return FALSE;
}

void CALLBACK AnswerBoxes(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), AnswerIfBox, 0);
}

void PumpUntil(const std::function<bool()>& done) {
  DWORD start = GetTickCount();
  while (!done() && GetTickCount() - start < 20000) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (!PropSheet_IsDialogMessage(wizard, &message)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// Lets the messages already posted (focus, repaint) be handled.
void PumpBriefly() {
  DWORD start = GetTickCount();
  PumpUntil([start] { return GetTickCount() - start > 100; });
}

class ProgressPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState();
    SetupState.instance = GetModuleHandleA(nullptr);
    standIns = StandInLog();
    replies.clear();
    boxes.clear();
    answered.clear();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
  }
  void TearDown() override {
    KillTimer(nullptr, timer_);
    if (wizard) DestroyWindow(wizard);
    wizard = page = nullptr;
  }

  // Opens the wizard on the Progress page (which starts a run) and runs
  // until the run has ended.
  void Run() {
    PROPSHEETPAGEA sheetPage = {};
    sheetPage.dwSize = sizeof sheetPage;
    sheetPage.dwFlags = PSP_DLGINDIRECT;
    sheetPage.hInstance = SetupState.instance;
    sheetPage.pResource = template_.get();
    sheetPage.pfnDlgProc = ProgressPageProc;
    PROPSHEETHEADERA sheet = {};
    sheet.dwSize = sizeof sheet;
    sheet.dwFlags = PSH_WIZARD | PSH_MODELESS | PSH_PROPSHEETPAGE;
    sheet.hInstance = SetupState.instance;
    sheet.pszCaption = "Engine test";
    sheet.nPages = 1;
    sheet.ppsp = &sheetPage;
    wizard = (HWND)PropertySheetA(&sheet);
    ASSERT_TRUE(wizard);
    page = PropSheet_GetCurrentPageHwnd(wizard);
    ASSERT_TRUE(page);
    if (whenOpened_) whenOpened_();
    timer_ = SetTimer(nullptr, 0, 20, AnswerBoxes);
    PumpUntil([] { return SetupState.finished != 0; });
    ASSERT_EQ(SetupState.finished, 1) << "the run did not end";
    PumpBriefly();
  }

  // Enters the page once more, as Back and Next would.
  // A run has ended when "OK" is enabled again.
  void RunAgain() {
    Notify(PSN_SETACTIVE);
    EXPECT_FALSE(IsWindowEnabled(Button(kFinish)));
    PumpUntil([this] { return IsWindowEnabled(Button(kFinish)) != 0; });
    PumpBriefly();
  }

  std::string Status() {
    char text[4096];
    GetDlgItemTextA(page, 1014, text, sizeof text);
    return text;
  }
  int Progress() { return (int)SendDlgItemMessageA(page, 1009, PBM_GETPOS, 0, 0); }
  HWND Button(int id) { return GetDlgItem(wizard, id); }
  std::string ButtonText(int id) {
    char text[64];
    GetWindowTextA(Button(id), text, sizeof text);
    return text;
  }
  bool Visible(int id) { return IsWindowVisible(Button(id)) != 0; }

  void ExpectFailedEnd(const std::string& status, int progress) {
    EXPECT_EQ(Status(), status);
    EXPECT_EQ(Progress(), progress);
    EXPECT_TRUE(Visible(kBack)) << "Back is offered again";
    EXPECT_FALSE(Visible(IDCANCEL));
    EXPECT_EQ(ButtonText(kFinish), "OK");
    EXPECT_TRUE(IsWindowEnabled(Button(kFinish)));
    EXPECT_EQ(GetFocus(), Button(kFinish));
  }

  PageTemplate template_;
  std::function<void()> whenOpened_;   // runs before the first step does
  UINT_PTR timer_ = 0;
  ScratchFolder scratch_{"sequence"};
};

}  // namespace

TEST_F(ProgressPage, FirstTypicalInstallationRunsAllTenSteps) {
  std::string target = scratch_ / "Programs\\Morvantile";
  lstrcpyA(SetupState.defaultFolder, (target + "\\").c_str());
  Run();

  EXPECT_STREQ(SetupState.targetFolder, target.c_str()) << "one trailing backslash goes";
  EXPECT_TRUE(IsFolder(target)) << "created without a question";
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(standIns.linkLabelStatic, 1016);
  ASSERT_GE(standIns.payloadAttempts.size(), 2u);
  EXPECT_EQ(standIns.payloadAttempts[0], 102);
  EXPECT_EQ(standIns.payloadAttempts[1], 101);
  EXPECT_EQ(ReadBytes(target + "\\Morvantile.dll"), "payload 102");
  EXPECT_EQ(ReadBytes(target + "\\Morvantile.exe"), "payload 101");
  // This system's folder holds psapi.dll, so none is written.
  EXPECT_EQ(standIns.payloadAttempts.size(), 2u);
  EXPECT_EQ(standIns.migratedFolders, std::vector<std::string>{target});
  EXPECT_TRUE(standIns.settingsFilePaths.empty()) << "nothing was migrated";
  EXPECT_EQ(standIns.productKeyRemovals, 0) << "so nothing leaves the registry";
  EXPECT_EQ(standIns.shortcuts, std::vector<std::string>{target});
  EXPECT_EQ(standIns.launches, std::vector<std::string>{target});
  EXPECT_EQ(standIns.uninstallEntries, std::vector<std::string>{target});

  EXPECT_EQ(Status(), kComplete);
  EXPECT_EQ(Progress(), 10);
  EXPECT_FALSE(Visible(kBack));
  EXPECT_FALSE(Visible(IDCANCEL));
  EXPECT_TRUE(Visible(kFinish));
  EXPECT_EQ(ButtonText(kFinish), "OK");
  EXPECT_TRUE(IsWindowEnabled(Button(kFinish)));
  EXPECT_EQ(GetFocus(), Button(kFinish));
  EXPECT_EQ(Notify(PSN_QUERYCANCEL), 0) << "the wizard may close now";
  EXPECT_EQ(Notify(PSN_WIZFINISH), 0);
}

TEST_F(ProgressPage, RefusesToCloseWhileTheFirstRunWorks) {
  SetupState.customInstall = 1;
  lstrcpyA(SetupState.customFolder, (scratch_ / "asked").c_str());
  replies = {{IDNO, [] {
                // Meanwhile the frame's Cancel and Finish must be refused.
                PropSheet_PressButton(wizard, PSBTN_CANCEL);
                boxes.back().cancelAnswer = Notify(PSN_WIZFINISH);
              }}};
  Run();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].cancelAnswer, 1) << "PSN_WIZFINISH during the run";
  EXPECT_TRUE(PropSheet_GetCurrentPageHwnd(wizard)) << "Cancel closed the wizard during the run";
  PropSheet_PressButton(wizard, PSBTN_CANCEL);
  PumpBriefly();
  EXPECT_FALSE(PropSheet_GetCurrentPageHwnd(wizard)) << "after the run Cancel closes";
}

// Input waits behind the posted step messages, so an Escape typed during
// the first run reaches the wizard only once the run has ended, when it
// would be allowed to close it.
TEST_F(ProgressPage, EscapeTypedDuringTheFirstRunDoesNotCloseTheWizardAfterIt) {
  lstrcpyA(SetupState.defaultFolder, (scratch_ / "typed").c_str());
  whenOpened_ = [] {
    SetForegroundWindow(wizard);
    INPUT keys[2] = {};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = VK_ESCAPE;
    keys[1] = keys[0];
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(2, keys, sizeof(INPUT)), 2u);
  };
  Run();
  PumpBriefly();
  EXPECT_TRUE(PropSheet_GetCurrentPageHwnd(wizard)) << "the queued Escape closed the wizard";
  EXPECT_EQ(Status(), kComplete);
}

// A relative folder would be made in the setup's current folder, and one
// with wildcards would pass a find-first search that matched another entry.
TEST_F(ProgressPage, OnlyAFullFolderPathIsInstalledInto) {
  ASSERT_TRUE(CreateDirectoryA((scratch_ / "Existing").c_str(), nullptr));
  // A relative folder would be made in the current one: the scratch folder.
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(scratch_.path().c_str()));
  SetupState.customInstall = 1;
  for (std::string folder : {std::string("Morvrel"), std::string("C:Morvrel"), std::string(""),
                             scratch_ / "Exist*", scratch_ / "Existin?"}) {
    SCOPED_TRACE(folder);
    lstrcpyA(SetupState.customFolder, folder.c_str());
    if (!wizard) Run(); else RunAgain();
    EXPECT_TRUE(boxes.empty()) << "not asked whether to create it";
    ExpectFailedEnd("Installation Incomplete.\n\nThe installation folder is invalid.  "
                    "Go back and enter a valid installation folder.", 1);
  }
  EXPECT_TRUE(standIns.payloadAttempts.empty());
  EXPECT_FALSE(IsFolder(scratch_ / "Morvrel"));

  SetupState.customInstall = 0;
  lstrcpyA(SetupState.defaultFolder, "Morvrel");
  RunAgain();
  ExpectFailedEnd("Installation Incomplete.\n\nThe installation folder could not be created.\nMorvrel\n"
                  "Go back and try using the Custom installation and specify a different folder.", 1);
  EXPECT_FALSE(IsFolder(scratch_ / "Morvrel"));
  SetCurrentDirectoryA(previous);
}

TEST_F(ProgressPage, CustomFolderIsCreatedOnlyWhenTheUserAgrees) {
  std::string target = scratch_ / "Custom Place";
  SetupState.customInstall = 1;
  SetupState.startWithWindows = 0;
  SetupState.launchAfterInstall = 0;
  SetupState.installedVersion = 0;
  lstrcpyA(SetupState.customFolder, target.c_str());
  lstrcpyA(SetupState.defaultFolder, (scratch_ / "Default").c_str());
  replies = {{IDNO, nullptr}, {IDYES, nullptr}};
  Run();

  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Create folder?\n\nThe installation folder doesn't exist.\n" + target);
  EXPECT_EQ(boxes[0].caption, "Morvantile - Installation");
  EXPECT_EQ(boxes[0].buttons, MB_YESNO);
  EXPECT_FALSE(boxes[0].hasIcon);
  EXPECT_TRUE(boxes[0].ownedByWizard);
  EXPECT_EQ(boxes[0].cancelAnswer, 1) << "Cancel is refused during the first run";
  ExpectFailedEnd("Installation Incomplete.\n\nThe creation of the installation folder was declined.", 1);
  EXPECT_FALSE(IsFolder(target));
  EXPECT_TRUE(standIns.payloadAttempts.empty());

  // Back and Next again: a new run from step 0; this time Yes.
  RunAgain();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_TRUE(IsFolder(target));
  EXPECT_EQ(Status(), kComplete);
  EXPECT_EQ(Progress(), 10);
  EXPECT_TRUE(standIns.shortcuts.empty()) << "both start options are off";
  EXPECT_TRUE(standIns.launches.empty());
  EXPECT_EQ(standIns.uninstallEntries, std::vector<std::string>{target});
}

// Slashes become backslashes, and blanks and backslashes typed after the
// folder go: the folder found or made is the one the files are written
// into, named as Windows names it.
TEST_F(ProgressPage, TypedFolderIsTidiedBeforeUse) {
  std::string target = scratch_ / "Tools";
  ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
  SetupState.customInstall = 1;
  lstrcpyA(SetupState.customFolder, (scratch_.path() + "/Tools \\\\ ").c_str());
  Run();
  EXPECT_TRUE(boxes.empty()) << "the folder exists";
  EXPECT_STREQ(SetupState.targetFolder, target.c_str());
  EXPECT_EQ(Status(), kComplete);
  EXPECT_EQ(ReadBytes(target + "\\Morvantile.exe"), "payload 101");
}

TEST_F(ProgressPage, CustomFolderThatCannotBeCreatedIsInvalid) {
  ASSERT_TRUE(WriteBytes(scratch_ / "file", "x"));
  SetupState.customInstall = 1;
  lstrcpyA(SetupState.customFolder, (scratch_ / "file\\sub").c_str());
  replies = {{IDYES, nullptr}};
  Run();
  ASSERT_EQ(boxes.size(), 1u);
  ExpectFailedEnd(
      "Installation Incomplete.\n\nThe installation folder is invalid.  Go back and enter a valid installation folder.", 1);
}

TEST_F(ProgressPage, TypicalFolderThatCannotBeCreatedSendsTheUserToCustom) {
  ASSERT_TRUE(WriteBytes(scratch_ / "file", "x"));
  std::string target = scratch_ / "file\\sub";
  lstrcpyA(SetupState.defaultFolder, target.c_str());
  Run();
  EXPECT_TRUE(boxes.empty()) << "a Typical run never asks";
  ExpectFailedEnd("Installation Incomplete.\n\nThe installation folder could not be created.\n" + target +
                      "\nGo back and try using the Custom installation and specify a different folder.",
                  1);
}

TEST_F(ProgressPage, OverlongFolderIsRefusedLikeAnUncreatableOne) {
  std::string target = scratch_.path();
  while (target.size() < 2047) target += "\\long";
  target.resize(2047);
  lstrcpyA(SetupState.defaultFolder, target.c_str());
  Run();
  ExpectFailedEnd("Installation Incomplete.\n\nThe installation folder could not be created.\n" + target +
                      "\nGo back and try using the Custom installation and specify a different folder.",
                  1);
  EXPECT_FALSE(IsFolder(scratch_ / "long"));
}

TEST_F(ProgressPage, LibraryInUseIsRetriedFourTimesBeforeAsking) {
  std::string target = scratch_.path();
  lstrcpyA(SetupState.defaultFolder, target.c_str());
  ASSERT_TRUE(CreateDirectoryA((scratch_ / "Morvantile.dll").c_str(), nullptr));   // cannot be written
  replies = {{IDRETRY, nullptr}, {IDCANCEL, nullptr}};
  Run();

  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text,
            "Could not write the Morvantile.dll file.\nCheck that it is not currently in use\n"
            "and that no other programs are running.");
  EXPECT_EQ(boxes[0].buttons, MB_RETRYCANCEL);
  EXPECT_FALSE(boxes[0].hasIcon);
  EXPECT_EQ(boxes[0].payloadAttempts, 4u);
  EXPECT_EQ(boxes[1].payloadAttempts, 8u) << "Retry gives four more attempts";
  EXPECT_EQ(standIns.payloadAttempts, std::vector<int>(8, 102));
  ExpectFailedEnd("Installation Incomplete.\n\nThe Morvantile.dll file could not be written.", 3);
}

TEST_F(ProgressPage, ProgramInUseAsksAtOnceAndRetryCanSucceed) {
  std::string target = scratch_.path();
  std::string blocker = scratch_ / "Morvantile.exe";
  lstrcpyA(SetupState.defaultFolder, target.c_str());
  SetupState.installedVersion = 0x0204;
  ASSERT_TRUE(CreateDirectoryA(blocker.c_str(), nullptr));
  replies = {{IDRETRY, nullptr}, {IDRETRY, [blocker] { RemoveDirectoryA(blocker.c_str()); }}};
  Run();

  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text,
            "Could not write the Morvantile.exe file.\nCheck that it is not currently in use\n"
            "and that no other programs are running.");
  EXPECT_EQ(boxes[0].payloadAttempts, 2u) << "asked at the first failure";
  EXPECT_EQ(boxes[1].payloadAttempts, 3u);
  EXPECT_EQ(Status(), kComplete);
  EXPECT_EQ(ReadBytes(blocker), "payload 101");
}

TEST_F(ProgressPage, ProgramInUseCancelledEndsTheRun) {
  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  ASSERT_TRUE(CreateDirectoryA((scratch_ / "Morvantile.exe").c_str(), nullptr));
  replies = {{IDCANCEL, nullptr}};
  Run();
  ASSERT_EQ(boxes.size(), 1u);
  ExpectFailedEnd("Installation Incomplete.\n\nThe Morvantile.exe file could not be written.", 3);
}

// A payload that fails its check cannot be mended by a retry: the run ends
// at once with its own text, and nothing of that payload is written.
const char kDamagedSetup[] =
    "Installation Incomplete.\n\nThe setup program is damaged. Please download it again.";

TEST_F(ProgressPage, ADamagedLibraryPayloadEndsTheRunWithoutAskingToRetry) {
  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  standIns.damagedPayload = 102;
  Run();
  EXPECT_TRUE(boxes.empty()) << "no Retry box";
  EXPECT_EQ(standIns.payloadAttempts, std::vector<int>{102});
  EXPECT_EQ(GetFileAttributesA((scratch_ / "Morvantile.dll").c_str()), INVALID_FILE_ATTRIBUTES);
  ExpectFailedEnd(kDamagedSetup, 3);
  EXPECT_TRUE(standIns.uninstallEntries.empty());
}

TEST_F(ProgressPage, ADamagedProgramPayloadEndsTheRunWithoutAskingToRetry) {
  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  standIns.damagedPayload = 101;
  Run();
  EXPECT_TRUE(boxes.empty()) << "no Retry box";
  EXPECT_EQ(standIns.payloadAttempts, (std::vector<int>{102, 101}));
  EXPECT_EQ(GetFileAttributesA((scratch_ / "Morvantile.exe").c_str()), INVALID_FILE_ATTRIBUTES);
  ExpectFailedEnd(kDamagedSetup, 3);
  EXPECT_TRUE(standIns.launches.empty());
}

TEST_F(ProgressPage, UpgradeStampsTheHeaderAndNeitherLinksNorStarts) {
  std::string settings = scratch_ / "default.MorvantileSettings";
  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  SetupState.installedVersion = 0x0204;
  standIns.migrationResult = 1;
  standIns.settingsFileBytes = std::string("MV\x00\x03" "new body", 12);
  Run();

  EXPECT_EQ(standIns.settingsFilePaths, std::vector<std::string>{settings});
  EXPECT_EQ(ReadBytes(settings), std::string("MV\x04\x03" "new body", 12)) << "only the header changes";
  EXPECT_TRUE(standIns.shortcuts.empty());
  EXPECT_TRUE(standIns.launches.empty()) << "no running copy was closed";
  EXPECT_EQ(Status(), kComplete);
}

// The setup runs elevated: a file of the settings file's name that is not
// one (here another file's hard link, made by whoever may write the folder)
// keeps its bytes. An old settings file left as it was is stamped.
TEST_F(ProgressPage, UpgradeStampsOnlyASettingsFile) {
  std::string settings = scratch_ / "default.MorvantileSettings";
  std::string other = scratch_ / "other.dll";
  ASSERT_TRUE(WriteBytes(other, "MZ\x90!body"));
  ASSERT_TRUE(CreateHardLinkA(settings.c_str(), other.c_str(), nullptr));
  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  SetupState.installedVersion = 0x0204;
  Run();
  EXPECT_EQ(ReadBytes(other), "MZ\x90!body");

  ASSERT_TRUE(DeleteFileA(settings.c_str()));
  ASSERT_TRUE(WriteBytes(settings, "MV\x01\x02old"));
  RunAgain();
  EXPECT_EQ(ReadBytes(settings), "MV\x04\x03old");
  EXPECT_EQ(Status(), kComplete);
}

TEST_F(ProgressPage, CurrentVersionKeepsTheWrittenHeader) {
  std::string settings = scratch_ / "default.MorvantileSettings";
  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  SetupState.installedVersion = 0x0304;
  standIns.migrationResult = 1;
  Run();
  EXPECT_EQ(ReadBytes(settings), standIns.settingsFileBytes);
}

TEST_F(ProgressPage, UpgradeRestartsTheProductItClosed) {
  TitledWindowProgram product(ProductStandInIn(scratch_.path()), "Morvantile");
  ASSERT_TRUE(product.window());
  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  SetupState.installedVersion = 0x0206;
  Run();
  EXPECT_TRUE(product.Ended());

  EXPECT_EQ(SetupState.instanceWasRunning, 1);
  EXPECT_EQ(standIns.launches, std::vector<std::string>{scratch_.path()});
  EXPECT_TRUE(standIns.shortcuts.empty());
}

// A window titled "Morvantile" in another program is not a running copy:
// it stays, and an upgrade then starts nothing.
TEST_F(ProgressPage, AnotherProgramsWindowOfTheProductsTitleIsNoRunningCopy) {
  TitledWindowProgram foreign(BesideThisProgram("product_probe.exe"), "Morvantile");
  ASSERT_TRUE(foreign.window());
  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  SetupState.installedVersion = 0x0206;
  Run();
  EXPECT_TRUE(foreign.Running());
  EXPECT_EQ(SetupState.instanceWasRunning, 0);
  EXPECT_TRUE(standIns.launches.empty());
  EXPECT_EQ(Status(), kComplete);
}

TEST_F(ProgressPage, SettingsFileThatCannotBeWrittenAsksWhetherToGoOn) {
  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  standIns.migrationResult = 1;
  standIns.settingsFileWrites = 0;
  replies = {{IDOK, nullptr}, {IDCANCEL, nullptr}};
  Run();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Could not write the settings file.\nContinue installation with default settings?");
  EXPECT_EQ(boxes[0].buttons, MB_OKCANCEL);
  EXPECT_EQ(Status(), kComplete) << "OK goes on";
  EXPECT_EQ(standIns.productKeyRemovals, 0) << "the registry keeps the settings no file holds";

  RunAgain();
  ASSERT_EQ(boxes.size(), 2u);
  ExpectFailedEnd("Installation Incomplete.\n\nThe settings file could not be written.", 5);
  EXPECT_EQ(standIns.productKeyRemovals, 0) << "the failed run stopped before step 5";

  standIns.settingsFileWrites = 1;
  RunAgain();
  EXPECT_EQ(Status(), kComplete);
  EXPECT_EQ(standIns.productKeyRemovals, 1) << "a file written lets the registry copy go";
}

// Settings kept in the registry: the file would hide them from the product.
// With nothing in the registry, the file holds all the user has, and stays.
TEST_F(ProgressPage, KeepingOldSettingsOffDeletesOnlyAFileThatHidesRegistrySettings) {
  std::string settings = scratch_ / "default.MorvantileSettings";
  ASSERT_TRUE(WriteBytes(settings, "MV\x03\x02old"));
  ASSERT_TRUE(SetFileAttributesA(settings.c_str(), FILE_ATTRIBUTE_READONLY));
  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  SetupState.migrateSettings = 0;
  SetupState.installedVersion = 0x0203;
  standIns.migrationResult = 1;
  Run();
  EXPECT_EQ(GetFileAttributesA(settings.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(standIns.settingsFilePaths.empty());
  EXPECT_EQ(standIns.migratedFolders.size(), 1u) << "the migration runs all the same";
  EXPECT_EQ(standIns.productKeyRemovals, 0);

  ASSERT_TRUE(WriteBytes(settings, "MV\x04\x03kept"));
  SetupState.installedVersion = 0x0304;
  standIns.migrationResult = 0;
  RunAgain();
  EXPECT_EQ(Status(), kComplete);
  EXPECT_EQ(ReadBytes(settings), "MV\x04\x03kept");
}

// A folder in place of the settings file is the user's: an upgrade that
// keeps no settings neither deletes it nor stamps a header into it.
TEST_F(ProgressPage, FolderNamedLikeTheSettingsFileIsLeftAlone) {
  std::string settings = scratch_ / "default.MorvantileSettings";
  ASSERT_TRUE(CreateDirectoryA(settings.c_str(), nullptr));
  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  SetupState.migrateSettings = 0;
  SetupState.installedVersion = 0x0203;
  Run();
  EXPECT_EQ(GetFileAttributesA(settings.c_str()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(Status(), kComplete);
}

TEST_F(ProgressPage, StepNumbersBeyondTheLastEndTheRunAsFailed) {
  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  Run();
  PostMessageA(page, WMU_RUNSTEP, 0, 10);
  PumpBriefly();
  EXPECT_EQ(Status(), "Installation failed.\n\nUnknown fatal error during uninstallation.");
  EXPECT_FALSE(Visible(kBack));
}

// A program whose hidden top-level window stops answering messages: the
// repaint broadcast of step 1 must not wait for it for ever.
TEST_F(ProgressPage, AWindowThatDoesNotAnswerCannotStopTheRun) {
  std::string command = "\"" + BesideThisProgram("product_probe.exe") + "\" hang";
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION hanging = {};
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &hanging));
  for (int i = 0; i < 200 && !FindWindowA(nullptr, "Hanging probe"); i++) Sleep(50);
  bool hangs = FindWindowA(nullptr, "Hanging probe") != nullptr;

  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  if (hangs) Run();
  TerminateProcess(hanging.hProcess, 0);
  WaitForSingleObject(hanging.hProcess, 5000);
  CloseHandle(hanging.hProcess);
  CloseHandle(hanging.hThread);
  ASSERT_TRUE(hangs) << "the hanging probe did not start";
  EXPECT_EQ(Status(), kComplete);
}
