// A static text control turned into a link: underlined dark-blue text, a
// hand pointer and a tooltip over the text, and a click that opens the
// address with the shell. Configured by three posted private messages
// (WMU_LINK_SETURL, WMU_LINK_SETCURSOR, WMU_LINK_ADDTOOLTIP).
#pragma once

#include <windows.h>

#include "common/types.h"   // kProductWebPage, the address the links open

// Makes static `staticId` of `page` a link to the product's web page with
// hand cursor 115 of SetupState.instance. Call while handling WM_INITDIALOG.
void AttachLinkLabel(HWND page, int staticId);

LRESULT CALLBACK LinkLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam);

// Where the label's text lies, in the label's client coordinates.
RECT GetLinkTextRect(HWND label);
