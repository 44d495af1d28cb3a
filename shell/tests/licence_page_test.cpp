// The Licence page in a program that carries no payloads: the licence
// cannot be read, and the page says so instead of showing an empty box.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/setup_state.h"
#include "shell/wizard_ids.h"
#include "shell/wizard_pages.h"

TEST(LicencePage, SaysSoWhenTheLicenceCannotBeRead) {
  SetupState.instance = GetModuleHandleA(nullptr);
  HWND page = CreateDialogParamA(SetupState.instance, MAKEINTRESOURCEA(IDD_LICENCE), nullptr,
                                 LicencePageProc, 0);
  ASSERT_NE(page, nullptr);
  char text[512] = "";
  GetDlgItemTextA(page, IDC_LICENCE_TEXT, text, sizeof text);
  EXPECT_EQ(std::string(text),
            "The licence agreement could not be read: the setup program is damaged.\r\n"
            "Please download it again.");
  DestroyWindow(page);
}
