// Types shared by every subsystem: versions, placement areas and the
// private window messages. Portable: no Windows headers.
#pragma once

#include <stdint.h>

// Major version in the high byte, minor in the low byte; 0 means none.
typedef uint16_t ProductVersion;
const ProductVersion kSetupVersion = 0x0304;   // this setup installs 3.04

// The product's web page: the wizard's links and the Apps entry's
// "URLInfoAbout".
inline constexpr char kProductWebPage[] = "https://www.quillfern.example/morvantile/";

// The product's name and its files' names. Inline, so that the program
// holds each text once however many units use it.
inline constexpr char kProductName[] = "Morvantile";
inline constexpr char kProgramFileName[] = "Morvantile.exe";
inline constexpr char kLibraryFileName[] = "Morvantile.dll";
inline constexpr char kProcessStatusFileName[] = "psapi.dll";
inline constexpr char kSettingsFileName[] = "default.MorvantileSettings";
inline constexpr char kKernelLibraryName[] = "kernel32.dll";

// The product reads no settings file larger than this, so the setup
// writes none: the registry then keeps what such a file would have held.
const uint32_t kLargestSettingsFile = 1 << 20;

// A placement area of the product. Stored as a signed 32-bit code; values
// outside the enumerators occur in the registry and must survive.
enum Area : int32_t {
  RemoveFromList = -1,
  None = 0,
  WholeArea = 1,
  LeftSide = 2,
  TopHalf = 3,
  RightSide = 4,
  BottomHalf = 5,
  UpperLeft = 6,
  UpperRight = 7,
  LowerLeft = 8,
  LowerRight = 9,
  Custom = 10,
};
static_assert(sizeof(Area) == 4, "Area is a 32-bit code");

// Private messages, from WM_USER + 1001. The numbers are reused: pages get
// WMU_RUNSTEP and WMU_FOCUSCONTROL, link labels get the WMU_LINK_ ones.
enum : unsigned {
  kWmUser = 0x0400,
  WMU_RUNSTEP = kWmUser + 1001,          // 2025, Progress page: lParam = step
  WMU_FOCUSCONTROL = kWmUser + 1002,     // 2026, any page: wParam = control
  WMU_LINK_SETURL = kWmUser + 1001,      // 2025, link label: lParam = address
  WMU_LINK_SETCURSOR = kWmUser + 1002,   // 2026, link label: lParam = cursor
  WMU_LINK_ADDTOOLTIP = kWmUser + 1003,  // 2027, link label
};
