// payload-tool encode IN OUT | decode IN OUT | table OUT ID=STREAM...
// Build-time converter between plain files and payload streams, and the
// maker of the payload table (each stream's decoded length and CRC-32).
// OUT must be a regular file or not exist: anything else (a device, a FIFO,
// a symbolic link, a folder) is refused and left as it is. OUT appears only
// when the whole conversion succeeded: it is written to a new file beside
// it and renamed into place.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "common/host_files.h"
#include "common/memory.h"
#include "payload/payload_checksum.h"
#include "payload/payload_decoder.h"
#include "payload/payload_encoder.h"
#include "payload/payload_table.h"

// A failed run leaves no OUT behind, not even one from an earlier run, so
// that a build never mistakes a stale file for a fresh result. Only a
// regular file is removed.
static const char* outPath;

static int Fail(const char* message, const char* path) {
  fprintf(stderr, "payload-tool: %s: %s\n", message, path);
  if (outPath && IsRegularOrAbsent(outPath)) unlink(outPath);
  return 1;
}

// Decodes one stream; 1 and *decoded (release with MemFree) on success.
static int Decode(const std::vector<uint8_t>& stream, unsigned char** decoded, uint32_t* count) {
  if (stream.size() > UINT32_MAX) return 0;
  payloadInputCursor = stream.data();
  payloadInputEnd = stream.data() + stream.size();
  int ok = DecodePayload(decoded);
  payloadInputCursor = payloadInputEnd = nullptr;
  *count = payloadOutputCount;
  return ok;
}

static int Encode(const char* inPath) {
  std::vector<uint8_t> input;
  if (!ReadWholeFile(inPath, &input)) return Fail("cannot read", inPath);
  // The decoder counts its output in 32 bits; the encoder indexes in 31.
  if (input.size() > 0x7FFFFFFFu) return Fail("input too large", inPath);
  std::vector<uint8_t> stream = EncodePayload(input.data(), input.size());
  if (!WriteFileAtomically(outPath, stream.data(), stream.size())) return Fail("cannot write", outPath);
  return 0;
}

static int DecodeToFile(const char* inPath) {
  std::vector<uint8_t> input;
  if (!ReadWholeFile(inPath, &input)) return Fail("cannot read", inPath);
  unsigned char* decoded = nullptr;
  uint32_t count = 0;
  if (!Decode(input, &decoded, &count)) return Fail("damaged or cut-short payload stream", inPath);
  int written = WriteFileAtomically(outPath, decoded, count);
  MemFree(decoded);
  if (!written) return Fail("cannot write", outPath);
  return 0;
}

// Each argument is ID=STREAM; the stream is decoded here, so the table
// describes the bytes the setup will really produce.
static int MakeTable(int count, char** arguments) {
  if (count > static_cast<int>(kPayloadTableMaxEntries)) return Fail("too many payloads", outPath);
  std::vector<PayloadCheck> checks;
  for (int i = 0; i < count; ++i) {
    const char* argument = arguments[i];
    char* end = nullptr;
    errno = 0;
    const unsigned long id = strtoul(argument, &end, 10);
    if (end == argument || *end != '=' || errno != 0 || id == 0 || id > 0xFFFF)
      return Fail("expected ID=STREAM", argument);
    for (const PayloadCheck& check : checks)
      if (check.id == id) return Fail("payload listed twice", argument);
    const char* streamPath = end + 1;
    std::vector<uint8_t> stream;
    if (!ReadWholeFile(streamPath, &stream)) return Fail("cannot read", streamPath);
    unsigned char* decoded = nullptr;
    uint32_t length = 0;
    if (!Decode(stream, &decoded, &length)) return Fail("damaged or cut-short payload stream", streamPath);
    checks.push_back({static_cast<uint16_t>(id), length, PayloadCrc32(decoded, length)});
    MemFree(decoded);
  }
  std::vector<uint8_t> table(PayloadTableSize(static_cast<uint32_t>(checks.size())));
  StorePayloadTable(checks.data(), static_cast<uint32_t>(checks.size()), table.data());
  if (!WriteFileAtomically(outPath, table.data(), table.size())) return Fail("cannot write", outPath);
  return 0;
}

static int Usage() {
  fprintf(stderr, "usage: payload-tool encode|decode IN OUT | payload-tool table OUT ID=STREAM...\n");
  return 2;
}

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const int isTable = strcmp(argv[1], "table") == 0;
  if (isTable ? argc < 3 : (argc != 4 || (strcmp(argv[1], "encode") != 0 && strcmp(argv[1], "decode") != 0)))
    return Usage();
  const char* out = isTable ? argv[2] : argv[3];
  if (!IsRegularOrAbsent(out)) {
    fprintf(stderr, "payload-tool: not a regular file, left as it is: %s\n", out);
    return 1;
  }
  outPath = out;
  if (isTable) return MakeTable(argc - 3, argv + 3);
  if (strcmp(argv[1], "encode") == 0) return Encode(argv[2]);
  return DecodeToFile(argv[2]);
}
