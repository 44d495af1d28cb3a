// The real MorvantileSetup.exe, driven like a user: pages, buttons, focus,
// message boxes, then the files, registry and exit code it leaves behind.
// Every scenario installs into a private temporary folder (named by
// "LastPath", or the default folder under Program Files) and removes its
// keys, files and shortcut before and after.
// The same scenarios drive the shipped PE32 setup when MV_SETUP_BUILD=pe32:
// the uninstall entry and the folders are then looked for where a 32-bit
// program puts them on 64-bit Windows (see setup_build.h).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <aclapi.h>

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "common/tests/test_keyboard.h"
#include "common/tests/test_registry.h"
#include "shell/tests/setup_build.h"
#include "shell/tests/setup_driver.h"

namespace {

const int kBack = 0x3023, kNext = 0x3024, kFinish = 0x3025, kCancel = IDCANCEL;
const DWORD kExitCode = 0xFFFFFFFF;
const char kProductKey[] = "Software\\Quillfern\\Morvantile";
const char kCompanyKey[] = "Software\\Quillfern";
const char kOlderKey[] = "Software\\Vorn\\Brastock";
const char kOlderCompanyKey[] = "Software\\Vorn";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morvantile";
const char kComplete[] = "Installation complete.\n\nThank you for using Morvantile.";

const SetupBuild& Build() { return BuildUnderTest(); }
std::string SetupProgram() { return Build().setup; }

// How long a program of the build under test may take to show its first
// window: a 32-bit process start costs about a minute of CPU under the
// emulation that runs 32-bit Wine here, more on a busy machine.
DWORD StartTimeout() { return Build().pe32 ? 400000 : 30000; }

// The uninstall entry in the registry view of the build under test.
std::string UninstallText(const char* name) { return ReadMachineText(Build().registryView, kUninstallKey, name); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream data;
  data << in.rdbuf();
  return data.str();
}

bool FolderThere(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}


// The product copies a scenario starts run from its private folder: they
// are found, waited for and ended by their process, never by a window (a
// product that has not shown its window yet must not be missed). Windows
// serve only to check that a product came up.

// The process of the window titled "Morvantile", 0 when there is none.
DWORD ProductWindowOwner() {
  DWORD pid = 0;
  HWND window = FindWindowA(nullptr, "Morvantile");
  if (window) GetWindowThreadProcessId(window, &pid);
  return pid;
}

std::string ProcessImage(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return "";
  char path[MAX_PATH] = "";
  DWORD size = MAX_PATH;
  QueryFullProcessImageNameA(process, 0, path, &size);
  CloseHandle(process);
  return path;
}

// Settings of the older generation (1.50) or of 2.04, with values that
// every part of the migration converts.
void PlantOlderSettings(const char* key, DWORD upgradeVer) {
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, key, "UpgradeVer", upgradeVer));
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, key, "Colors", 7));
  if (upgradeVer < 200) {
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, key, "CoverageArea", 0x01020304));
  }
  std::string clipPrint = std::string(key) + "\\ClipPrint";
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, clipPrint.c_str(), "SizeFormat", 0x2301000C));
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, clipPrint.c_str(), "HotKey", 0x20041));
  ASSERT_TRUE(SetString(HKEY_CURRENT_USER, clipPrint.c_str(), "FaceName", "Arial"));
}

int ProgressPosition(const SetupDriver& setup) {
  return static_cast<int>(SendMessageA(setup.PageControl(1009), PBM_GETPOS, 0, 0));
}

std::string UniqueFolder(const char* tag) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string path = std::string(temp) + "mv-e2e-" + tag + "-" + std::to_string(GetCurrentProcessId());
  return path;
}

class SetupScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    base_ = UniqueFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    RemoveTree(base_);
    ASSERT_TRUE(CreateDirectoryA(base_.c_str(), nullptr));
    folder_ = base_ + "\\Morvantile";
  }
  void TearDown() override {
    if (started_) {
      // A copy a test started itself, whether or not its window came up.
      TerminateProcess(started_, 1);
      WaitForSingleObject(started_, 5000);
      CloseHandle(started_);
      started_ = nullptr;
    }
    // Anything else still running from the scenario's folder was left behind
    // by it: end it, so that it cannot outlive the test and hold its output,
    // and fail the scenario.
    for (DWORD pid : ProcessesRunningFrom(base_, "Morvantile.exe")) {
      ADD_FAILURE() << "a product was left running: " << ProcessImage(pid);
      EXPECT_TRUE(EndProcess(pid));
    }
    Clean();
    RemoveTree(base_);
  }
  static void Clean() {
    DeleteTestKey(HKEY_CURRENT_USER, kProductKey);
    DeleteTestKey(HKEY_CURRENT_USER, kCompanyKey);
    DeleteTestKey(HKEY_CURRENT_USER, kOlderKey);
    DeleteTestKey(HKEY_CURRENT_USER, kOlderCompanyKey);
    // Both views: the x86_64 settings code a scenario runs writes the 64-bit one.
    DeleteMachineKey(KEY_WOW64_32KEY, kUninstallKey);
    DeleteMachineKey(KEY_WOW64_64KEY, kUninstallKey);
    DeleteFileA(StartupShortcut().c_str());
  }
  // The folder the setup proposes: "LastPath" of the product's key.
  void ProposeFolder(const std::string& folder) {
    ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kProductKey, "LastPath", folder));
  }

  // Starts the setup and waits for its Welcome page.
  void Launch(SetupDriver& setup) {
    ASSERT_TRUE(setup.Start());
    ASSERT_NE(setup.WaitForWizard(StartTimeout()), nullptr);
    ASSERT_TRUE(setup.WaitForPage(Page::Welcome));
  }

  // Welcome -> Licence -> Options, checking the buttons on the way.
  void GoToOptions(SetupDriver& setup) {
    setup.Press(kNext);
    ASSERT_TRUE(setup.WaitForPage(Page::Licence));
    setup.Press(kNext);
    ASSERT_TRUE(setup.WaitForPage(Page::Options));
  }

  // Options -> Custom, `boxes` unchecked there (1018, the settings move,
  // among them), back to Options and Upgrade picked: a user who changes
  // their mind.
  void UncheckOnCustomThenPickUpgrade(SetupDriver& setup, std::initializer_list<int> boxes) {
    GoToOptions(setup);
    setup.ClickPageButton(1012);
    ASSERT_TRUE(WaitUntil([&] { return setup.ButtonText(kNext) == "&Next >"; }));
    setup.Press(kNext);
    ASSERT_TRUE(setup.WaitForPage(Page::Custom));
    for (int box : boxes) setup.ClickPageButton(box);
    ASSERT_TRUE(WaitUntil([&] { return !setup.IsChecked(1018); }));
    setup.Press(kBack);
    ASSERT_TRUE(setup.WaitForPage(Page::Options));
    setup.ClickPageButton(1015);
    ASSERT_TRUE(WaitUntil([&] { return setup.ButtonText(kNext) == "I&nstall"; }));
  }

  // From the Progress page to a complete run, with the settings moved into
  // the file (and out of the registry) or left in the registry.
  void ExpectCompleteRun(SetupDriver& setup, bool settingsMoved) {
    ASSERT_TRUE(setup.WaitForPage(Page::Progress));
    WaitForRunEnd(setup);
    EXPECT_EQ(setup.PageText(1014), kComplete);
    EXPECT_EQ(FileThere(folder_ + "\\default.MorvantileSettings"), settingsMoved);
    EXPECT_EQ(TestKeyExists(HKEY_CURRENT_USER, kProductKey), !settingsMoved);
    FinishAndExpectExit(setup);
  }

  // The run ends with "OK" enabled, or stops at a question.
  void WaitForRunEnd(SetupDriver& setup, DWORD timeoutMs = 30000) {
    if (Build().pe32) timeoutMs = StartTimeout();
    ASSERT_TRUE(WaitUntil([&] { return setup.ButtonEnabled(kFinish) || setup.FindBox(); }, timeoutMs));
  }

  void FinishAndExpectExit(SetupDriver& setup) {
    ASSERT_TRUE(setup.WaitForFocus(kFinish));
    setup.Press(kFinish);
    EXPECT_EQ(setup.WaitForExit(), kExitCode);
  }

  // The same registry state through the x86_64 settings code gives the
  // same bytes, whichever build the setup was: sizes and layouts must not
  // depend on the pointer size. (The tool does not stamp the version into
  // the header, bytes 2-3.)
  void ExpectWhatTheX64SettingsCodeWrites(const std::string& settings, const char* key, DWORD upgradeVer) {
    Clean();
    ProposeFolder(folder_);
    PlantOlderSettings(key, upgradeVer);
    std::string tool = "\"" + WindowsPath(MV_SETTINGS_TOOL) + "\" ";
    std::string reference = base_ + "\\reference.MorvantileSettings";
    ASSERT_EQ(RunToEnd(tool + "migrate \"" + folder_ + "\""), 0u);
    ASSERT_EQ(RunToEnd(tool + "write-file \"" + reference + "\""), 0u);
    std::string expected = ReadFile(reference);
    ASSERT_GE(expected.size(), 4u);
    ASSERT_GE(settings.size(), 4u);
    EXPECT_EQ(settings.substr(4), expected.substr(4)) << Build().name << " setup and x86_64 settings code differ";
  }

  // The products running from the scenario's folder.
  std::vector<DWORD> RunningProducts() const { return ProcessesRunningFrom(base_, "Morvantile.exe"); }

  // Waits for the product the installation started (one other than
  // `except`) and returns its process id, 0 when none came.
  DWORD WaitForProduct(DWORD except = 0) const {
    DWORD pid = 0;
    WaitUntil([&] {
      for (DWORD running : RunningProducts())
        if (running != except) pid = running;
      return pid != 0;
    });
    return pid;
  }

  // The installation started the product: wait for it and end it.
  void ExpectProductStartedAndEndIt(DWORD except = 0) {
    DWORD pid = WaitForProduct(except);
    ASSERT_NE(pid, 0u) << "the product was not started";
    EXPECT_TRUE(EndProcess(pid));
  }

  std::string base_, folder_;
  HANDLE started_ = nullptr;
};

}  // namespace

