// Extraction of a payload resource: find, load, lock, size, decode, then
// write a file or terminate a text. The decoder's input range is set just
// before the decode and cleared on every path, so it is none whenever no
// extraction runs.
#include "payload/payload_extractor.h"

#include "common/memory.h"
#include "payload/payload_decoder.h"

namespace {

const int kModeFile = 1;
const int kModeText = 2;
const char kPartialSuffix[] = ".partial";

void ClearInputRange() {
  payloadInputCursor = nullptr;
  payloadInputEnd = nullptr;
}

// A file that is read-only, or that cannot be opened for writing without
// sharing (another program holds it open), must not be replaced, just as
// creating it anew would fail. The rename alone is not trusted with that:
// Wine run by root renames over a read-only file.
int TargetIsWritable(const char* targetPath) {
  const DWORD attributes = GetFileAttributesA(targetPath);
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    return 0;
  HANDLE file = CreateFileA(targetPath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return 1;
  }
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND;
}

// Writes the decoded bytes beside the target, flushes them, and only then
// puts them in the target's place: a failure at any point leaves the target
// as it was and removes the partial file.
int WriteFileSafely(const char* targetPath, const unsigned char* bytes, uint32_t count) {
  char partialPath[MAX_PATH + sizeof kPartialSuffix];
  const int length = lstrlenA(targetPath);
  if (length == 0 || length >= MAX_PATH) return 0;
  MemCopy(partialPath, targetPath, static_cast<size_t>(length));
  MemCopy(partialPath + length, kPartialSuffix, sizeof kPartialSuffix);

  HANDLE file = CreateFileA(partialPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  int ok = count == 0 || (WriteFile(file, bytes, count, &written, nullptr) && written == count);
  ok = FlushFileBuffers(file) && ok;
  ok = CloseHandle(file) && ok;
  ok = ok && TargetIsWritable(targetPath) &&
       MoveFileExA(partialPath, targetPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileA(partialPath);
  return ok;
}

// The decoded block with a NUL after the bytes. A block filled to its last
// byte (a length that is a multiple of 4,096), or no block at all (an empty
// payload), is replaced by one with room for it.
char* TerminateText(unsigned char* bytes, uint32_t count, uint32_t capacity) {
  if (bytes && count < capacity) {
    bytes[count] = 0;
    return reinterpret_cast<char*>(bytes);
  }
  char* text = static_cast<char*>(MemAlloc(static_cast<size_t>(count) + 1));
  if (text) {
    if (count) MemCopy(text, bytes, count);
    text[count] = 0;
  }
  MemFree(bytes);
  return text;
}

int ExtractPayload(int mode, const char* typeName, WORD id, void* destination) {
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), typeName);
  if (!resource) return 0;
  HGLOBAL loaded = LoadResource(nullptr, resource);
  if (!loaded) return 0;
  payloadInputCursor = static_cast<const unsigned char*>(LockResource(loaded));
  if (!payloadInputCursor) return 0;
  const DWORD size = SizeofResource(nullptr, resource);
  if (size == 0) {
    ClearInputRange();
    return 0;
  }
  payloadInputEnd = payloadInputCursor + size;

  unsigned char* bytes = nullptr;
  if (!DecodePayload(&bytes)) {
    ClearInputRange();
    return 0;
  }
  const uint32_t count = payloadOutputCount;
  ClearInputRange();
  // The decoder's block is a whole number of 4,096-byte steps.
  const uint32_t capacity = bytes ? (count + kPayloadOutputStep - 1) / kPayloadOutputStep *
                                        kPayloadOutputStep
                                  : 0;

  if (mode == kModeFile) {
    const int ok = WriteFileSafely(static_cast<const char*>(destination), bytes, count);
    MemFree(bytes);
    return ok;
  }
  char* text = TerminateText(bytes, count, capacity);
  if (!text) return 0;
  *static_cast<char**>(destination) = text;
  return 1;
}

}  // namespace

int ExtractPayloadToFile(const char* typeName, WORD id, const char* targetPath) {
  return ExtractPayload(kModeFile, typeName, id, const_cast<char*>(targetPath));
}

int LoadPayloadText(const char* typeName, WORD id, char** text) {
  return ExtractPayload(kModeText, typeName, id, text);
}
