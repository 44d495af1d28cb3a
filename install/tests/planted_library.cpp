// Planted beside a test program: if anything loads it, it leaves a mark in
// the process environment that the test looks for.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) SetEnvironmentVariableA("MV_PLANTED_DLL", "loaded");
  return TRUE;
}
