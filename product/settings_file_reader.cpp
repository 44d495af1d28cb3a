// The settings file: a 4-byte header ("MV", version) and chunks, each an
// 8-byte header (type, 1, 0, payload length) and its payload. Every read is
// bounds-checked: a damaged file is refused, never read past its end.
#include "product/product_settings.h"

#include "common/memory.h"
#include "common/types.h"

namespace {

// The product reads the area record and the application list; the other
// chunks (screensaver, clip print, colours) belong to other features.
const uint16_t kAreaChunk = 5, kAppChunk = 7;
const size_t kEdgeRecordSize = 44;
const uint16_t kEdgeOnWorkAreaRight = 2, kEdgeOnWorkAreaBottom = 3;

struct Span {
  const unsigned char* bytes;
  size_t size;
};

uint32_t Read16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t Read32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Finds the payload of the first chunk of a type. Returns 0 when the file
// holds none or a chunk header claims more bytes than there are.
int FindChunk(Span file, uint16_t type, Span* chunk) {
  size_t at = 4;
  while (at < file.size) {
    if (file.size - at < 8) return 0;
    const uint32_t length = Read32(file.bytes + at + 4);
    if (length > file.size - at - 8) return 0;
    if (Read16(file.bytes + at) == type) {
      chunk->bytes = file.bytes + at + 8;
      chunk->size = length;
      return 1;
    }
    at += 8 + length;
  }
  return 0;
}

// Length of a NUL-terminated text starting at offset, or -1 when the
// terminator is missing before the end.
long TextLength(Span span, size_t offset) {
  for (size_t i = offset; i < span.size; i++)
    if (span.bytes[i] == 0) return static_cast<long>(i - offset);
  return -1;
}

// A crafted file can hold any number: coordinates are worked out in 64
// bits and saturated to 32, so that nothing wraps and no sum overflows.
int32_t Saturate(int64_t value) {
  if (value < INT32_MIN) return INT32_MIN;
  if (value > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(value);
}

// An edge is stored either in pixels, in hundredths of an icon spacing, or
// as lying on the work area's far edge.
int64_t EdgeCoordinate(const unsigned char* record, int32_t farEdge, int32_t spacing) {
  const uint32_t code = Read16(record + 2);
  if (code == kEdgeOnWorkAreaRight || code == kEdgeOnWorkAreaBottom) return farEdge;
  const uint32_t steps = Read32(record + 32);
  if (steps != 0 && spacing > 0) return static_cast<int64_t>(steps / 100) * spacing;
  return static_cast<int32_t>(Read32(record + 12));
}

struct AreaRecord {
  uint32_t hotKeys[9];
  int32_t snapToIconGrid;
  CoverageLayout layout;
};

int ReadAreaRecord(Span chunk, const PlacementRect& workArea, int32_t iconSpacingX,
                   int32_t iconSpacingY, AreaRecord* record) {
  const long nameLength = TextLength(chunk, 3);
  if (nameLength < 0) return 0;
  const size_t at = 3 + static_cast<size_t>(nameLength) + 1;
  if (chunk.size < at + 68 + 4 * kEdgeRecordSize) return 0;
  const unsigned char* p = chunk.bytes + at;
  for (int i = 0; i < 9; i++) record->hotKeys[i] = Read32(p + 4 * i);
  record->snapToIconGrid = Read32(p + 36) == 7;
  record->layout.splitX = static_cast<int32_t>(Read32(p + 44));
  record->layout.splitY = static_cast<int32_t>(Read32(p + 48));
  const unsigned char* edges = p + 68;
  const int64_t left = EdgeCoordinate(edges, workArea.right, iconSpacingX);
  const int64_t top = EdgeCoordinate(edges + kEdgeRecordSize, workArea.bottom, iconSpacingY);
  const int64_t right = EdgeCoordinate(edges + 2 * kEdgeRecordSize, workArea.right, iconSpacingX);
  const int64_t bottom =
      EdgeCoordinate(edges + 3 * kEdgeRecordSize, workArea.bottom, iconSpacingY);
  record->layout.leftMargin = Saturate(left - workArea.left);
  record->layout.topMargin = Saturate(top - workArea.top);
  record->layout.rightMargin = Saturate(workArea.right - right);
  record->layout.bottomMargin = Saturate(workArea.bottom - bottom);
  return 1;
}

// Walks the application records once to count them and check their bounds.
int CountAppRecords(Span chunk, uint32_t* count) {
  if (chunk.size < 8) return 0;
  size_t at = 8;
  uint32_t n = 0;
  while (at < chunk.size) {
    if (chunk.size - at < 6) return 0;
    const long text1 = TextLength(chunk, at + 6);
    if (text1 < 0) return 0;
    const long text2 = TextLength(chunk, at + 6 + text1 + 1);
    if (text2 < 0 || text2 >= 2048) return 0;
    at += 6 + text1 + 1 + text2 + 1;
    if (chunk.size - at < 2) return 0;
    at += 2;
    n++;
  }
  *count = n;
  return 1;
}

}  // namespace

uint32_t DefaultHotKey(int32_t area) {
  static const uint16_t kKeys[9] = {0x24, 0x25, 0x26, 0x27, 0x28, 0x31, 0x32, 0x33, 0x34};
  if (area < WholeArea || area > LowerRight) return 0;
  return ((kHotKeyCtrl | kHotKeyShift) << 16) | kKeys[area - 1];
}

void DefaultProductSettings(const PlacementRect& workArea, int32_t iconSpacingX,
                            ProductSettings* settings) {
  for (int32_t area = WholeArea; area <= LowerRight; area++)
    settings->hotKeys[area - 1] = DefaultHotKey(area);
  settings->layout = DefaultCoverageLayout(workArea, iconSpacingX);
  settings->snapToIconGrid = 1;
  settings->catchAllArea = WholeArea;
  settings->appCount = 0;
  settings->apps = nullptr;
}

void FreeProductSettings(ProductSettings* settings) {
  MemFree(settings->apps);
  settings->apps = nullptr;
  settings->appCount = 0;
}

int32_t AreaFromPlacementCode(uint32_t code) {
  if ((code & 0xFFF) != 1) return None;
  const int32_t area = static_cast<int32_t>(code >> 12) + 1;
  return area <= LowerRight ? area : None;
}

int ReadSettingsFileImage(const unsigned char* bytes, size_t size, const PlacementRect& workArea,
                          int32_t iconSpacingX, int32_t iconSpacingY, ProductSettings* settings) {
  const Span file = {bytes, size};
  if (size < 4 || bytes[0] != 'M' || bytes[1] != 'V') return 0;
  Span areaChunk, appChunk;
  if (!FindChunk(file, kAreaChunk, &areaChunk) || !FindChunk(file, kAppChunk, &appChunk)) return 0;
  AreaRecord record;
  uint32_t records = 0;
  if (!ReadAreaRecord(areaChunk, workArea, iconSpacingX, iconSpacingY, &record)) return 0;
  if (!CountAppRecords(appChunk, &records)) return 0;

  AppPlacement* apps = nullptr;
  if (records > 0) {
    const size_t listSize = static_cast<size_t>(records) * sizeof(AppPlacement);
    if (listSize / sizeof(AppPlacement) != records) return 0;   // 32-bit size_t
    apps = static_cast<AppPlacement*>(MemAlloc(listSize));
    if (!apps) return 0;
  }
  uint32_t appCount = 0;
  int32_t catchAll = None;
  size_t at = 8;
  while (at < appChunk.size) {
    const unsigned char* p = appChunk.bytes + at;
    const int32_t area = AreaFromPlacementCode(Read16(p + 4));
    const size_t text1 = static_cast<size_t>(TextLength(appChunk, at + 6));
    const size_t text2 = static_cast<size_t>(TextLength(appChunk, at + 6 + text1 + 1));
    const char* path = reinterpret_cast<const char*>(p + 6 + text1 + 1);
    if (text1 == 1 && p[6] == '*') {
      catchAll = area;
    } else if (text2 > 0) {
      AppPlacement* app = &apps[appCount++];
      MemCopy(app->path, path, text2 + 1);
      app->area = area;
      app->customRect = PlacementRect{0, 0, 0, 0};
    }
    at += 6 + text1 + 1 + text2 + 1 + 2;
  }

  FreeProductSettings(settings);
  for (int i = 0; i < 9; i++) settings->hotKeys[i] = record.hotKeys[i];
  settings->layout = record.layout;
  settings->snapToIconGrid = record.snapToIconGrid;
  settings->catchAllArea = catchAll;
  settings->appCount = appCount;
  settings->apps = apps;
  return 1;
}
