#include "common/host_files.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

int ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
  FILE* file = fopen(path, "rb");
  if (!file) return 0;
  uint8_t buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) bytes->insert(bytes->end(), buffer, buffer + got);
  int ok = !ferror(file);
  fclose(file);
  return ok;
}

int IsRegularOrAbsent(const char* path) {
  struct stat status;
  if (lstat(path, &status) != 0) return errno == ENOENT;
  return S_ISREG(status.st_mode);
}

static int WriteAll(int descriptor, const uint8_t* bytes, size_t size) {
  while (size > 0) {
    ssize_t done = write(descriptor, bytes, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return 0;
    bytes += done;
    size -= static_cast<size_t>(done);
  }
  return 1;
}

int WriteFileAtomically(const char* path, const uint8_t* bytes, size_t size) {
  std::string temporary;
  int descriptor = -1;
  for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
    temporary = std::string(path) + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0 && errno != EEXIST) return 0;
  }
  if (descriptor < 0) return 0;
  int ok = WriteAll(descriptor, bytes, size);
  ok = (close(descriptor) == 0) && ok;
  ok = ok && IsRegularOrAbsent(path) && rename(temporary.c_str(), path) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}