TEST_F(SetupScenario, FirstTypicalInstallationEndToEnd) {
  ProposeFolder(folder_);
  SetupDriver setup(SetupProgram());
  Launch(setup);

  // Welcome.
  EXPECT_EQ(setup.PageText(1013), "This program installs Morvantile 3.04 Basic.");
  EXPECT_EQ(setup.PageText(1014), "Thank you for using Morvantile.");
  EXPECT_EQ(setup.PageText(1016), "For more information, visit the Morvantile website.");
  EXPECT_FALSE(setup.ButtonVisible(kBack));
  EXPECT_TRUE(setup.ButtonVisible(kNext));
  EXPECT_EQ(setup.ButtonText(kNext), "&Next >");
  EXPECT_TRUE(setup.ButtonVisible(kCancel));
  EXPECT_TRUE(setup.WaitForFocus(kNext));

  // Licence: the text of payload 116, "I &Agree" / "I &Disagree".
  setup.Press(kNext);
  ASSERT_TRUE(setup.WaitForPage(Page::Licence));
  std::string licence = ReadFile(WindowsPath(MV_LICENCE_TXT));
  ASSERT_FALSE(licence.empty());
  EXPECT_EQ(setup.PageText(1010), licence);
  EXPECT_EQ(setup.ButtonText(kBack), "I &Disagree");
  EXPECT_EQ(setup.ButtonText(kNext), "I &Agree");
  EXPECT_TRUE(setup.ButtonVisible(kBack));
  EXPECT_TRUE(setup.WaitForFocus(kNext));

  // "I Disagree" goes back to Welcome; agree this time.
  setup.Press(kBack);
  ASSERT_TRUE(setup.WaitForPage(Page::Welcome));
  EXPECT_FALSE(setup.ButtonVisible(kBack));
  GoToOptions(setup);

  // Options: nothing installed, so Typical is recommended and Upgrade off.
  EXPECT_TRUE(setup.IsChecked(1011));
  EXPECT_EQ(setup.PageText(1011), "Typical Installation:  Use default installation settings. (recommended)");
  EXPECT_FALSE(setup.IsEnabled(1015));
  EXPECT_EQ(setup.ButtonText(kBack), "< &Back");
  EXPECT_EQ(setup.ButtonText(kNext), "I&nstall");
  EXPECT_TRUE(setup.WaitForFocus(kNext));

  // Install: Custom Options skips itself, the run goes through all ten steps.
  setup.Press(kNext);
  ASSERT_TRUE(setup.WaitForPage(Page::Progress));
  EXPECT_FALSE(setup.ButtonVisible(kBack));
  EXPECT_FALSE(setup.ButtonVisible(kCancel));
  EXPECT_EQ(setup.ButtonText(kFinish), "OK");
  WaitForRunEnd(setup);
  EXPECT_EQ(setup.FindBox(), nullptr) << "no question on a Typical installation";
  EXPECT_EQ(setup.PageText(1014), kComplete);
  EXPECT_EQ(ProgressPosition(setup), 10);
  EXPECT_FALSE(setup.ButtonVisible(kBack));

  // The files, byte for byte as built; Wine's system folder has psapi.dll.
  EXPECT_TRUE(FolderThere(folder_));
  EXPECT_EQ(ReadFile(folder_ + "\\Morvantile.exe"), ReadFile(Build().productExe));
  EXPECT_EQ(ReadFile(folder_ + "\\Morvantile.dll"), ReadFile(Build().productDll));
  EXPECT_FALSE(FileThere(folder_ + "\\psapi.dll"));
  EXPECT_FALSE(FileThere(folder_ + "\\default.MorvantileSettings"));

  // The shortcut, the uninstall entry, the product started from the folder.
  std::string target, description;
  ASSERT_TRUE(ReadShortcut(StartupShortcut(), &target, &description));
  EXPECT_EQ(lstrcmpiA(target.c_str(), (folder_ + "\\Morvantile.exe").c_str()), 0) << target;
  EXPECT_EQ(description, "Morvantile");
  EXPECT_EQ(UninstallText("UninstallString"),
            "\"" + folder_ + "\\Morvantile.exe\" /uninstall");
  EXPECT_EQ(UninstallText("DisplayName"), "Morvantile");
  DWORD product = WaitForProduct();
  ASSERT_NE(product, 0u);
  EXPECT_EQ(lstrcmpiA(ProcessImage(product).c_str(), (folder_ + "\\Morvantile.exe").c_str()), 0);
  EXPECT_TRUE(WaitUntil([&] { return ProductWindowOwner() == product; })) << "its window came up";
  EXPECT_TRUE(EndProcess(product));

  FinishAndExpectExit(setup);
}

TEST_F(SetupScenario, SecondCopyEndsAtOnceAndSilently) {
  ProposeFolder(folder_);
  SetupDriver first(SetupProgram());
  Launch(first);

  SetupDriver second(SetupProgram());
  ASSERT_TRUE(second.Start());
  EXPECT_EQ(second.WaitForExit(10000), kExitCode);
  EXPECT_EQ(FindProcessWindow(second.processId(), "Morvantile - Installation", nullptr, true), nullptr);
  EXPECT_EQ(FindProcessWindow(second.processId(), "Morvantile - Error", nullptr, false), nullptr);

  // The first copy is unaffected; once it ends, a new copy starts normally.
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(first.CurrentPageKind(), Page::Welcome);
  first.Press(kCancel);
  EXPECT_EQ(first.WaitForExit(), kExitCode);
  SetupDriver third(SetupProgram());
  Launch(third);
  third.Press(kCancel);
  EXPECT_EQ(third.WaitForExit(), kExitCode);
  EXPECT_FALSE(FolderThere(folder_)) << "cancelled before the Progress page";
}

TEST_F(SetupScenario, NewerInstalledVersionOnlyLetsTheUserCancel) {
  ProposeFolder(folder_);
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kProductKey, "UpgradeVer", 305));
  SetupDriver setup(SetupProgram());
  Launch(setup);
  EXPECT_EQ(setup.PageText(1014),
            "A newer version of Morvantile is installed on this computer.\n"
            "You can not install an older version after a newer version has been installed.");
  EXPECT_FALSE(setup.ButtonVisible(kNext));
  EXPECT_FALSE(setup.ButtonVisible(kBack));
  ASSERT_TRUE(setup.WaitForFocus(kCancel));
  // Enter presses the focused Cancel, never the hidden Next.
  setup.TypeKey(VK_RETURN);
  EXPECT_EQ(setup.WaitForExit(), kExitCode);
  EXPECT_FALSE(FolderThere(folder_));
}

