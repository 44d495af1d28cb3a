// Payloads among the program's own resources: compressed streams of type
// "FILE_RESOURCE" decoded into a file (mode 1) or into a text (mode 2).
#pragma once

#include <windows.h>

// Decodes payload `id` and writes it to targetPath, replacing any file of
// that name. 1 on success. On failure 0, the target as it was, and no
// temporary file left behind; a target that another program holds open
// fails, so callers can offer to retry.
int ExtractPayloadToFile(const char* typeName, WORD id, const char* targetPath);

// Decodes payload `id` into a new NUL-terminated text from the process heap
// (release it with MemFree). 1 on success; 0 leaves *text untouched.
int LoadPayloadText(const char* typeName, WORD id, char** text);
