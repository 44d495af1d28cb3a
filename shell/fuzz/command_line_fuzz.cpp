// Arbitrary bytes as the setup's command line: the parser must never read or
// write outside its buffers, and a good line must hold sane values.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "shell/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  line = line.c_str();   // up to the first NUL, as the system hands it over
  const char* arguments = SkipProgramName(line.c_str());
  SetupOptions options;
  if (ParseSetupOptions(arguments, &options)) {
    if (strlen(options.folder) >= sizeof options.folder) __builtin_trap();
    if (options.folder[0] && options.folder[1] != ':' && options.folder[0] != '\\') __builtin_trap();
  }
  return 0;
}