TEST_F(SetupScenario, OlderAndSameVersionsRecommendUpgrade) {
  ProposeFolder(folder_);
  struct Case { DWORD upgradeVer; const char* text; };
  const Case cases[] = {
      {303, "An older version of Morvantile is installed on this computer.\nContinue with the installation to upgrade."},
      {304, "This version of Morvantile is already installed on this computer.\n"
            "Continue with the installation to rewrite any damaged files."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.upgradeVer);
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kProductKey, "UpgradeVer", c.upgradeVer));
    SetupDriver setup(SetupProgram());
    Launch(setup);
    EXPECT_EQ(setup.PageText(1014), c.text);
    GoToOptions(setup);
    EXPECT_TRUE(setup.IsChecked(1015));
    EXPECT_TRUE(setup.IsEnabled(1015));
    EXPECT_EQ(setup.PageText(1015), "Upgrade:  Use existing settings and preferences. (recommended)");
    EXPECT_EQ(setup.ButtonText(kNext), "I&nstall");
    setup.Press(kCancel);
    EXPECT_EQ(setup.WaitForExit(), kExitCode);
  }
}

TEST_F(SetupScenario, CustomKeepsEntriesAndAsksBeforeCreatingTheFolder) {
  ProposeFolder(folder_);
  SetupDriver setup(SetupProgram());
  Launch(setup);
  GoToOptions(setup);

  setup.ClickPageButton(1012);
  ASSERT_TRUE(WaitUntil([&] { return setup.ButtonText(kNext) == "&Next >"; }));
  setup.Press(kNext);
  ASSERT_TRUE(setup.WaitForPage(Page::Custom));
  EXPECT_EQ(setup.PageText(1006), folder_);
  EXPECT_TRUE(setup.IsChecked(1002));
  EXPECT_TRUE(setup.IsChecked(1007));
  EXPECT_TRUE(setup.IsChecked(1018));
  EXPECT_EQ(setup.ButtonText(kBack), "< &Back");
  EXPECT_EQ(setup.ButtonText(kNext), "I&nstall");
  EXPECT_TRUE(setup.WaitForFocus(kNext));

  // Change everything, go back, come again: the entries are kept.
  std::string custom = base_ + "\\Chosen\\Place";
  setup.TypeIntoPage(1006, custom + "\\");
  setup.ClickPageButton(1002);
  setup.ClickPageButton(1007);
  ASSERT_TRUE(WaitUntil([&] { return !setup.IsChecked(1007); }));
  setup.Press(kBack);
  ASSERT_TRUE(setup.WaitForPage(Page::Options));
  EXPECT_TRUE(setup.IsChecked(1012));
  EXPECT_EQ(setup.ButtonText(kNext), "&Next >");
  setup.Press(kNext);
  ASSERT_TRUE(setup.WaitForPage(Page::Custom));
  EXPECT_EQ(setup.PageText(1006), custom + "\\");
  EXPECT_FALSE(setup.IsChecked(1002));
  EXPECT_FALSE(setup.IsChecked(1007));
  EXPECT_TRUE(setup.IsChecked(1018));

  // The folder is missing: asked, without its trailing backslash; No ends the run.
  setup.Press(kNext);
  HWND box = setup.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(SetupDriver::BoxText(box), "Create folder?\n\nThe installation folder doesn't exist.\n" + custom);
  EXPECT_TRUE(SetupDriver::BoxHasButton(box, IDYES));
  EXPECT_TRUE(SetupDriver::BoxHasButton(box, IDNO));
  ASSERT_TRUE(SetupDriver::Answer(box, IDNO));
  WaitForRunEnd(setup);
  EXPECT_EQ(setup.PageText(1014), "Installation Incomplete.\n\nThe creation of the installation folder was declined.");
  EXPECT_EQ(ProgressPosition(setup), 1);
  EXPECT_TRUE(setup.ButtonVisible(kBack));
  EXPECT_FALSE(FolderThere(custom));

  // Back to the Custom page, and again: Yes creates it; no shortcut, no start.
  setup.Press(kBack);
  ASSERT_TRUE(setup.WaitForPage(Page::Custom));
  setup.Press(kNext);
  box = setup.WaitForBox();
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(SetupDriver::Answer(box, IDYES));
  WaitForRunEnd(setup);
  EXPECT_EQ(setup.PageText(1014), kComplete);
  EXPECT_TRUE(FileThere(custom + "\\Morvantile.exe"));
  EXPECT_FALSE(FileThere(StartupShortcut()));
  EXPECT_EQ(UninstallText("UninstallString"),
            "\"" + custom + "\\Morvantile.exe\" /uninstall");
  EXPECT_TRUE(RunningProducts().empty()) << "started although the option was off";
  FinishAndExpectExit(setup);
}

struct BrowserSearch {
  DWORD pid;
  HWND wizard;
  HWND found;
};

BOOL CALLBACK FindBrowser(HWND window, LPARAM data) {
  BrowserSearch* search = reinterpret_cast<BrowserSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid || window == search->wizard || !IsWindowVisible(window)) return TRUE;
  if (SetupDriver::BoxText(window) != "Select the folder to install into.") return TRUE;
  search->found = window;
  return FALSE;
}

