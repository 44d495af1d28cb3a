// The real MorvantileSetup.exe and Morvantile.exe run as an administrator's
// script runs them: switches on the command line, no window, exit codes, a
// log, and the uninstall command read from the Apps entry.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/tests/test_registry.h"
#include "shell/tests/setup_driver.h"

namespace {

const char kProductKey[] = "Software\\Quillfern\\Morvantile";
const char kCompanyKey[] = "Software\\Quillfern";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morvantile";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream data;
  data << in.rdbuf();
  return data.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadString(HKEY root, const char* path, const char* name) {
  char value[2048] = "";
  DWORD size = sizeof value - 1;
  DWORD type = 0;
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<none>";
  LONG read = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || type != REG_SZ) return "<none>";
  return value;
}

DWORD ReadDword(HKEY root, const char* path, const char* name) {
  DWORD value = 0xDEADBEEF, size = sizeof value, type = 0;
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  LONG read = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return read == ERROR_SUCCESS && type == REG_DWORD ? value : 0xDEADBEEF;
}


std::string SetupCommand() { return "\"" + WindowsPath(MV_SETUP_EXE) + "\""; }

// Ends every copy of the product the runs started.
void EndProduct() {
  for (int i = 0; i < 5; ++i) {
    HWND window = FindWindowA(nullptr, "Morvantile");
    if (!window) return;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (process) {
      if (WaitForSingleObject(process, 3000) != WAIT_OBJECT_0) TerminateProcess(process, 1);
      WaitForSingleObject(process, 3000);
      CloseHandle(process);
    }
  }
}

class Unattended : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    base_ = std::string(temp) + "mv-silent-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    RemoveTree(base_);
    ASSERT_TRUE(CreateDirectoryA(base_.c_str(), nullptr));
    folder_ = base_ + "\\My Apps\\Morvantile";
    log_ = base_ + "\\setup log.txt";
  }
  void TearDown() override {
    EndProduct();
    Clean();
    RemoveTree(base_);
  }
  static void Clean() {
    DeleteTestKey(HKEY_CURRENT_USER, kProductKey);
    DeleteTestKey(HKEY_CURRENT_USER, kCompanyKey);
    DeleteTestKey(HKEY_LOCAL_MACHINE, kUninstallKey);
    DeleteFileA(StartupShortcut().c_str());
  }
  // The log names the step a line is about.
  std::string LogLineOf(const std::string& stepPrefix) {
    for (const std::string& line : Lines(ReadFile(log_)))
      if (Contains(line, stepPrefix)) return line;
    return "";
  }

  std::string base_, folder_, log_;
};

}  // namespace

// The administrator's two lines: install silently with a folder and a log,
// then uninstall with the entry's "QuietUninstallString".
TEST_F(Unattended, InstallIntoAFolderWithSpacesThenUninstallFromTheQuietCommand) {
  DWORD code = RunToEnd(SetupCommand() + " /S /LOG=\"" + log_ + "\" /D=" + folder_);
  ASSERT_EQ(code, 0u) << ReadFile(log_);
  for (const char* name : {"Morvantile.exe", "Morvantile.dll"}) EXPECT_TRUE(FileThere(folder_ + "\\" + name)) << name;
  EXPECT_TRUE(FileThere(StartupShortcut())) << "a Custom installation's defaults make the shortcut";
  EXPECT_TRUE(WaitUntil([] { return FindWindowA(nullptr, "Morvantile") != nullptr; }, 20000)) << "and start it";

  std::vector<std::string> lines = Lines(ReadFile(log_));
  int stepLines = 0;
  for (const std::string& line : lines) stepLines += Contains(line, " step ");
  EXPECT_EQ(stepLines, 10) << ReadFile(log_);
  EXPECT_TRUE(Contains(LogLineOf("step 0 "), "done"));
  EXPECT_TRUE(Contains(lines.back(), "result 0")) << lines.back();

  // The Apps entry, value by value.
  const std::string program = folder_ + "\\Morvantile.exe";
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "\"" + program + "\" /uninstall");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Morvantile");
  const std::string quiet = ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString");
  EXPECT_EQ(quiet, "\"" + program + "\" /uninstall /S");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), "3.04");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher"), "Quillfern");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayIcon"), program);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), folder_);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "URLInfoAbout"), "https://www.quillfern.example/morvantile/");
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kUninstallKey, "NoModify"), 1u);
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kUninstallKey, "NoRepair"), 1u);
  const size_t bytes = ReadFile(program).size() + ReadFile(folder_ + "\\Morvantile.dll").size() +
                       ReadFile(folder_ + "\\psapi.dll").size() +
                       ReadFile(folder_ + "\\default.MorvantileSettings").size();
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize"), (bytes + 1023) / 1024);

  // The uninstall, exactly as a deployment tool runs the quiet command.
  ASSERT_EQ(RunToEnd(quiet), 0u);
  EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "the whole entry goes";
  EXPECT_FALSE(Exists(StartupShortcut()));
  EXPECT_EQ(FindWindowA(nullptr, "Morvantile"), nullptr) << "the running copy was ended";
  EXPECT_TRUE(WaitUntil([&] { return !Exists(folder_); }, 20000)) << "the program and its folder go last";
  EXPECT_TRUE(Exists(base_ + "\\My Apps")) << "only what the setup made goes";
}

