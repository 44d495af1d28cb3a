// The setup never loads a DLL from its own folder: a planted copy of a
// system DLL there would run with the installer's rights. The search path
// is restricted before anything else, and every DLL that Windows does not
// always take from the system folder is loaded here explicitly.
#pragma once

#include <windows.h>
#include <prsht.h>

// Restricts the DLL search to the system folder (where the system can) and
// drops the current directory from it. First thing in the program.
void RestrictDllSearchPath();

// Loads a DLL of the system by its file name, never from the program's
// folder. A redirection by the program's manifest (Common Controls 6) is
// honoured: it points into the system's side-by-side store.
HMODULE LoadSystemLibrary(const char* name);

// The common-controls entry points, resolved from the system's comctl32.
// Each does nothing (or fails) when the library could not be loaded.
void InitCommonControlsOnce();
HPROPSHEETPAGE CreatePropertySheetPageSafe(const PROPSHEETPAGEA* page);
void DestroyPropertySheetPageSafe(HPROPSHEETPAGE page);
INT_PTR PropertySheetSafe(const PROPSHEETHEADERA* header);

// The loaded comctl32, or null when it cannot be loaded.
HMODULE CommonControlsModule();
