// Writes the product's settings file from the current registry settings,
// the work area and the icon spacing. Reading goes through the settings
// readers, so missing settings are also completed in the registry.
#pragma once

// 1 when the whole file was written. The file is written beside the target
// under a temporary name and then moved over it: on any failure the target
// is left as it was and 0 is returned.
int WriteSettingsFile(const char* path);