TEST_F(SetupScenario, BrowseOpensTheFolderBrowserAndCancelKeepsTheFolder) {
  ProposeFolder(folder_);
  SetupDriver setup(SetupProgram());
  Launch(setup);
  GoToOptions(setup);
  setup.ClickPageButton(1012);
  ASSERT_TRUE(WaitUntil([&] { return setup.ButtonText(kNext) == "&Next >"; }));
  setup.Press(kNext);
  ASSERT_TRUE(setup.WaitForPage(Page::Custom));
  setup.ClickPageButton(1008);
  BrowserSearch search = {setup.processId(), setup.wizard(), nullptr};
  ASSERT_TRUE(WaitUntil([&] {
    EnumWindows(FindBrowser, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  }));
  ASSERT_TRUE(SetupDriver::Answer(search.found, IDCANCEL));
  EXPECT_EQ(setup.PageText(1006), folder_);

  // The cancelled browser left the chosen folder as it was: the missing
  // folder the installation asks about is still the one in the box.
  setup.Press(kNext);
  HWND box = setup.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(SetupDriver::BoxText(box), "Create folder?\n\nThe installation folder doesn't exist.\n" + folder_);
  ASSERT_TRUE(SetupDriver::Answer(box, IDNO));
  WaitForRunEnd(setup);
  FinishAndExpectExit(setup);
}

TEST_F(SetupScenario, FileInPlaceOfTheFolderBlocksTheLibrary) {
  // A file of the target's name satisfies step 0; the library then cannot
  // be written: four silent attempts, then the Retry/Cancel box.
  ProposeFolder(folder_);
  { std::ofstream(folder_) << "in the way"; }
  SetupDriver setup(SetupProgram());
  Launch(setup);
  GoToOptions(setup);
  setup.Press(kNext);
  ASSERT_TRUE(setup.WaitForPage(Page::Progress));
  DWORD start = GetTickCount();
  HWND box = setup.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_GE(GetTickCount() - start, 300u) << "four attempts with a pause after each";
  EXPECT_EQ(SetupDriver::BoxText(box),
            "Could not write the Morvantile.dll file.\nCheck that it is not currently in use\n"
            "and that no other programs are running.");
  EXPECT_TRUE(SetupDriver::BoxHasButton(box, IDRETRY));
  EXPECT_TRUE(SetupDriver::BoxHasButton(box, IDCANCEL));

  // Retry: four more silent attempts, the box again.
  ASSERT_TRUE(SetupDriver::Answer(box, IDRETRY));
  box = setup.WaitForBox();
  ASSERT_NE(box, nullptr);

  // The first run is under way: Escape and the close box do nothing.
  setup.PressEscape();
  setup.CloseBox();
  ASSERT_TRUE(SetupDriver::Answer(box, IDCANCEL));
  WaitForRunEnd(setup);
  Sleep(300);
  ASSERT_TRUE(setup.Running());
  EXPECT_EQ(setup.PageText(1014), "Installation Incomplete.\n\nThe Morvantile.dll file could not be written.");
  EXPECT_EQ(ProgressPosition(setup), 3);
  EXPECT_TRUE(setup.ButtonVisible(kBack));
  EXPECT_TRUE(setup.ButtonEnabled(kFinish));
  EXPECT_FALSE(setup.ButtonVisible(kCancel));

  // Clear the way and go again: the second visit starts over at step 0,
  // which now creates the folder.
  DeleteFileA(folder_.c_str());
  setup.Press(kBack);
  ASSERT_TRUE(setup.WaitForPage(Page::Options));
  setup.Press(kNext);
  ASSERT_TRUE(setup.WaitForPage(Page::Progress));
  WaitForRunEnd(setup);
  EXPECT_EQ(setup.FindBox(), nullptr);
  EXPECT_EQ(setup.PageText(1014), kComplete);
  EXPECT_TRUE(FileThere(folder_ + "\\Morvantile.dll"));
  ExpectProductStartedAndEndIt();
  FinishAndExpectExit(setup);
}

TEST_F(SetupScenario, EscapeAndCloseBoxDoNothingWhileTheFirstRunWaits) {
  // Custom into a missing folder: the run waits at step 0 for an answer.
  ProposeFolder(folder_);
  SetupDriver setup(SetupProgram());
  Launch(setup);
  GoToOptions(setup);
  setup.ClickPageButton(1012);
  ASSERT_TRUE(WaitUntil([&] { return setup.ButtonText(kNext) == "&Next >"; }));
  setup.Press(kNext);
  ASSERT_TRUE(setup.WaitForPage(Page::Custom));
  setup.Press(kNext);
  HWND box = setup.WaitForBox();
  ASSERT_NE(box, nullptr);
  setup.PressEscape();
  setup.CloseBox();
  Sleep(300);
  ASSERT_TRUE(SetupDriver::Answer(box, IDNO));
  WaitForRunEnd(setup);
  Sleep(300);
  EXPECT_TRUE(setup.Running());
  EXPECT_EQ(setup.CurrentPageKind(), Page::Progress);
  // After the end, the close box closes the wizard.
  setup.CloseBox();
  EXPECT_EQ(setup.WaitForExit(), kExitCode);
}

TEST_F(SetupScenario, SettingsFileThatCannotBeWrittenAsksToContinue) {
  for (int answer : {IDOK, IDCANCEL}) {
    SCOPED_TRACE(answer == IDOK ? "OK" : "Cancel");
    Clean();
    RemoveTree(folder_);
    ProposeFolder(folder_);
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kProductKey, "UpgradeVer", 204));
    // A folder where the settings file goes: it cannot be written.
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((folder_ + "\\default.MorvantileSettings").c_str(), nullptr));

    SetupDriver setup(SetupProgram());
    Launch(setup);
    GoToOptions(setup);
    EXPECT_TRUE(setup.IsChecked(1015));
    setup.Press(kNext);
    ASSERT_TRUE(setup.WaitForPage(Page::Progress));
    HWND box = setup.WaitForBox(20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(SetupDriver::BoxText(box),
              "Could not write the settings file.\nContinue installation with default settings?");
    EXPECT_TRUE(SetupDriver::BoxHasButton(box, IDOK));
    EXPECT_TRUE(SetupDriver::BoxHasButton(box, IDCANCEL));
    ASSERT_TRUE(SetupDriver::Answer(box, answer));
    WaitForRunEnd(setup);
    EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, kProductKey)) << "no file holds the settings";
    if (answer == IDOK) {
      EXPECT_EQ(setup.PageText(1014), kComplete);
      EXPECT_EQ(ProgressPosition(setup), 10);
    } else {
      EXPECT_EQ(setup.PageText(1014), "Installation Incomplete.\n\nThe settings file could not be written.");
      EXPECT_EQ(ProgressPosition(setup), 5);
      EXPECT_TRUE(setup.ButtonVisible(kBack));
    }
    EXPECT_TRUE(RunningProducts().empty()) << "an upgrade with no copy running starts nothing";
    FinishAndExpectExit(setup);
  }
}

