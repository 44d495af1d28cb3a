// Payloads among the program's own resources: compressed streams of type
// "FILE_RESOURCE" decoded into a file (mode 1) or into a text (mode 2).
// Every payload is checked before it is used: its decoded length and CRC-32
// must be those its entry in the payload table (resource RCDATA 1,
// made by payload-tool at build time) records. A payload that fails the
// check, or that the table does not list, is never written or handed out.
#pragma once

#include <windows.h>

// The resource type of the payloads, and what a user is told when one of
// them is damaged.
extern const char kPayloadType[];          // "FILE_RESOURCE"
extern const char kDamagedSetupText[];     // "The setup program is damaged. ..."

// Decodes payload `id` and writes it to targetPath, replacing any file of
// that name. 1 on success. On failure 0, the target as it was, and no
// temporary file left behind; a target that another program holds open
// fails, so callers can offer to retry; a damaged payload fails too, and
// LastPayloadWasDamaged tells the two apart.
int ExtractPayloadToFile(const char* typeName, WORD id, const char* targetPath);

// Decodes payload `id` into a new NUL-terminated text from the process heap
// (release it with MemFree). 1 on success; 0 leaves *text untouched.
int LoadPayloadText(const char* typeName, WORD id, char** text);

// 1 when the last ExtractPayloadToFile or LoadPayloadText failed because
// its payload is missing, does not decode, or does not match its table
// entry: retrying cannot help. 0 after a success or any other failure.
int LastPayloadWasDamaged();

// Decodes and checks every payload: 1 when the payload table is intact,
// lists every payload the setup program needs, and every payload it lists
// is present, decodes and matches its length and checksum; 0 otherwise.
int VerifyPayloads();
