// The first four pages of the setup wizard: Welcome, Licence, Installation
// Options and Custom Options. They write the user's choices straight into
// SetupState and set the wizard's buttons each time they become current.
#pragma once

#include <windows.h>

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LicencePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CustomPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
