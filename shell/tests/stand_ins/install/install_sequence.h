// Stand-in for the engine's Progress page header (only while it is not in the tree).
#pragma once
#include <windows.h>
INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
