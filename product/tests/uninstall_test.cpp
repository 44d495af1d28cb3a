// "Morvantile.exe /uninstall" in a private folder, with its boxes answered
// by the test: what the setup created goes, everything else stays.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <shlobj.h>
#include <sddl.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <string>
#include <utility>
#include <vector>

#include "common/tests/test_registry.h"
#include "product/tests/product_runner.h"

namespace {

const char kProductKey[] = "Software\\Quillfern\\Morvantile";
const char kParentKey[] = "Software\\Quillfern";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morvantile";
const char kCaption[] = "Morvantile - Uninstall";

std::string StartupShortcut() {
  char folder[MAX_PATH];
  SHGetSpecialFolderPathA(nullptr, folder, CSIDL_STARTUP, TRUE);
  return std::string(folder) + "\\Morvantile.lnk";
}

bool CreateShortcut(const std::string& linkPath, const std::string& target) {
  CoInitialize(nullptr);
  bool ok = false;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    link->SetPath(target.c_str());
    link->SetDescription("Morvantile");
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      WCHAR wide[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
      ok = SUCCEEDED(file->Save(wide, TRUE));
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return ok;
}

void SetString(HKEY root, const char* path, const char* name, const std::string& value) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

void WriteText(const std::string& path, const char* text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, text, lstrlenA(text), &written, nullptr);
  CloseHandle(file);
}

BOOL CALLBACK CollectText(HWND child, LPARAM parameter) {
  char text[512];
  GetWindowTextA(child, text, sizeof text);
  *reinterpret_cast<std::string*>(parameter) += std::string(text) + "|";
  return TRUE;
}

// The names of a folder's entries that match a pattern ("*" for all).
std::string Entries(const std::string& path, const char* pattern = "*") {
  std::string names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\" + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names += std::string(found.cFileName) + " ";
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

class Uninstall : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    ASSERT_TRUE(CopyProductInto(folder.path()));
    program = folder / "Morvantile.exe";
  }
  void TearDown() override {
    EndProduct(uninstaller);
    EndProduct(running);
    Clean();
  }
  void Clean() {
    DeleteTestKey(HKEY_CURRENT_USER, kProductKey);
    DeleteTestKey(HKEY_CURRENT_USER, kParentKey);
    DeleteTestKey(HKEY_LOCAL_MACHINE, kUninstallKey);
    DeleteFileA(StartupShortcut().c_str());
  }

  // Starts "/uninstall" and answers the question; returns the result box's
  // texts (empty when the user said no and no result box came).
  std::string RunUninstall(WPARAM answer, const char* commandLine = nullptr) {
    uninstaller = StartProduct(folder.path(), "/uninstall", commandLine);
    if (!uninstaller.hProcess) return "<not started>";
    HWND question = WaitForWindow(uninstaller.dwProcessId, kCaption);
    if (!question) return "<no question>";
    std::string texts;
    EnumChildWindows(question, CollectText, reinterpret_cast<LPARAM>(&texts));
    EXPECT_NE(texts.find("remove Morvantile 3.04 Basic"), std::string::npos) << texts;
    PostMessageA(question, WM_COMMAND, answer, 0);
    for (DWORD i = 0; i < 200 * kWaitScale && IsWindow(question); i++) Sleep(25);
    if (answer != IDYES) return "";
    HWND result = WaitForWindow(uninstaller.dwProcessId, kCaption, 20000);
    if (!result) return "<no result>";
    texts.clear();
    EnumChildWindows(result, CollectText, reinterpret_cast<LPARAM>(&texts));
    PostMessageA(result, WM_COMMAND, IDOK, 0);
    return texts;
  }

