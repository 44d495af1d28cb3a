// payload-tool encode IN OUT | decode IN OUT
// Build-time converter between plain files and payload streams. OUT appears
// only when the whole conversion succeeded: it is written to a temporary
// file beside it and renamed into place.
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/memory.h"
#include "payload/payload_decoder.h"
#include "payload/payload_encoder.h"

static int ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
  FILE* file = fopen(path, "rb");
  if (!file) return 0;
  uint8_t buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) bytes->insert(bytes->end(), buffer, buffer + got);
  int ok = !ferror(file);
  fclose(file);
  return ok;
}

static int WriteFileAtomically(const char* path, const uint8_t* bytes, size_t size) {
  std::string temporary = std::string(path) + ".tmp" + std::to_string(getpid());
  FILE* file = fopen(temporary.c_str(), "wb");
  if (!file) return 0;
  int ok = (size == 0 || fwrite(bytes, 1, size, file) == size);
  ok = (fclose(file) == 0) && ok;
  if (ok && rename(temporary.c_str(), path) != 0) ok = 0;
  if (!ok) remove(temporary.c_str());
  return ok;
}

// A failed run leaves no OUT behind, not even one from an earlier run, so
// that a build never mistakes a stale file for a fresh result.
static const char* outPath;

static int Fail(const char* message, const char* path) {
  fprintf(stderr, "payload-tool: %s: %s\n", message, path);
  if (outPath) remove(outPath);
  return 1;
}

int main(int argc, char** argv) {
  if (argc != 4 || (strcmp(argv[1], "encode") != 0 && strcmp(argv[1], "decode") != 0)) {
    fprintf(stderr, "usage: payload-tool encode|decode IN OUT\n");
    return 2;
  }
  const char* inPath = argv[2];
  outPath = argv[3];
  std::vector<uint8_t> input;
  if (!ReadWholeFile(inPath, &input)) return Fail("cannot read", inPath);

  if (strcmp(argv[1], "encode") == 0) {
    // The decoder counts its output in 32 bits; the encoder indexes in 31.
    if (input.size() > 0x7FFFFFFFu) return Fail("input too large", inPath);
    std::vector<uint8_t> stream = EncodePayload(input.data(), input.size());
    if (!WriteFileAtomically(outPath, stream.data(), stream.size())) return Fail("cannot write", outPath);
    return 0;
  }

  if (input.size() > UINT32_MAX) return Fail("stream too large", inPath);
  unsigned char* decoded = nullptr;
  payloadInputCursor = input.data();
  payloadInputEnd = input.data() + input.size();
  int ok = DecodePayload(&decoded);
  payloadInputCursor = payloadInputEnd = nullptr;
  if (!ok) return Fail("damaged or cut-short payload stream", inPath);
  int written = WriteFileAtomically(outPath, decoded, payloadOutputCount);
  MemFree(decoded);
  if (!written) return Fail("cannot write", outPath);
  return 0;
}