TEST_F(SetupScenario, UpgradeFromTheOlderGenerationAndFromTwoPointOhFour) {
  struct Case { const char* key; DWORD upgradeVer; };
  for (const Case& c : {Case{kOlderKey, 150}, Case{kProductKey, 204}}) {
    SCOPED_TRACE(c.upgradeVer);
    Clean();
    RemoveTree(folder_);
    ProposeFolder(folder_);
    PlantOlderSettings(c.key, c.upgradeVer);
    SetupDriver setup(SetupProgram());
    Launch(setup);
    EXPECT_EQ(setup.PageText(1014),
              "An older version of Morvantile is installed on this computer.\nContinue with the installation to upgrade.");
    GoToOptions(setup);
    setup.Press(kNext);   // Upgrade, recommended
    ASSERT_TRUE(setup.WaitForPage(Page::Progress));
    WaitForRunEnd(setup);
    EXPECT_EQ(setup.PageText(1014), kComplete);

    // The settings moved into the file, stamped 3.04; the registry settings gone.
    std::string settings = ReadFile(folder_ + "\\default.MorvantileSettings");
    ASSERT_GE(settings.size(), 4u);
    EXPECT_EQ(settings.substr(0, 4), std::string("MV\x04\x03", 4));
    EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, kProductKey));
    // An upgrade makes no shortcut and starts nothing (no copy was running).
    EXPECT_FALSE(FileThere(StartupShortcut()));
    EXPECT_TRUE(RunningProducts().empty());
    FinishAndExpectExit(setup);

    ExpectWhatTheX64SettingsCodeWrites(settings, c.key, c.upgradeVer);
  }
}

TEST_F(SetupScenario, UpgradeRestartsTheProductOnlyWhenACopyWasRunning) {
  // 2.04 installed and running from the folder: the upgrade closes it,
  // replaces its files and starts the new one.
  ProposeFolder(folder_);
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kProductKey, "UpgradeVer", 204));
  ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
  std::string program = folder_ + "\\Morvantile.exe";
  ASSERT_TRUE(CopyFileA(Build().productExe.c_str(), program.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(Build().productDll.c_str(), (folder_ + "\\Morvantile.dll").c_str(), FALSE));
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION running = {};
  ASSERT_TRUE(CreateProcessA(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(),
                             &startup, &running));
  CloseHandle(running.hThread);
  started_ = running.hProcess;   // ended by TearDown whatever happens here
  ASSERT_TRUE(WaitUntil([&] { return ProductWindowOwner() == running.dwProcessId; }));

  SetupDriver setup(SetupProgram());
  Launch(setup);
  GoToOptions(setup);
  EXPECT_TRUE(setup.IsChecked(1015));
  setup.Press(kNext);
  ASSERT_TRUE(setup.WaitForPage(Page::Progress));
  WaitForRunEnd(setup);
  EXPECT_EQ(setup.FindBox(), nullptr);
  EXPECT_EQ(setup.PageText(1014), kComplete);
  EXPECT_EQ(WaitForSingleObject(running.hProcess, 5000), WAIT_OBJECT_0) << "the running copy was closed";
  ExpectProductStartedAndEndIt(running.dwProcessId);
  EXPECT_EQ(ReadFile(program), ReadFile(Build().productExe));
  EXPECT_FALSE(FileThere(StartupShortcut())) << "no shortcut on an upgrade";
  FinishAndExpectExit(setup);
}

TEST_F(SetupScenario, ChoosingUpgradeAfterUncheckingTheMoveMigratesAgain) {
  // "Move existing settings" unchecked on the Custom page, then Upgrade
  // chosen: the settings are moved into the file all the same.
  ProposeFolder(folder_);
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kProductKey, "UpgradeVer", 204));
  SetupDriver setup(SetupProgram());
  Launch(setup);
  UncheckOnCustomThenPickUpgrade(setup, {1018});
  setup.Press(kNext);
  ExpectCompleteRun(setup, true);
}

TEST_F(SetupScenario, CustomAgainAfterUpgradeRunsWhatItsBoxesShow) {
  // "Move existing settings" unchecked, Upgrade picked on the way back, then
  // Custom again: the box still shows unchecked, and so the settings stay
  // in the registry and no file is written.
  ProposeFolder(folder_);
  ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kProductKey, "UpgradeVer", 204));
  SetupDriver setup(SetupProgram());
  Launch(setup);
  UncheckOnCustomThenPickUpgrade(setup, {1002, 1007, 1018});
  setup.ClickPageButton(1012);
  ASSERT_TRUE(WaitUntil([&] { return setup.ButtonText(kNext) == "&Next >"; }));
  setup.Press(kNext);
  ASSERT_TRUE(setup.WaitForPage(Page::Custom));
  EXPECT_FALSE(setup.IsChecked(1018));
  setup.Press(kNext);
  ExpectCompleteRun(setup, false);
}

