// The Progress page: entering it runs the ten installation steps, one
// posted WMU_RUNSTEP message per step, so that the wizard repaints between
// them. The page is the engine's interactive host: its questions become
// message boxes owned by the page. The wizard cannot be closed until the
// first run has ended.
#pragma once

#include <windows.h>

// The caption of the wizard and of every box of the installation.
extern const char kWizardCaption[];

INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