  DWORD UninstallerExitCode() {
    EXPECT_EQ(WaitForSingleObject(uninstaller.hProcess, 10000 * kWaitScale), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(uninstaller.hProcess, &code);
    return code;
  }

  bool WaitUntilGone(const std::string& path) {
    for (DWORD i = 0; i < 200 * kWaitScale; i++) {
      if (!FileExistsAt(path)) return true;
      Sleep(50);
    }
    return false;
  }

  ScopedFolder folder{"Morvantile Uninstall Test"};
  std::string program;
  PROCESS_INFORMATION uninstaller = {};
  PROCESS_INFORMATION running = {};
};

TEST_F(Uninstall, RemovesEverythingTheSetupCreated) {
  ASSERT_TRUE(CopyFileA((BuildFolder() + "\\psapi.dll").c_str(), (folder / "psapi.dll").c_str(),
                        FALSE));
  WriteText(folder / "default.MorvantileSettings", "MV\x04\x03");
  SetString(HKEY_CURRENT_USER, "Software\\Quillfern\\Morvantile\\HotKeys", "Whole Area", "x");
  SetString(HKEY_CURRENT_USER, kProductKey, "LastPath", folder.path());
  // The entry as the setup writes it: the program's path quoted, with a
  // space in the folder's path.
  const std::string command = "\"" + program + "\" /uninstall";
  SetString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", command);
  SetString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", "Morvantile");
  ASSERT_TRUE(CreateShortcut(StartupShortcut(), program));
  running = StartProduct(folder.path());
  ASSERT_NE(WaitForWindow(running.dwProcessId, "Morvantile"), nullptr);

  const std::string result = RunUninstall(IDYES, command.c_str());
  EXPECT_NE(result.find("Morvantile was removed from this computer."), std::string::npos)
      << result;
  EXPECT_EQ(UninstallerExitCode(), 0u);
  EXPECT_EQ(WaitForSingleObject(running.hProcess, 0), WAIT_OBJECT_0) << "the running copy ended";

  EXPECT_TRUE(WaitUntilGone(folder.path()))
      << "the program file and the empty folder go last; left: " << Entries(folder.path());
  EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, kProductKey));
  EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, kParentKey)) << "the empty company key goes too";
  EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(FileExistsAt(StartupShortcut()));
}

TEST_F(Uninstall, KeepsWhatTheSetupDidNotCreate) {
  // A psapi.dll that is not ours, a file of the user's, another product of
  // the company, and a shortcut and an uninstall entry of another folder.
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  ASSERT_TRUE(CopyFileA((std::string(system) + "\\psapi.dll").c_str(),
                        (folder / "psapi.dll").c_str(), FALSE));
  WriteText(folder / "notes.txt", "mine");
  SetString(HKEY_CURRENT_USER, kProductKey, "LastPath", folder.path());
  SetString(HKEY_CURRENT_USER, "Software\\Quillfern\\Other", "Kept", "yes");
  SetString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString",
            "C:\\Elsewhere\\Morvantile.exe /uninstall");
  ASSERT_TRUE(CreateShortcut(StartupShortcut(), "C:\\Elsewhere\\Morvantile.exe"));

  const std::string result = RunUninstall(IDYES);
  EXPECT_NE(result.find("Morvantile was removed from this computer."), std::string::npos)
      << result;
  EXPECT_EQ(UninstallerExitCode(), 0u);
  EXPECT_TRUE(WaitUntilGone(program));
  Sleep(300 * kWaitScale);
  EXPECT_FALSE(FileExistsAt(folder / "Morvantile.dll"));
  EXPECT_TRUE(FileExistsAt(folder / "psapi.dll"));
  EXPECT_TRUE(FileExistsAt(folder / "notes.txt"));
  EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, kProductKey));
  EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, "Software\\Quillfern\\Other"));
  EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_TRUE(FileExistsAt(StartupShortcut()));
}

// An entry whose command cannot be read as a text is not known to be ours,
// even when its bytes spell our command: it stays.
TEST_F(Uninstall, KeepsAnUninstallEntryItCannotRead) {
  const std::string command = "\"" + program + "\" /uninstall";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr), ERROR_SUCCESS);
  RegSetValueExA(key, "UninstallString", 0, REG_BINARY,
                 reinterpret_cast<const BYTE*>(command.c_str()), static_cast<DWORD>(command.size() + 1));
  RegCloseKey(key);

  const std::string result = RunUninstall(IDYES, command.c_str());
  EXPECT_NE(result.find("Morvantile was removed from this computer."), std::string::npos)
      << result;
  EXPECT_EQ(UninstallerExitCode(), 0u);
  EXPECT_TRUE(WaitUntilGone(program));
  EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

namespace {
int foreignWindowDestroyed = 0;
LRESULT CALLBACK ForeignWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) foreignWindowDestroyed++;
  return DefWindowProcA(window, message, wParam, lParam);
}

// A top-level window of a title in any process but one: (window, process).
struct FoundWindow {
  const char* title;
  DWORD skippedProcess;
  HWND window;
  DWORD process;
};

