// The process-status library carries no code of its own: its exports are
// forwarders to kernel32 (psapi.def). This entry point only lets the loader
// attach it without the C runtime.
#include <windows.h>

extern "C" BOOL WINAPI PsapiEntry(HINSTANCE, DWORD, LPVOID) { return TRUE; }
