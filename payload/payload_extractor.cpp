// Extraction of a payload resource: find, load, lock, size, decode, check
// against the payload table, then write a file or terminate a text. The
// decoder's input range is set just before the decode and cleared on every
// path, so it is none whenever no extraction runs.
#include "payload/payload_extractor.h"

#include "common/memory.h"
#include "common/temporary_file.h"
#include "payload/payload_checksum.h"
#include "payload/payload_decoder.h"
#include "payload/payload_table.h"

const char kPayloadType[] = "FILE_RESOURCE";
const char kDamagedSetupText[] = "The setup program is damaged. Please download it again.";

namespace {

const int kModeFile = 1;
const int kModeText = 2;
const int kModeCheck = 3;   // decode and check only
const char kPartialSuffix[] = ".partial";

// What the setup program cannot do without: the product's program (101)
// and library (102), the licence (116), the process-status library (118).
const WORD kNeededPayloads[] = {101, 102, 116, 118};

// Why the last extraction failed: 1 when the payload was missing, damaged
// or unlike its table entry, 0 after a success or any other failure.
int lastPayloadDamaged = 0;

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

// The decoded bytes go to "NAME.partial" first and replace the target only
// once they are all on disk.
int WriteFileSafely(const char* targetPath, const unsigned char* bytes, uint32_t count) {
  if (lstrlenA(targetPath) >= MAX_PATH) return 0;
  return ReplaceFileSafely(targetPath, kPartialSuffix, bytes, count, TargetIsWritable);
}

// The bytes of a resource of this program, or none (then size is 0).
const unsigned char* ResourceBytes(const char* type, WORD id, DWORD* size) {
  *size = 0;
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
  HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (bytes) *size = SizeofResource(nullptr, resource);
  return static_cast<const unsigned char*>(bytes);
}

const unsigned char* FindPayloadTable(DWORD* size) {
  return ResourceBytes(MAKEINTRESOURCEA(kPayloadTableResourceType), kPayloadTableId, size);
}

// 1 when the decoded bytes are exactly what the table records for `id`.
// A payload the table does not list is never trusted.
int MatchesTable(WORD id, const unsigned char* bytes, uint32_t count) {
  DWORD size = 0;
  const unsigned char* table = FindPayloadTable(&size);
  PayloadCheck check;
  if (!FindPayloadCheck(table, size, id, &check)) return 0;
  return check.length == count && check.crc == PayloadCrc32(bytes, count);
}

// The decoded block with a NUL after the bytes. The decoder's block is a
// whole number of 4,096-byte steps: one filled to its last byte (a length
// that is a multiple of 4,096), or no block at all (an empty payload), is
// replaced by one with room for the NUL.
char* TerminateText(unsigned char* bytes, uint32_t count) {
  if (bytes && count % kPayloadOutputStep != 0) {
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

// Finds, decodes and checks payload `id`. 1 and the decoded block (null
// for an empty payload) on success; 0 with nothing handed over otherwise.
int DecodeCheckedPayload(const char* typeName, WORD id, unsigned char** decoded, uint32_t* decodedCount) {
  DWORD size = 0;
  const unsigned char* stream = ResourceBytes(typeName, id, &size);
  if (!stream || size == 0) return 0;
  payloadInputCursor = stream;
  payloadInputEnd = stream + size;

  unsigned char* bytes = nullptr;
  const int decodedWhole = DecodePayload(&bytes);
  const uint32_t count = payloadOutputCount;
  ClearInputRange();
  if (!decodedWhole) return 0;
  if (!MatchesTable(id, bytes, count)) {
    MemFree(bytes);
    return 0;
  }
  *decoded = bytes;
  *decodedCount = count;
  return 1;
}

int ExtractPayload(int mode, const char* typeName, WORD id, void* destination) {
  unsigned char* bytes = nullptr;
  uint32_t count = 0;
  lastPayloadDamaged = 0;
  if (!DecodeCheckedPayload(typeName, id, &bytes, &count)) {
    lastPayloadDamaged = 1;
    return 0;
  }
  if (mode == kModeCheck) {
    MemFree(bytes);
    return 1;
  }
  if (mode == kModeFile) {
    const int ok = WriteFileSafely(static_cast<const char*>(destination), bytes, count);
    MemFree(bytes);
    return ok;
  }
  char* text = TerminateText(bytes, count);
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

int LastPayloadWasDamaged() { return lastPayloadDamaged; }

int VerifyPayloads() {
  DWORD size = 0;
  const unsigned char* table = FindPayloadTable(&size);
  const int entries = PayloadTableEntries(table, size);
  if (entries < 0) return 0;
  PayloadCheck check;
  for (WORD id : kNeededPayloads)
    if (!FindPayloadCheck(table, size, id, &check)) return 0;
  for (int i = 0; i < entries; ++i)
    if (!ExtractPayload(kModeCheck, kPayloadType, PayloadTableEntry(table, i).id, nullptr)) return 0;
  return 1;
}
