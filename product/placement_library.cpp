#include <windows.h>

#include "product/placement_library.h"

namespace {

const PlacementLibrary kLibrary = {
    sizeof(PlacementLibrary), AreaRect, DefaultProductSettings, ReadSettingsFileImage,
    FreeProductSettings,
};

}  // namespace

extern "C" const PlacementLibrary* MorvantilePlacementLibrary() { return &kLibrary; }

// The library needs no C runtime: its code only computes, and its one block
// of memory comes from the process heap.
extern "C" BOOL WINAPI LibraryEntry(HINSTANCE, DWORD, LPVOID) { return TRUE; }
