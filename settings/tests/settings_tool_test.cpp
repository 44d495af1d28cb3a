#include "settings/tests/settings_fixture.h"

namespace {

using SettingsTool = SettingsTest;

// Runs settings-tool.exe (at the top of the build tree) and returns its exit
// code; its output goes to *output.
DWORD RunTool(const std::string& arguments, std::string* output) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string tool = self;
  tool = tool.substr(0, tool.find_last_of('\\'));
  tool = tool.substr(0, tool.find_last_of('\\')) + "\\settings-tool.exe";
  std::string command = "\"" + tool + "\" " + arguments;

  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return 0xFFFFFFFF;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process = {};
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                &startup, &process);
  CloseHandle(writeEnd);
  DWORD code = 0xFFFFFFFF;
  if (started) {
    char buffer[256];
    DWORD got;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) output->append(buffer, got);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(readEnd);
  return code;
}

TEST_F(SettingsTool, RunsItsCommandsAndRefusesBadArguments) {
  std::string output;
  EXPECT_EQ(RunTool("", &output), 2u);
  EXPECT_NE(output.find("usage: settings-tool"), std::string::npos);
  output.clear();
  EXPECT_EQ(RunTool("migrate", &output), 2u);
  EXPECT_EQ(RunTool("unknown x", &output), 2u);

  output.clear();
  EXPECT_EQ(RunTool("migrate C:\\Morvantile", &output), 0u);
  EXPECT_EQ(output, "0\r\n");
  SetDword(kOlderKey, "UpgradeVer", 190);
  output.clear();
  EXPECT_EQ(RunTool("migrate C:\\Morvantile", &output), 0u);
  EXPECT_EQ(output, "1\r\n");
  EXPECT_EQ(GetDword(kCurrentKey, "UpgradeVer"), 206u);

  output.clear();
  EXPECT_EQ(RunTool("remove-key", &output), 0u);
  EXPECT_FALSE(KeyExists(kCurrentCompanyKey));
}

}  // namespace