BOOL CALLBACK MatchOtherProcessWindow(HWND window, LPARAM parameter) {
  FoundWindow* search = reinterpret_cast<FoundWindow*>(parameter);
  char title[64];
  GetWindowTextA(window, title, sizeof title);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (lstrcmpA(title, search->title) != 0 || process == search->skippedProcess) return TRUE;
  search->window = window;
  search->process = process;
  return FALSE;
}

// The system's entry of the first process for which `matches` holds; all
// zero when there is none.
template <typename Match>
PROCESSENTRY32 FindProcess(Match matches) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  PROCESSENTRY32 found = {};
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (matches(entry)) {
      found = entry;
      break;
    }
  CloseHandle(snapshot);
  return found;
}

DWORD ParentProcess(DWORD process) {
  return FindProcess([&](const PROCESSENTRY32& entry) { return entry.th32ProcessID == process; })
      .th32ParentProcessID;
}

// The uninstall entry as the setup writes it for the program, with an
// access list that lets no one delete it: as HKEY_LOCAL_MACHINE is to a
// process without administrator rights. The key is made deletable again
// when the test ends.
class LockedUninstallEntry {
 public:
  explicit LockedUninstallEntry(const std::string& program) {
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                    nullptr);
    const std::string command = "\"" + program + "\" /uninstall";
    RegSetValueExA(key_, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
    ACL empty;
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    SetDacl(&empty);
  }
  ~LockedUninstallEntry() {
    SetDacl(nullptr);
    RegCloseKey(key_);
  }
  LockedUninstallEntry(const LockedUninstallEntry&) = delete;
  LockedUninstallEntry& operator=(const LockedUninstallEntry&) = delete;
  bool locked() const { return locked_; }
  // Through the test's own handle: the key itself cannot be opened now.
  bool stillThere() const {
    return RegQueryValueExA(key_, "UninstallString", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  }

 private:
  void SetDacl(ACL* list) {
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE);
    locked_ = RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS && list;
  }
  HKEY key_ = nullptr;
  bool locked_ = false;
};

std::string TemporaryFolder() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  return temp;
}

// Who may do what with a file: the SID and the access mask of each allowing
// entry of its access list (a complaint in place of the SID when there is
// no list or it cannot be read), and the file's owner.
std::vector<std::pair<std::string, DWORD>> AllowedAccess(const std::string& path,
                                                         std::string* owner) {
  std::vector<std::pair<std::string, DWORD>> allowed;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PSID ownerSid = nullptr;
  PACL list = nullptr;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &ownerSid,
                            nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS) {
    allowed.emplace_back("<unreadable>", ~0u);
    return allowed;
  }
  char* text = nullptr;
  if (ownerSid && ConvertSidToStringSidA(ownerSid, &text)) *owner = text;
  LocalFree(text);
  if (!list) allowed.emplace_back("<no access list: everyone>", ~0u);
  for (WORD i = 0; list && i < list->AceCount; i++) {
    ACE_HEADER* entry = nullptr;
    if (!GetAce(list, i, reinterpret_cast<void**>(&entry)) || entry->AceType != ACCESS_ALLOWED_ACE_TYPE)
      continue;
    ACCESS_ALLOWED_ACE* allow = reinterpret_cast<ACCESS_ALLOWED_ACE*>(entry);
    text = nullptr;
    ConvertSidToStringSidA(reinterpret_cast<PSID>(&allow->SidStart), &text);
    allowed.emplace_back(text ? text : "?", allow->Mask);
    LocalFree(text);
  }
  LocalFree(descriptor);
  return allowed;
}

}  // namespace

// A window titled "Morvantile" in another program (this test) is not the
// product's: the uninstaller leaves it alone.
TEST_F(Uninstall, LeavesAnotherProgramsWindowOfTheProductsTitleAlone) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = ForeignWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "MvForeignTitle";
  RegisterClassA(&windowClass);
  HWND foreign = CreateWindowExA(0, "MvForeignTitle", "Morvantile", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(foreign, nullptr);
  foreignWindowDestroyed = 0;
  const std::string result = RunUninstall(IDYES);
  EXPECT_NE(result.find("Morvantile was removed from this computer."), std::string::npos)
      << result;
  EXPECT_EQ(UninstallerExitCode(), 0u);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  EXPECT_EQ(foreignWindowDestroyed, 0);
  DestroyWindow(foreign);
}