TEST_F(Unattended, UpgradeOverOlderSettingsMovesThemAndStartsNothing) {
  ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kProductKey, "LastPath", folder_));
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kProductKey, "UpgradeVer", 204));
  ASSERT_EQ(RunToEnd(SetupCommand() + " /s /nolaunch /log=\"" + log_ + "\""), 0u) << ReadFile(log_);

  std::string settings = ReadFile(folder_ + "\\default.MorvantileSettings");
  ASSERT_GE(settings.size(), 4u);
  EXPECT_EQ(settings.substr(0, 4), std::string("MV\x04\x03", 4)) << "moved into the file, stamped 3.04";
  EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, kProductKey)) << "and out of the registry";
  EXPECT_FALSE(Exists(StartupShortcut())) << "an upgrade makes no shortcut";
  Sleep(500);
  EXPECT_EQ(FindWindowA(nullptr, "Morvantile"), nullptr);
  EXPECT_TRUE(Contains(LogLineOf("step 6 "), "skipped"));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), folder_);
}

// Settings whose "UpgradeVer" cannot be read as a number are in no layout
// the migration knows: no file takes them, so the registry keeps them.
TEST_F(Unattended, SettingsOfAnUnreadableSchemaStayInTheRegistry) {
  const char hotKeys[] = "Software\\Quillfern\\Morvantile\\HotKeys";
  ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kProductKey, "LastPath", folder_));
  ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kProductKey, "UpgradeVer", "0206"));
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, hotKeys, "Whole Area", 0x60031));
  ASSERT_EQ(RunToEnd(SetupCommand() + " /S /NOLAUNCH /LOG=\"" + log_ + "\""), 0u) << ReadFile(log_);
  EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, hotKeys));
  EXPECT_TRUE(Contains(LogLineOf("step 5 "), "registry settings kept")) << ReadFile(log_);
}

// A settings file that cannot be written: the run goes on, and the
// registry keeps the settings, since no file holds them.
TEST_F(Unattended, UnwritableSettingsFileContinuesAndKeepsTheRegistrySettings) {
  ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kProductKey, "LastPath", folder_));
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kProductKey, "UpgradeVer", 204));
  ASSERT_EQ(SHCreateDirectoryExA(nullptr, (folder_ + "\\default.MorvantileSettings").c_str(), nullptr), ERROR_SUCCESS);
  ASSERT_EQ(RunToEnd(SetupCommand() + " /S /NOLAUNCH /LOG=\"" + log_ + "\""), 0u) << ReadFile(log_);
  EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, kProductKey));
  EXPECT_TRUE(Contains(LogLineOf("step 4 "), "Continue installation with default settings?\": OK")) << ReadFile(log_);
  EXPECT_TRUE(Contains(LogLineOf("step 4 "), "(write the settings file): failed"));
  EXPECT_TRUE(Contains(LogLineOf("step 5 "), "registry settings kept"));
  EXPECT_TRUE(FileThere(folder_ + "\\Morvantile.exe"));
}

TEST_F(Unattended, NewerVersionInstalledChangesNothing) {
  ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kProductKey, "LastPath", folder_));
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kProductKey, "UpgradeVer", 305));
  EXPECT_EQ(RunToEnd(SetupCommand() + " /S /LOG=\"" + log_ + "\""), 1u);
  EXPECT_FALSE(Exists(folder_));
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kProductKey, "UpgradeVer"), 305u);
  EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_TRUE(Contains(Lines(ReadFile(log_)).back(), "result 1")) << ReadFile(log_);
}

