// payload-bench [FILE...]
// For each file of the fixed corpus (files of Debian packages found on the
// build machine) and each FILE given: input bytes, our stream bytes, gzip -9
// and xz -9 bytes, our decode speed beside zlib's inflate, and our encode
// speed, all measured in this run. Ends with a total line. Then decode time
// against inflate for multi-megabyte outputs, and the encoder on inputs
// that are hard for its copy search. Times are processor time of this
// process, steadier than wall time on a shared machine.
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <zlib.h>

#include <algorithm>
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

static double Seconds() { return static_cast<double>(clock()) / CLOCKS_PER_SEC; }

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

struct Speeds {
  bool roundTrip = false;
  size_t stream = 0;
  double encode = 0, decode = 0, inflate = 0;   // seconds for one run
};

static Speeds Time(const std::vector<uint8_t>& data) {
  Speeds speeds;
  std::vector<uint8_t> stream;
  // A few kilobytes encode in milliseconds, which one run cannot time.
  speeds.encode = TimeOf([&] { stream = EncodePayload(data.data(), data.size()); });
  speeds.stream = stream.size();

  speeds.decode = TimeOf([&] {
    unsigned char* output = nullptr;
    payloadInputCursor = stream.data();
    payloadInputEnd = stream.data() + stream.size();
    speeds.roundTrip = DecodePayload(&output) && payloadOutputCount == data.size() &&
                       memcmp(output, data.data(), data.size()) == 0;
    payloadInputCursor = payloadInputEnd = nullptr;
    MemFree(output);
  });

  uLongf packedSize = compressBound(data.size());
  std::vector<uint8_t> packed(packedSize);
  compress2(packed.data(), &packedSize, data.data(), data.size(), 9);
  std::vector<uint8_t> unpacked(data.size());
  speeds.inflate = TimeOf([&] {
    uLongf size = unpacked.size();
    uncompress(unpacked.data(), &size, packed.data(), packedSize);
  });
  return speeds;
}

static bool Measure(const std::string& path, Totals* totals) {
  std::vector<uint8_t> data;
  if (!ReadFile(path, &data) || data.empty()) return false;
  Speeds speeds = Time(data);
  long gzip = CompressedBy("gzip -9 -c", path);
  long xz = CompressedBy("xz -9 -c", path);
  const char* name = strrchr(path.c_str(), '/') ? strrchr(path.c_str(), '/') + 1 : path.c_str();
  double megabytes = data.size() / 1e6;
  printf("%-22s %9zu %9zu %9ld %9ld %+7.2f%% %9.1f %9.1f %8.2f%s\n", name, data.size(), speeds.stream, gzip, xz,
         100.0 * (static_cast<double>(speeds.stream) / gzip - 1), megabytes / speeds.decode,
         megabytes / speeds.inflate, megabytes / speeds.encode, speeds.roundTrip ? "" : "  ROUND TRIP FAILED");
  totals->input += data.size();
  totals->ours += speeds.stream;
  totals->gzip += gzip;
  totals->xz += xz;
  totals->decodeSeconds += speeds.decode;
  totals->inflateSeconds += speeds.inflate;
  totals->encodeSeconds += speeds.encode;
  return speeds.roundTrip;
}

// Decode time grows with the output alone: the corpus, repeated to several
// megabytes, beside inflate on the same bytes.
static bool MeasureLargeOutputs(const std::vector<uint8_t>& corpus) {
  printf("\n%-22s %9s %9s %9s %9s %7s\n", "large output", "bytes", "ours", "dec s", "zlib s", "ratio");
  bool ok = true;
  for (size_t megabytes : {1, 2, 4, 8}) {
    std::vector<uint8_t> data;
    while (data.size() < megabytes << 20) data.insert(data.end(), corpus.begin(), corpus.end());
    data.resize(megabytes << 20);
    Speeds speeds = Time(data);
    printf("corpus to %zu MB%-8s %9zu %9zu %9.3f %9.3f %6.1fx%s\n", megabytes, "", data.size(), speeds.stream,
           speeds.decode, speeds.inflate, speeds.decode / speeds.inflate, speeds.roundTrip ? "" : "  ROUND TRIP FAILED");
    ok = ok && speeds.roundTrip;
  }
  return ok;
}

