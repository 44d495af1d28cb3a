#include "payload/payload_table.h"

#include "payload/payload_checksum.h"

namespace {

const unsigned char kMagic[4] = {'M', 'V', 'P', 'T'};

uint32_t Read32(const unsigned char* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

const unsigned char* EntryAt(const unsigned char* table, uint32_t index) {
  return table + kPayloadTableHeaderSize + kPayloadTableEntrySize * index;
}

void Write32(unsigned char* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

void Write16(unsigned char* p, uint16_t value) {
  p[0] = static_cast<unsigned char>(value);
  p[1] = static_cast<unsigned char>(value >> 8);
}

}  // namespace

size_t PayloadTableSize(uint32_t count) {
  return kPayloadTableHeaderSize + kPayloadTableEntrySize * count + 4;
}

void StorePayloadTable(const PayloadCheck* checks, uint32_t count, unsigned char* table) {
  for (int i = 0; i < 4; ++i) table[i] = kMagic[i];
  Write32(table + 4, count);
  unsigned char* entry = table + kPayloadTableHeaderSize;
  for (uint32_t i = 0; i < count; ++i, entry += kPayloadTableEntrySize) {
    Write16(entry, checks[i].id);
    Write16(entry + 2, 0);
    Write32(entry + 4, checks[i].length);
    Write32(entry + 8, checks[i].crc);
  }
  Write32(entry, PayloadCrc32(table, static_cast<size_t>(entry - table)));
}

int PayloadTableEntries(const unsigned char* table, size_t size) {
  if (!table || size < PayloadTableSize(0)) return -1;
  for (int i = 0; i < 4; ++i)
    if (table[i] != kMagic[i]) return -1;
  const uint32_t count = Read32(table + 4);
  if (count > kPayloadTableMaxEntries || size != PayloadTableSize(count)) return -1;
  if (Read32(table + size - 4) != PayloadCrc32(table, size - 4)) return -1;
  for (uint32_t i = 0; i < count; ++i)
    for (uint32_t j = i + 1; j < count; ++j)
      if (Read16(EntryAt(table, i)) == Read16(EntryAt(table, j))) return -1;
  return static_cast<int>(count);
}

PayloadCheck PayloadTableEntry(const unsigned char* table, int index) {
  const unsigned char* entry = EntryAt(table, static_cast<uint32_t>(index));
  PayloadCheck check;
  check.id = Read16(entry);
  check.length = Read32(entry + 4);
  check.crc = Read32(entry + 8);
  return check;
}

int FindPayloadCheck(const unsigned char* table, size_t size, uint16_t id, PayloadCheck* check) {
  const int count = PayloadTableEntries(table, size);
  for (int i = 0; i < count; ++i) {
    const PayloadCheck entry = PayloadTableEntry(table, i);
    if (entry.id == id) {
      *check = entry;
      return 1;
    }
  }
  return 0;
}