TEST_F(SetupScenario, UnwritableMachineKeyLeavesNoEntryAndSaysNothing) {
  // The uninstall key exists with a DACL that grants nothing: creating it
  // for writing fails, as without administrator rights.
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_ALL_ACCESS | Build().registryView,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  SECURITY_DESCRIPTOR closed;
  InitializeSecurityDescriptor(&closed, SECURITY_DESCRIPTOR_REVISION);
  ACL emptyAcl;
  InitializeAcl(&emptyAcl, sizeof emptyAcl, ACL_REVISION);
  SetSecurityDescriptorDacl(&closed, TRUE, &emptyAcl, FALSE);
  ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &closed), ERROR_SUCCESS);
  RegCloseKey(key);
  HKEY probe;
  bool enforced = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_WRITE | Build().registryView, &probe) != ERROR_SUCCESS;
  if (!enforced) RegCloseKey(probe);
  ASSERT_TRUE(enforced) << "this Wine does not enforce registry DACLs";

  ProposeFolder(folder_);
  SetupDriver setup(SetupProgram());
  Launch(setup);
  GoToOptions(setup);
  setup.Press(kNext);
  ASSERT_TRUE(setup.WaitForPage(Page::Progress));
  WaitForRunEnd(setup);
  EXPECT_EQ(setup.FindBox(), nullptr);
  EXPECT_EQ(setup.PageText(1014), kComplete);
  ExpectProductStartedAndEndIt();
  FinishAndExpectExit(setup);

  // Open the key again to look and to clean up.
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, WRITE_DAC | Build().registryView, &key), ERROR_SUCCESS);
  SECURITY_DESCRIPTOR open;
  InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);
  RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &open);
  RegCloseKey(key);
  EXPECT_EQ(UninstallText("UninstallString"), "<none>");
}

TEST_F(SetupScenario, PlantedDllsNextToTheSetupNeverLoad) {
  // A copy of the setup in a folder of its own, among DLLs named like the
  // system's: none of them may be loaded.
  std::string copy = base_ + "\\MorvantileSetup.exe";
  ASSERT_TRUE(CopyFileA(SetupProgram().c_str(), copy.c_str(), FALSE));
  const char* names[] = {"comctl32.dll", "version.dll", "uxtheme.dll", "dwmapi.dll", "propsys.dll",
                         "winmm.dll", "msimg32.dll", "cryptbase.dll", "userenv.dll", "profapi.dll",
                         "shfolder.dll", "imm32.dll", "psapi.dll", "oleaut32.dll", "riched20.dll"};
  std::string planted = WindowsPath(MV_PLANTED_DLL);
  for (const char* name : names)
    ASSERT_TRUE(CopyFileA(planted.c_str(), (base_ + "\\" + name).c_str(), FALSE)) << name;

  ProposeFolder(folder_);
  SetupDriver setup(copy);
  Launch(setup);
  GoToOptions(setup);
  setup.ClickPageButton(1012);
  ASSERT_TRUE(WaitUntil([&] { return setup.ButtonText(kNext) == "&Next >"; }));
  setup.Press(kNext);
  ASSERT_TRUE(setup.WaitForPage(Page::Custom));
  // No module of the setup's folder is mapped under the names of the DLLs
  // that the program or its common controls load at run time. (Wine maps
  // some DLLs under the folder's name before any code of the program runs,
  // e.g. version.dll for its own user32, but runs its builtin code: the
  // markers below show that no planted code ran.)
  std::string folder = base_ + "\\";
  for (const std::string& module : ProcessModules(setup.processId())) {
    if (module.size() <= folder.size() || lstrcmpiA(module.substr(0, folder.size()).c_str(), folder.c_str()) != 0)
      continue;
    std::string name = module.substr(folder.size());
    for (const char* loadedLater : {"comctl32.dll", "uxtheme.dll", "dwmapi.dll", "propsys.dll", "winmm.dll"})
      EXPECT_NE(lstrcmpiA(name.c_str(), loadedLater), 0) << module << " was mapped";
  }
  setup.Press(kCancel);
  EXPECT_EQ(setup.WaitForExit(), kExitCode);
  for (const char* name : names)
    EXPECT_FALSE(FileThere(base_ + "\\" + name + ".loaded")) << name << " was loaded";
}

namespace {

// A small window of this test process, for the product to place.
HWND SmallWindow() {
  HWND window = CreateWindowExA(0, "STATIC", "mv-e2e placed", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 7, 9, 120, 80,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window) SetForegroundWindow(window);
  return window;
}

bool WaitForMove(HWND window, const RECT& from, RECT* now) {
  return WaitUntil([&] {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    GetWindowRect(window, now);
    return !EqualRect(now, &from);
  }, 10000);
}

// Answers the uninstaller's question with Yes and its result with OK, as
// the keyboard would (the boxes' own WM_COMMAND); returns the result's text.
HWND UninstallBox() { return FindWindowA("#32770", "Morvantile - Uninstall"); }

bool AnswerUninstallBox(HWND* box, WPARAM answer, std::string* text) {
  if (!WaitUntil([&] { return (*box = UninstallBox()) != nullptr; }, StartTimeout())) return false;
  *text = SetupDriver::BoxText(*box);
  HWND answered = *box;
  PostMessageA(answered, WM_COMMAND, answer, 0);
  return WaitUntil([&] { return !IsWindow(answered); });
}

std::string UninstallLikeAUser(const std::string& commandLine, DWORD* exitCode) {
  HANDLE process = StartCommand(commandLine);
  if (!process) return "<not started>";
  HWND box = nullptr;
  std::string question, result = "<no question>";
  if (AnswerUninstallBox(&box, IDYES, &question)) {
    result = "<no result>";
    AnswerUninstallBox(&box, IDOK, &result);
  }
  *exitCode = WaitForCommand(process, StartTimeout());
  return result;
}

}  // namespace

// The default folder under the build's Program Files: the installed files,
// the uninstall entry in the build's registry view and no other, the
// product of that build running, placing a window on its default hot key
// and ending on WM_DESTROY; then its own /uninstall removes it all.
class ProgramFilesScenario : public SetupScenario {
 protected:
  void SetUp() override {
    SetupScenario::SetUp();
    folder_ = ProgramFilesFor(Build()) + "\\Morvantile";
    RemoveTree(folder_);
  }
  void TearDown() override {
    for (DWORD pid : ProcessesRunningFrom(folder_, "Morvantile.exe")) EndProcess(pid);
    SetupScenario::TearDown();
    RemoveTree(folder_);
  }
};