// Inputs that are hard for the copy search (dense chains whose copies
// never reach the longest length, long runs, near-repeats) or for meeting
// the model's count limit (one byte most of the noise).
static bool MeasureHardInputs() {
  printf("\n%-22s %9s %9s %9s %9s %9s\n", "hard input", "bytes", "ours", "enc MB/s", "dec MB/s", "zlib MB/s");
  const size_t size = 2u << 20;
  uint32_t state = 12345;
  auto next = [&state] {   // xorshift: no short cycles in the low bits
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  struct Input {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  std::vector<Input> inputs(13, Input{"", std::vector<uint8_t>(size)});
  inputs[0].name = "noise over a, b";
  inputs[1].name = "noise over ACGT";
  inputs[2].name = "noise, all bytes";
  inputs[3].name = "zeros";
  inputs[4].name = "64-byte records, 1 off";
  // One value with rare others: every chain is dense and each rare byte
  // ends the copies that reach it.
  inputs[5].name = "a, 8% b";
  inputs[6].name = "zeros, 3% any byte";
  inputs[7].name = "a, 0.5% b";   // runs: dozens of copies a byte
  inputs[8].name = "runs of a, b (mean 12)";
  // Small and skewed: the model is still settling, so each block's plans
  // differ and most of the seven are tried.
  inputs[9].name = "48 KB: a, 20% b";
  inputs[9].bytes.resize(48u << 10);
  inputs[10].name = "4 KB: a, 2% b";   // one block, all seven plans
  inputs[10].bytes.resize(4u << 10);
  inputs[11].name = "64 KB: a, 10% b, c, d";
  inputs[11].bytes.resize(64u << 10);
  // One byte is most of the noise: its literal hangs from the tree's root,
  // and most symbols are that literal when the counts near their limit.
  inputs[12].name = "noise, 60% one byte";
  for (size_t i = 0; i < size; ++i) {
    inputs[0].bytes[i] = static_cast<uint8_t>('a' + next() % 2);
    inputs[1].bytes[i] = static_cast<uint8_t>("ACGT"[next() % 4]);
    inputs[2].bytes[i] = static_cast<uint8_t>(next());
  }
  std::vector<uint8_t> record(64);
  for (auto& byte : record) byte = static_cast<uint8_t>(next());
  for (size_t i = 0; i < size; i += 64) {
    std::copy(record.begin(), record.end(), inputs[4].bytes.begin() + static_cast<long>(i));
    inputs[4].bytes[i + next() % 64] = static_cast<uint8_t>(next());
  }
  for (size_t i = 0; i < size; ++i) {
    inputs[5].bytes[i] = next() % 100 < 8 ? 'b' : 'a';
    inputs[6].bytes[i] = next() % 100 < 3 ? static_cast<uint8_t>(next()) : 0;
  }
  uint8_t letter = 'a';
  for (size_t i = 0; i < size; ++i) {
    inputs[7].bytes[i] = next() % 1000 < 5 ? 'b' : 'a';
    inputs[8].bytes[i] = letter;
    if (next() % 12 == 0) letter ^= 'a' ^ 'b';   // a run ends with a chance of 1 in 12 a byte
  }
  for (uint8_t& byte : inputs[9].bytes) byte = next() % 100 < 20 ? 'b' : 'a';
  for (uint8_t& byte : inputs[10].bytes) byte = next() % 100 < 2 ? 'b' : 'a';
  for (uint8_t& byte : inputs[11].bytes) byte = next() % 100 < 10 ? static_cast<uint8_t>('b' + next() % 3) : 'a';
  for (uint8_t& byte : inputs[12].bytes) byte = next() % 100 < 60 ? 'a' : static_cast<uint8_t>(next());
  bool ok = true;
  for (const Input& input : inputs) {
    Speeds speeds = Time(input.bytes);
    double megabytes = input.bytes.size() / 1e6;
    printf("%-22s %9zu %9zu %9.2f %9.1f %9.1f%s\n", input.name, input.bytes.size(), speeds.stream,
           megabytes / speeds.encode, megabytes / speeds.decode, megabytes / speeds.inflate,
           speeds.roundTrip ? "" : "  ROUND TRIP FAILED");
    ok = ok && speeds.roundTrip;
  }
  return ok;
}

int main(int argc, char** argv) {
  printf("%-22s %9s %9s %9s %9s %8s %9s %9s %8s\n", "file", "input", "ours", "gzip -9", "xz -9", "vs gzip",
         "dec MB/s", "zlib MB/s", "enc MB/s");
  Totals totals;
  bool ok = true;
  std::vector<std::string> files(kCorpus, kCorpus + sizeof kCorpus / sizeof kCorpus[0]);
  for (int i = 1; i < argc; ++i) files.push_back(argv[i]);
  std::vector<uint8_t> corpus;
  for (const std::string& path : files) {
    if (!Measure(path, &totals)) {
      fprintf(stderr, "payload-bench: skipped %s (missing, empty or failed)\n", path.c_str());
      ok = false;
    }
    ReadFile(path, &corpus);
  }
  double megabytes = totals.input / 1e6;
  printf("%-22s %9.0f %9.0f %9.0f %9.0f %+7.2f%% %9.1f %9.1f %8.2f\n", "total", totals.input, totals.ours,
         totals.gzip, totals.xz, 100.0 * (totals.ours / totals.gzip - 1), megabytes / totals.decodeSeconds,
         megabytes / totals.inflateSeconds, megabytes / totals.encodeSeconds);
  if (!corpus.empty()) ok = MeasureLargeOutputs(corpus) && ok;
  ok = MeasureHardInputs() && ok;
  return ok ? 0 : 1;
}
