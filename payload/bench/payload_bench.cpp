// payload-bench [FILE...]
// For each file of the fixed corpus (files of Debian packages found on the
// build machine) and each FILE given: input bytes, our stream bytes, gzip -9
// and xz -9 bytes, and our decode speed beside zlib's inflate, both measured
// in this run. Ends with a total line.
#include <stdio.h>
#include <string.h>
#include <zlib.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/memory.h"
#include "payload/payload_decoder.h"
#include "payload/payload_encoder.h"

static const char* const kCorpus[] = {
    "/usr/i686-w64-mingw32/lib/zlib1.dll",
    "/usr/lib/gcc/i686-w64-mingw32/12-posix/libssp-0.dll",
    "/usr/i686-w64-mingw32/lib/libwinpthread-1.dll",
    "/usr/x86_64-w64-mingw32/lib/zlib1.dll",
    "/usr/share/common-licenses/GPL-3",
    "/usr/share/common-licenses/Apache-2.0",
    "/usr/share/common-licenses/LGPL-2.1",
};

static bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  uint8_t buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) bytes->insert(bytes->end(), buffer, buffer + got);
  fclose(file);
  return true;
}

// Size of what a command prints for the file on its standard input.
static long CompressedBy(const char* command, const std::string& path) {
  std::string line = std::string(command) + " < '" + path + "'";
  FILE* pipe = popen(line.c_str(), "r");
  if (!pipe) return -1;
  char buffer[65536];
  long total = 0;
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) total += static_cast<long>(got);
  return pclose(pipe) == 0 ? total : -1;
}

static double Seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Runs `work` repeatedly for at least a quarter of a second; returns the
// time of one run.
template <typename Work>
static double TimeOf(Work work) {
  int runs = 0;
  double start = Seconds(), elapsed = 0;
  do {
    work();
    ++runs;
    elapsed = Seconds() - start;
  } while (elapsed < 0.25);
  return elapsed / runs;
}

struct Totals {
  double input = 0, ours = 0, gzip = 0, xz = 0, decodeSeconds = 0, inflateSeconds = 0, encodeSeconds = 0;
};

static bool Measure(const std::string& path, Totals* totals) {
  std::vector<uint8_t> data;
  if (!ReadFile(path, &data) || data.empty()) return false;

  double encodeStart = Seconds();
  std::vector<uint8_t> stream = EncodePayload(data.data(), data.size());
  double encodeSeconds = Seconds() - encodeStart;

  bool roundTrip = false;
  double decode = TimeOf([&] {
    unsigned char* output = nullptr;
    payloadInputCursor = stream.data();
    payloadInputEnd = stream.data() + stream.size();
    roundTrip = DecodePayload(&output) && payloadOutputCount == data.size() &&
                memcmp(output, data.data(), data.size()) == 0;
    MemFree(output);
  });

  uLongf packedSize = compressBound(data.size());
  std::vector<uint8_t> packed(packedSize);
  compress2(packed.data(), &packedSize, data.data(), data.size(), 9);
  std::vector<uint8_t> unpacked(data.size());
  double inflate = TimeOf([&] {
    uLongf size = unpacked.size();
    uncompress(unpacked.data(), &size, packed.data(), packedSize);
  });

  long gzip = CompressedBy("gzip -9 -c", path);
  long xz = CompressedBy("xz -9 -c", path);
  const char* name = strrchr(path.c_str(), '/') ? strrchr(path.c_str(), '/') + 1 : path.c_str();
  double megabytes = data.size() / 1e6;
  printf("%-22s %9zu %9zu %9ld %9ld %+7.2f%% %9.1f %9.1f %7.2f%s\n", name, data.size(), stream.size(), gzip, xz,
         100.0 * (static_cast<double>(stream.size()) / gzip - 1), megabytes / decode, megabytes / inflate,
         encodeSeconds, roundTrip ? "" : "  ROUND TRIP FAILED");
  totals->input += data.size();
  totals->ours += stream.size();
  totals->gzip += gzip;
  totals->xz += xz;
  totals->decodeSeconds += decode;
  totals->inflateSeconds += inflate;
  totals->encodeSeconds += encodeSeconds;
  return roundTrip;
}

int main(int argc, char** argv) {
  printf("%-22s %9s %9s %9s %9s %8s %9s %9s %7s\n", "file", "input", "ours", "gzip -9", "xz -9", "vs gzip",
         "dec MB/s", "zlib MB/s", "enc s");
  Totals totals;
  bool ok = true;
  std::vector<std::string> files(kCorpus, kCorpus + sizeof kCorpus / sizeof kCorpus[0]);
  for (int i = 1; i < argc; ++i) files.push_back(argv[i]);
  for (const std::string& path : files) {
    if (!Measure(path, &totals)) {
      fprintf(stderr, "payload-bench: skipped %s (missing, empty or failed)\n", path.c_str());
      ok = false;
    }
  }
  double megabytes = totals.input / 1e6;
  printf("%-22s %9.0f %9.0f %9.0f %9.0f %+7.2f%% %9.1f %9.1f %7.2f\n", "total", totals.input, totals.ours,
         totals.gzip, totals.xz, 100.0 * (totals.ours / totals.gzip - 1), megabytes / totals.decodeSeconds,
         megabytes / totals.inflateSeconds, totals.encodeSeconds);
  return ok ? 0 : 1;
}
