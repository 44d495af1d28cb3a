// settings-tool's two detection commands, run as a program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/tests/test_registry.h"
#include "install/tests/engine_test_support.h"

namespace {

// Runs build/<tree>/settings-tool.exe with `arguments`; returns its output.
std::string RunTool(const std::string& arguments) {
  std::string tool = BesideThisProgram("");
  tool = tool.substr(0, tool.find_last_of('\\', tool.size() - 2)) + "\\settings-tool.exe";
  std::string command = "\"" + tool + "\" " + arguments;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return "<no pipe>";
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process = {};
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(writeEnd);
  std::string output = started ? "" : "<not started>";
  if (started) {
    char buffer[256];
    DWORD got;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) output.append(buffer, got);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(readEnd);
  return output;
}

}  // namespace

TEST(SettingsToolDetection, DetectAndFindFolder) {
  ScopedTestKey current(HKEY_CURRENT_USER, "Software\\Quillfern\\Morvantile");
  ScopedTestKey older(HKEY_CURRENT_USER, "Software\\Vorn\\Brastock");
  ScratchFolder folder("tool");
  ASSERT_TRUE(WriteBytes(folder / "default.MorvantileSettings", std::string("MV\x00\x03", 4)));
  EXPECT_EQ(RunTool("detect \"" + folder.path() + "\""), "0300\r\n");
  EXPECT_EQ(RunTool("detect \"" + (folder / "none") + "\""), "0000\r\n");

  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quillfern\\Morvantile", 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "LastPath", 0, REG_SZ, (const BYTE*)"D:\\Tools\\", 10);
  RegCloseKey(key);
  EXPECT_EQ(RunTool("find-folder"), "D:\\Tools\r\n");
}