TEST_F(Uninstall, AnsweringNoChangesNothing) {
  SetString(HKEY_CURRENT_USER, kProductKey, "LastPath", folder.path());
  EXPECT_EQ(RunUninstall(IDNO), "");
  EXPECT_EQ(UninstallerExitCode(), 1u);
  EXPECT_TRUE(FileExistsAt(program));
  EXPECT_TRUE(FileExistsAt(folder / "Morvantile.dll"));
  EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, kProductKey));
}

// "/uninstall /S": no question, no result box; a file held open by another
// program stays and the exit code says the removal was partial.
TEST_F(Uninstall, SilentRemovalAsksNothingAndReportsAPartialOneByItsCode) {
  WriteText(folder / "default.MorvantileSettings", "MV\x04\x03");
  SetString(HKEY_CURRENT_USER, kProductKey, "LastPath", folder.path());
  const std::string library = folder / "Morvantile.dll";
  HANDLE held = CreateFileA(library.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);

  uninstaller = StartProduct(folder.path(), "/uninstall /s");
  ASSERT_TRUE(uninstaller.hProcess);
  EXPECT_EQ(WaitForWindow(uninstaller.dwProcessId, kCaption, 3000), nullptr) << "no window at all";
  EXPECT_EQ(UninstallerExitCode(), 2u);
  CloseHandle(held);
  EXPECT_TRUE(FileExistsAt(library));
  EXPECT_FALSE(FileExistsAt(folder / "default.MorvantileSettings")) << "the rest went";
  EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, kProductKey));
}

// The helper copy runs with the uninstaller's rights (elevated, usually)
// from the user's temporary folder: no one else may write it, and it
// grants nothing to everyone or to all users. Wine keeps no access list
// for a file: it turns the list into the file's Unix mode and back, so
// there only "nothing for everyone" can be seen; on Windows the list is
// the one the uninstaller gives.
TEST_F(Uninstall, MakesItsHelperCopyWritableByNoOneElse) {
  const std::string temp = TemporaryFolder();
  const std::string before = Entries(temp, "mvu*.tmp");
  uninstaller = StartProduct(folder.path(), "/uninstall /S");
  ASSERT_TRUE(uninstaller.hProcess);
  EXPECT_EQ(UninstallerExitCode(), 0u);
  ASSERT_TRUE(WaitUntilGone(program));

  std::string helper;
  const std::string after = Entries(temp, "mvu*.tmp");
  size_t at = 0;
  for (size_t end; (end = after.find(' ', at)) != std::string::npos; at = end + 1) {
    const std::string name = after.substr(at, end - at);
    if ((" " + before).find(" " + name + " ") == std::string::npos) helper = temp + name;
  }
  ASSERT_FALSE(helper.empty()) << "no new helper copy in " << temp;
  std::string owner;
  const auto allowed = AllowedAccess(helper, &owner);
  DeleteFileA(helper.c_str());
  const DWORD kWrites = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                        DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  const char* kEveryoneAndAllUsers[] = {"S-1-1-0", "S-1-5-32-545", "S-1-5-11", "S-1-5-4"};
  EXPECT_FALSE(allowed.empty());
  for (const auto& entry : allowed) {
    for (const char* group : kEveryoneAndAllUsers)
      EXPECT_NE(entry.first, group) << "grants " << std::hex << entry.second;
    if (entry.second & kWrites) {
      EXPECT_TRUE(entry.first == "S-1-5-18" || entry.first == "S-1-5-32-544" || entry.first == owner)
          << entry.first << " may write " << std::hex << entry.second;
    }
  }
}

// Without the right to delete the uninstall entry (started from the list of
// installed programs, without administrator rights), nothing at all is
// removed, and the exit code does not say "removed". The copy it starts
// with administrator rights (which, under Wine, has no more rights) gives
// up the same way.
TEST_F(Uninstall, RemovesNothingWithoutTheRightToDeleteTheEntry) {
  SetString(HKEY_CURRENT_USER, kProductKey, "LastPath", folder.path());
  ASSERT_TRUE(CreateShortcut(StartupShortcut(), program));
  LockedUninstallEntry entry(program);
  ASSERT_TRUE(entry.locked());

  uninstaller = StartProduct(folder.path(), "/uninstall /S");
  ASSERT_TRUE(uninstaller.hProcess);
  EXPECT_EQ(UninstallerExitCode(), 3u);
  EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, kProductKey));
  EXPECT_TRUE(FileExistsAt(StartupShortcut()));
  EXPECT_TRUE(FileExistsAt(program));
  EXPECT_TRUE(FileExistsAt(folder / "Morvantile.dll"));
  EXPECT_TRUE(entry.stillThere());
}

