// The payload table: what each payload must decode to, recorded by
// payload-tool at build time and stored as a resource of its own beside the
// streams. Portable: no Windows headers. Little-endian, packed:
//
//   offset 0   "MVPT"
//   offset 4   uint32 number of entries n
//   offset 8   n entries of 12 bytes: uint16 id, uint16 0, uint32 decoded
//              length, uint32 CRC-32 of the decoded bytes
//   then       uint32 CRC-32 of every byte before it
//
// A table of any other size, magic or trailing CRC is no table at all.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The table is raw data: resource type RCDATA, identifier 1.
const uint16_t kPayloadTableResourceType = 10;
const uint16_t kPayloadTableId = 1;
const size_t kPayloadTableHeaderSize = 8;
const size_t kPayloadTableEntrySize = 12;
const uint32_t kPayloadTableMaxEntries = 256;

struct PayloadCheck {
  uint16_t id;
  uint32_t length;
  uint32_t crc;
};

// The size of a table of `count` entries.
size_t PayloadTableSize(uint32_t count);

// Writes a table of `count` entries into `table` (PayloadTableSize bytes).
void StorePayloadTable(const PayloadCheck* checks, uint32_t count, unsigned char* table);

// The number of entries of a well-formed table, or -1 when the bytes are
// not one (wrong size, magic or CRC, too many entries, an id listed twice).
int PayloadTableEntries(const unsigned char* table, size_t size);

// Entry `index` of a well-formed table.
PayloadCheck PayloadTableEntry(const unsigned char* table, int index);

// 1 and *check filled when a well-formed table lists `id`; 0 otherwise.
int FindPayloadCheck(const unsigned char* table, size_t size, uint16_t id, PayloadCheck* check);