TEST_F(ProgramFilesScenario, TypicalIntoProgramFilesThenUninstall) {
  SCOPED_TRACE(Build().name);
  ASSERT_FALSE(ProgramFilesFor(Build()).empty());
  SetupDriver setup(SetupProgram());
  Launch(setup);
  GoToOptions(setup);
  setup.Press(kNext);
  ASSERT_TRUE(setup.WaitForPage(Page::Progress));
  WaitForRunEnd(setup, 120000);
  EXPECT_EQ(setup.FindBox(), nullptr);
  EXPECT_EQ(setup.PageText(1014), kComplete);

  EXPECT_EQ(ReadFile(folder_ + "\\Morvantile.exe"), ReadFile(Build().productExe));
  EXPECT_EQ(ReadFile(folder_ + "\\Morvantile.dll"), ReadFile(Build().productDll));
  std::string command = "\"" + folder_ + "\\Morvantile.exe\" /uninstall";
  EXPECT_EQ(UninstallText("UninstallString"), command);
  REGSAM otherView = Build().pe32 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
  EXPECT_FALSE(MachineKeyExists(otherView, kUninstallKey)) << "the entry belongs in one registry view";
  std::string target, description;
  ASSERT_TRUE(ReadShortcut(StartupShortcut(), &target, &description));
  EXPECT_EQ(lstrcmpiA(target.c_str(), (folder_ + "\\Morvantile.exe").c_str()), 0) << target;

  // The product the setup started: that build's program, from the folder.
  DWORD pid = 0;
  ASSERT_TRUE(WaitUntil([&] {
    std::vector<DWORD> running = ProcessesRunningFrom(folder_, "Morvantile.exe");
    if (!running.empty()) pid = running.front();
    return pid != 0 && ProductWindowOwner() == pid;
  }, StartTimeout())) << "the product was not started, or shows no window";
  HWND productWindow = FindWindowA(nullptr, "Morvantile");
  EXPECT_EQ(IsWow64(pid), Build().pe32);
  Sleep(500);   // its hot keys are registered after the window appears
  HWND window = SmallWindow();
  ASSERT_NE(window, nullptr);
  RECT before, after;
  GetWindowRect(window, &before);
  PressKeys({VK_CONTROL, VK_SHIFT, VK_HOME});   // the whole area
  EXPECT_TRUE(WaitForMove(window, before, &after)) << "the hot key placed nothing";
  EXPECT_GT(after.right - after.left, 500);
  DestroyWindow(window);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  ASSERT_NE(process, nullptr);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(productWindow, WM_DESTROY, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  EXPECT_EQ(WaitForSingleObject(process, 30000), WAIT_OBJECT_0) << "WM_DESTROY ends the product";
  DWORD productExit = 99;
  GetExitCodeProcess(process, &productExit);
  EXPECT_EQ(productExit, 0u);
  CloseHandle(process);
  FinishAndExpectExit(setup);

  // Uninstall with the command the entry holds.
  DWORD uninstallExit = 99;
  std::string result = UninstallLikeAUser(command, &uninstallExit);
  EXPECT_NE(result.find("Morvantile was removed from this computer."), std::string::npos) << result;
  EXPECT_EQ(uninstallExit, 0u);
  EXPECT_TRUE(WaitUntil([&] { return !FolderThere(folder_); }, StartTimeout())) << "the folder goes last";
  EXPECT_FALSE(MachineKeyExists(Build().registryView, kUninstallKey));
  EXPECT_FALSE(FileThere(StartupShortcut()));
  EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, kProductKey));
}

// The system folder that build sees without psapi.dll (the 32-bit one is
// syswow64 under WoW64): the setup brings its own. The file is put back
// whatever happens.
class NoSystemProcessStatus : public SetupScenario {
 protected:
  void SetUp() override {
    SetupScenario::SetUp();
    system_ = SystemFolderFor(Build()) + "\\psapi.dll";
    away_ = system_ + ".mv-e2e-away";
    if (FileThere(away_)) MoveFileExA(away_.c_str(), system_.c_str(), MOVEFILE_REPLACE_EXISTING);
    ASSERT_TRUE(FileThere(system_)) << system_;
    ASSERT_TRUE(MoveFileA(system_.c_str(), away_.c_str())) << system_;
  }
  void TearDown() override {
    SetupScenario::TearDown();
    if (FileThere(away_)) MoveFileExA(away_.c_str(), system_.c_str(), MOVEFILE_REPLACE_EXISTING);
    EXPECT_TRUE(FileThere(system_)) << "put back: " << system_;
  }
  std::string system_, away_;
};

TEST_F(NoSystemProcessStatus, UpgradeFromTheOlderGenerationBringsItsOwn) {
  // An upgrade from 1.50: one process of the build under test (it starts
  // nothing), which covers the settings migration of that build too.
  SCOPED_TRACE(Build().name);
  ProposeFolder(folder_);
  PlantOlderSettings(kOlderKey, 150);
  SetupDriver setup(SetupProgram());
  Launch(setup);
  GoToOptions(setup);
  EXPECT_TRUE(setup.IsChecked(1015));
  setup.Press(kNext);   // Upgrade, recommended
  ASSERT_TRUE(setup.WaitForPage(Page::Progress));
  WaitForRunEnd(setup);
  EXPECT_EQ(setup.FindBox(), nullptr);
  EXPECT_EQ(setup.PageText(1014), kComplete);
  EXPECT_EQ(ReadFile(folder_ + "\\psapi.dll"), ReadFile(Build().processStatusDll));
  EXPECT_EQ(ReadFile(folder_ + "\\Morvantile.exe"), ReadFile(Build().productExe));
  std::string settings = ReadFile(folder_ + "\\default.MorvantileSettings");
  EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, kOlderKey));
  EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, kProductKey));
  FinishAndExpectExit(setup);
  ExpectWhatTheX64SettingsCodeWrites(settings, kOlderKey, 150);
}