// Interactive: the uninstaller starts itself again to get the rights; that
// copy (its child, and only one) tells the user that administrator rights
// are needed, and the first returns its code.
TEST_F(Uninstall, AsksForAdministratorRightsOnceAndSaysWhyNothingWasRemoved) {
  SetString(HKEY_CURRENT_USER, kProductKey, "LastPath", folder.path());
  LockedUninstallEntry entry(program);
  ASSERT_TRUE(entry.locked());

  uninstaller = StartProduct(folder.path(), "/uninstall");
  ASSERT_TRUE(uninstaller.hProcess);
  FoundWindow box = {kCaption, uninstaller.dwProcessId, nullptr, 0};
  for (DWORD i = 0; i < 400 * kWaitScale && !box.window; i++) {
    EnumWindows(MatchOtherProcessWindow, reinterpret_cast<LPARAM>(&box));
    if (!box.window) Sleep(25);
  }
  EXPECT_EQ(WaitForWindow(uninstaller.dwProcessId, kCaption, 0), nullptr)
      << "the first copy shows nothing itself";
  ASSERT_NE(box.window, nullptr) << "no box from a copy started again";
  EXPECT_EQ(ParentProcess(box.process), uninstaller.dwProcessId);
  std::string texts;
  EnumChildWindows(box.window, CollectText, reinterpret_cast<LPARAM>(&texts));
  EXPECT_NE(texts.find("Removing Morvantile needs administrator rights. Nothing was removed."),
            std::string::npos)
      << texts;
  PostMessageA(box.window, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(UninstallerExitCode(), 3u);
  EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, kProductKey));
  EXPECT_TRUE(FileExistsAt(program));
}

}  // namespace


// A script that uninstalls and at once installs again: the new program file
// must outlive the helper that deletes the old one. Here it is put in place
// as the setup does, while the uninstaller's last box is open, before the
// helper may act at all.
TEST_F(Uninstall, LeavesTheProgramFileOfTheNextInstallationAlone) {
  uninstaller = StartProduct(folder.path(), "/uninstall");
  ASSERT_TRUE(uninstaller.hProcess);
  HWND question = WaitForWindow(uninstaller.dwProcessId, kCaption);
  ASSERT_TRUE(question);
  PostMessageA(question, WM_COMMAND, IDYES, 0);
  for (DWORD i = 0; i < 200 * kWaitScale && IsWindow(question); i++) Sleep(25);
  HWND result = WaitForWindow(uninstaller.dwProcessId, kCaption, 20000);
  ASSERT_TRUE(result);
  const DWORD helperId = FindProcess([&](const PROCESSENTRY32& entry) {
                           return entry.th32ParentProcessID == uninstaller.dwProcessId;
                         }).th32ProcessID;
  HANDLE helper = OpenProcess(SYNCHRONIZE, FALSE, helperId);
  ASSERT_TRUE(helper) << "no helper process";

  WriteText(program + ".partial", "the next installation's");
  EXPECT_TRUE(MoveFileExA((program + ".partial").c_str(), program.c_str(), MOVEFILE_REPLACE_EXISTING));
  PostMessageA(result, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(UninstallerExitCode(), 0u);
  // Generous: on a loaded machine the helper's own start under Wine can
  // take many seconds, and a helper that ends returns at once.
  EXPECT_EQ(WaitForSingleObject(helper, 60000 * kWaitScale), WAIT_OBJECT_0) << Entries(folder.path());
  CloseHandle(helper);
  EXPECT_EQ(Entries(folder.path(), "Morvantile.exe*"), "Morvantile.exe ") << "the old one went";
  HANDLE file = CreateFileA(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  char text[64] = "";
  DWORD read = 0;
  ReadFile(file, text, sizeof text - 1, &read, nullptr);
  CloseHandle(file);
  EXPECT_STREQ(text, "the next installation's");
}
