#include "shell/system_libraries.h"

#include <commctrl.h>

#include "common/system_library.h"
#include "common/types.h"

namespace {

int searchRestricted = 0;   // SetDefaultDllDirectories is in force

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);
typedef void(WINAPI* InitCommonControlsFn)();
typedef HPROPSHEETPAGE(WINAPI* CreatePageFn)(LPCPROPSHEETPAGEA);
typedef BOOL(WINAPI* DestroyPageFn)(HPROPSHEETPAGE);
typedef INT_PTR(WINAPI* PropertySheetFn)(LPCPROPSHEETHEADERA);

struct CommonControlsRecord {
  int tried;
  HMODULE module;
  InitCommonControlsFn initCommonControls;
  CreatePageFn createPage;
  DestroyPageFn destroyPage;
  PropertySheetFn propertySheet;
};
CommonControlsRecord commonControls;

int IsRedirectedByManifest(const char* name) {
  ACTCTX_SECTION_KEYED_DATA data;
  ZeroMemory(&data, sizeof data);
  data.cbSize = sizeof data;
  return FindActCtxSectionStringA(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                  name, &data) ? 1 : 0;
}

void LoadCommonControls() {
  if (commonControls.tried) return;
  commonControls.tried = 1;
  HMODULE module = LoadSystemLibrary("comctl32.dll");
  if (!module) return;
  commonControls.module = module;
  commonControls.initCommonControls = LibraryEntry<InitCommonControlsFn>(module, "InitCommonControls");
  commonControls.createPage = LibraryEntry<CreatePageFn>(module, "CreatePropertySheetPageA");
  commonControls.destroyPage = LibraryEntry<DestroyPageFn>(module, "DestroyPropertySheetPage");
  commonControls.propertySheet = LibraryEntry<PropertySheetFn>(module, "PropertySheetA");
}

}  // namespace

void RestrictDllSearchPath() {
  // Looked up: systems without the update that brought it lack the export.
  HMODULE kernel = GetModuleHandleA(kKernelLibraryName);
  SetDefaultDllDirectoriesFn setDefault =
      kernel ? LibraryEntry<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories") : nullptr;
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) searchRestricted = 1;
  SetDllDirectoryA("");
}

HMODULE LoadSystemLibrary(const char* name) {
  // With the search restricted, or with a manifest redirection into the
  // side-by-side store, the bare name never reaches the program's folder.
  if (searchRestricted || IsRedirectedByManifest(name)) return LoadLibraryA(name);
  return LoadLibraryFromSystemFolder(name);
}

HMODULE CommonControlsModule() {
  LoadCommonControls();
  return commonControls.module;
}

void InitCommonControlsOnce() {
  LoadCommonControls();
  if (commonControls.initCommonControls) commonControls.initCommonControls();
}

HPROPSHEETPAGE CreatePropertySheetPageSafe(const PROPSHEETPAGEA* page) {
  LoadCommonControls();
  return commonControls.createPage ? commonControls.createPage(page) : nullptr;
}

void DestroyPropertySheetPageSafe(HPROPSHEETPAGE page) {
  LoadCommonControls();
  if (commonControls.destroyPage && page) commonControls.destroyPage(page);
}

INT_PTR PropertySheetSafe(const PROPSHEETHEADERA* header) {
  LoadCommonControls();
  if (!commonControls.propertySheet) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return -1;
  }
  return commonControls.propertySheet(header);
}
