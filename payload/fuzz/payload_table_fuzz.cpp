// Any byte string read as a payload table: it is one or it is none, never
// read past its end; a table that is one stores back to the same bytes.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "payload/payload_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly `size` bytes, so that AddressSanitizer sees any read past it.
  std::vector<unsigned char> table(data, data + size);
  const int count = PayloadTableEntries(table.data(), size);
  if (count < 0) {
    PayloadCheck check;
    if (size >= 10 && FindPayloadCheck(table.data(), size, static_cast<uint16_t>(table[8] | table[9] << 8), &check))
      abort();
    return 0;
  }
  std::vector<PayloadCheck> checks;
  for (int i = 0; i < count; ++i) {
    checks.push_back(PayloadTableEntry(table.data(), i));
    PayloadCheck found;
    if (!FindPayloadCheck(table.data(), size, checks.back().id, &found) || found.crc != checks.back().crc) abort();
  }
  std::vector<unsigned char> stored(PayloadTableSize(static_cast<uint32_t>(count)));
  StorePayloadTable(checks.data(), static_cast<uint32_t>(count), stored.data());
  // Stored again, the same bytes, but for the trailing CRC and each entry's
  // two unused bytes, which the reader ignores and the writer zeroes.
  if (stored.size() != size) abort();
  for (int i = 0; i < count; ++i) {
    const size_t unused = kPayloadTableHeaderSize + kPayloadTableEntrySize * static_cast<size_t>(i) + 2;
    table[unused] = table[unused + 1] = 0;
  }
  if (memcmp(stored.data(), table.data(), size - 4) != 0) abort();
  return 0;
}
