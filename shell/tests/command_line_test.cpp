// The setup's command line, natively (with sanitizers) and under Wine.
#include <gtest/gtest.h>

#include <string>

#include "common/folder_path.h"
#include "shell/command_line.h"

namespace {

SetupOptions Parse(const std::string& arguments, int expected) {
  SetupOptions options;
  EXPECT_EQ(ParseSetupOptions(arguments.c_str(), &options), expected) << arguments << ": " << options.fault;
  return options;
}

}  // namespace

TEST(CommandLine, ProgramNameIsSkippedQuotedOrNot) {
  EXPECT_STREQ(SkipProgramName("\"C:\\My Setup\\MorvantileSetup.exe\"  /S /D=C:\\x y"), "/S /D=C:\\x y");
  EXPECT_STREQ(SkipProgramName("setup.exe /S"), "/S");
  EXPECT_STREQ(SkipProgramName("\"C:\\a b\\setup.exe\""), "");
  EXPECT_STREQ(SkipProgramName("\"unterminated"), "");
  EXPECT_TRUE(NoArguments(SkipProgramName("setup.exe   ")));
  EXPECT_TRUE(NoArguments(nullptr));
  EXPECT_FALSE(NoArguments(" /S"));
}

TEST(CommandLine, SwitchesInAnyCaseAndTheFolderLastWithItsSpaces) {
  SetupOptions options = Parse("/s /NoLaunch /log=\"C:\\logs dir\\setup.log\" /d=C:\\Program Files\\My Apps  ", 1);
  EXPECT_EQ(options.silent, 1);
  EXPECT_EQ(options.noLaunch, 1);
  EXPECT_EQ(options.showHelp, 0);
  EXPECT_STREQ(options.logPath, "C:\\logs dir\\setup.log");
  EXPECT_STREQ(options.folder, "C:\\Program Files\\My Apps") << "trailing blanks go, inner ones stay";

  options = Parse("\t/?\t", 1);
  EXPECT_EQ(options.showHelp, 1);
  EXPECT_STREQ(options.folder, "");
  EXPECT_STREQ(Parse("/S /D=\\\\server\\share\\Morvantile", 1).folder, "\\\\server\\share\\Morvantile");
  EXPECT_STREQ(Parse("/D=C:\\x /S", 1).folder, "C:\\x /S") << "everything after /D= is the folder";
  // Launchers quote an argument with spaces whole, or its value.
  EXPECT_STREQ(Parse("/S \"/D=C:\\My Apps\\Morvantile\"", 1).folder, "C:\\My Apps\\Morvantile");
  EXPECT_STREQ(Parse("/S /D=\"C:\\My Apps\" ", 1).folder, "C:\\My Apps");
  Parse("/S \"/D=C:\\My Apps\" /NOLAUNCH", 0);
}

TEST(CommandLine, AnythingUnknownOrUnsafeIsABadLine) {
  const char* bad[] = {
      "/S /BOGUS", "/SILENT", "S", "-S", "/S stray", "/LOG=", "/LOG=\"\"", "/LOG=a|b",
      "/D=", "/D=   ", "/D=relative\\folder", "/D=C:", "/D=C:\\", "/D=C:folder", "/D=\\\\server\\share",
      "/D=\\\\server", "/D=C:\\a*b", "/D=C:\\a?b", "/D=C:\\a\"b", "/D=C:\\a:b", "/D=C:\\a<b>", "/D=\\folder",
  };
  for (const char* line : bad) Parse(line, 0);
  EXPECT_STREQ(Parse("/S /Quiet", 0).fault, "unknown switch: /Quiet");
}

TEST(CommandLine, OverlongValuesAreRefusedNotCut) {
  std::string folder = "C:\\" + std::string(kCommandPathSize, 'f');
  Parse("/S /D=" + folder, 0);
  Parse("/S /D=" + folder.substr(0, kCommandPathSize - 1), 1);
  Parse("/LOG=C:\\" + std::string(kCommandPathSize, 'l'), 0);
  SetupOptions options = Parse("/S /X" + std::string(5000, 'x'), 0);
  EXPECT_LT(std::string(options.fault).size(), sizeof options.fault);
}

// In the Japanese code page (932) the second byte of "ソ" is 0x5C and that
// of "ポ" 0x7C: neither is a backslash or a bar there.
TEST(CommandLine, FoldersAndLogsInATwoByteCodePage) {
  for (int byte = 0x81; byte <= 0xFC; ++byte) AnsiLeadBytes[byte] = byte <= 0x9F || byte >= 0xE0;
  EXPECT_STREQ(Parse("/S /D=D:\\\x83\x5C\x83\x74\x83\x67\\\x83\x7C", 1).folder, "D:\\\x83\x5C\x83\x74\x83\x67\\\x83\x7C");
  EXPECT_STREQ(Parse("/LOG=D:\\\x83\x7C.log", 1).logPath, "D:\\\x83\x7C.log");
  Parse("/S /D=\\\\server\\\x83\x5Cx", 0);   // a share's root (ソx), not a folder below it
  for (unsigned char& lead : AnsiLeadBytes) lead = 0;
}