// The library held open by another program (no sharing) past the retry time.
TEST_F(Unattended, FileHeldOpenPastTheRetryTimeFailsAtItsStep) {
  ASSERT_EQ(SHCreateDirectoryExA(nullptr, folder_.c_str(), nullptr), ERROR_SUCCESS);
  const std::string library = folder_ + "\\Morvantile.dll";
  HANDLE held = CreateFileA(library.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DWORD start = GetTickCount();
  DWORD code = RunToEnd(SetupCommand() + " /S /LOG=\"" + log_ + "\" /D=" + folder_);
  DWORD took = GetTickCount() - start;
  CloseHandle(held);

  EXPECT_EQ(code, 2u);
  EXPECT_GE(took, 9000u) << "retried for about ten seconds";
  std::string step = LogLineOf("step 2 ");
  EXPECT_TRUE(Contains(step, "write the program files): failed")) << ReadFile(log_);
  EXPECT_TRUE(Contains(step, "Morvantile.dll file could not be written"));
  EXPECT_TRUE(Contains(step, ": Retry (")) << "the answers taken are logged, repeats counted";
  EXPECT_TRUE(Contains(step, ": Cancel"));
  EXPECT_TRUE(LogLineOf("step 3 ").empty()) << "nothing runs after the failed step";
  EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

TEST_F(Unattended, BadCommandLinesEndWithFourAndChangeNothing) {
  for (const std::string& arguments : std::vector<std::string>{"/S /BOGUS", "/S /D=relative\\folder", "/S /D=C:\\", "/S /LOG=",
                                      "/S stray", "/S /D=" + base_ + "\\a*b", "/SILENT"}) {
    SCOPED_TRACE(arguments);
    EXPECT_EQ(RunToEnd(SetupCommand() + " " + arguments), 4u);
    EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(Exists(StartupShortcut()));
  }
  // A log named before the bad switch says why.
  EXPECT_EQ(RunToEnd(SetupCommand() + " /S /LOG=\"" + log_ + "\" /X"), 4u);
  EXPECT_TRUE(Contains(ReadFile(log_), "unknown switch: /X")) << ReadFile(log_);
}

TEST_F(Unattended, AnotherSetupRunningEndsWithThree) {
  ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kProductKey, "LastPath", folder_));
  SetupDriver wizard(WindowsPath(MV_SETUP_EXE));
  ASSERT_TRUE(wizard.Start());
  ASSERT_NE(wizard.WaitForWizard(), nullptr);
  EXPECT_EQ(RunToEnd(SetupCommand() + " /S"), 3u);
  EXPECT_FALSE(Exists(folder_));
}

// The wizard logs too, proposes the folder of /D= and keeps its exit code.
TEST_F(Unattended, WizardWithALogWritesOneLinePerStep) {
  SetupDriver setup(WindowsPath(MV_SETUP_EXE), "/LOG=\"" + log_ + "\" /NOLAUNCH /D=" + folder_);
  ASSERT_TRUE(setup.Start());
  ASSERT_NE(setup.WaitForWizard(), nullptr);
  ASSERT_TRUE(setup.WaitForPage(Page::Welcome));
  setup.Press(0x3024);
  ASSERT_TRUE(setup.WaitForPage(Page::Licence));
  setup.Press(0x3024);
  ASSERT_TRUE(setup.WaitForPage(Page::Options));
  setup.Press(0x3024);   // Typical
  ASSERT_TRUE(setup.WaitForPage(Page::Progress));
  ASSERT_TRUE(WaitUntil([&] { return setup.ButtonEnabled(0x3025); }, 60000));
  setup.Press(0x3025);
  EXPECT_EQ(setup.WaitForExit(), 0xFFFFFFFFu);
  EXPECT_TRUE(Contains(LogLineOf("step 9 "), "done")) << ReadFile(log_);
  EXPECT_TRUE(Contains(LogLineOf("step 7 "), "skipped")) << "/NOLAUNCH";
  EXPECT_TRUE(FileThere(folder_ + "\\Morvantile.exe")) << "the Typical kind took the folder of /D=";
  Sleep(500);
  EXPECT_EQ(FindWindowA(nullptr, "Morvantile"), nullptr);
}

// "/?" explains the switches and the exit codes in a box, and installs nothing.
TEST_F(Unattended, HelpBoxListsTheSwitchesAndExitCodes) {
  SetupDriver setup(WindowsPath(MV_SETUP_EXE), "/?");
  ASSERT_TRUE(setup.Start());
  HWND box = setup.WaitForBox();
  ASSERT_NE(box, nullptr);
  const std::string text = SetupDriver::BoxText(box);
  for (const char* part : {"/S", "/D=FOLDER", "/NOLAUNCH", "/LOG=FILE", "/?", "0 installed",
                           "1 newer version present", "2 failed", "3 another setup", "4 bad command line",
                           "5 setup damaged", "/uninstall /S"})
    EXPECT_TRUE(Contains(text, part)) << part;
  EXPECT_TRUE(SetupDriver::Answer(box, IDOK));
  EXPECT_EQ(setup.WaitForExit(), 0u);
  EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}
