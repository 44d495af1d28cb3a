#include "settings/settings_file_layout.h"

#include <string.h>

#include "common/memory.h"

namespace {

const char kAreaRecordName[] = "Default";
const size_t kHeaderSize = 4;
const size_t kChunkHeaderSize = 8;
const size_t kScreensaverSize = 16;
const size_t kColourSize = 12;
const size_t kEdgeRecordSize = 44;
// Plus the name's length: zero byte, constant 1, the name's NUL, nine hot
// keys, four numbers, the rectangle and four edges; 248 in all.
const size_t kAreaRecordFixedSize = 1 + 2 + 1 + 9 * 4 + 4 * 4 + 4 * 4 + 4 * kEdgeRecordSize;
static_assert(kAreaRecordFixedSize == 248, "area record");
const size_t kAppListHeadSize = 8;
const size_t kAppRecordFixedSize = 10;     // plus both texts' lengths
const uint16_t kEdgeMarker = 243;

// Writes little-endian numbers at a moving position.
struct Writer {
  uint8_t* at;
  void Bytes(const void* bytes, size_t count) {
    MemCopy(at, bytes, count);
    at += count;
  }
  void Zeros(size_t count) {
    MemFill(at, 0, count);
    at += count;
  }
  void U8(uint8_t value) { *at++ = value; }
  void U16(uint32_t value) {
    U8(static_cast<uint8_t>(value));
    U8(static_cast<uint8_t>(value >> 8));
  }
  void U32(uint32_t value) {
    U16(value & 0xFFFF);
    U16(value >> 16);
  }
  void Text(const char* text) { Bytes(text, strlen(text) + 1); }
  void ChunkHeader(uint16_t type, size_t length) {
    U16(type);
    U8(1);
    U8(0);
    U32(static_cast<uint32_t>(length));
  }
};

uint8_t CornerBit(int32_t area) {
  switch (area) {
    case UpperLeft: return 0x01;
    case UpperRight: return 0x02;
    case LowerLeft: return 0x04;
    case LowerRight: return 0x08;
    default: return 0;
  }
}

void WriteScreensaverChunk(Writer* out, const ScreensaverSettings* screensaver) {
  out->ChunkHeader(3, kScreensaverSize);
  if (screensaver->enabled) {
    out->U8(CornerBit(screensaver->firstCorner));
    out->U8(CornerBit(screensaver->secondCorner));
    out->Zeros(10);
    out->U16(static_cast<uint32_t>(screensaver->size) & 0xFFFF);
    out->U16(static_cast<uint32_t>(screensaver->delay) & 0xFFFF);
  } else {
    out->Zeros(12);
    out->U16(10);
    out->U16(2);
  }
}

// The sides of the coverage rectangle in the order the area record stores
// them; the far sides are the last two.
enum Side { kLeft, kTop, kRight, kBottom };

// One edge of the coverage rectangle: v its coordinate, workEdge the same
// side of the work area, spacing the icon step along that axis.
void WriteEdgeRecord(Writer* out, int side, uint32_t v, uint32_t workEdge, uint32_t spacing,
                     bool snapToIconGrid) {
  bool vertical = side == kTop || side == kBottom;
  bool farSide = side == kRight || side == kBottom;
  uint16_t code = vertical ? 1 : 0;
  uint32_t pixels = v;
  uint32_t iconSteps = 0;
  if (farSide && v == workEdge) {
    code += 2;  // on the work area's edge: no coordinate
    pixels = 0;
  } else if (snapToIconGrid && v != workEdge && spacing != 0 && v % spacing == 0) {
    iconSteps = (v / spacing) * 100;  // in hundredths of an icon step
    pixels = 0;
  }
  out->U16(kEdgeMarker);
  out->U16(code);
  out->Zeros(8);
  out->U32(pixels);
  out->Zeros(16);
  out->U32(iconSteps);
  out->Zeros(8);
}

void WriteAreaChunk(Writer* out, const SettingsFileInputs* in) {
  out->ChunkHeader(5, sizeof kAreaRecordName - 1 + kAreaRecordFixedSize);
  const CoverageAreaSettings& c = in->coverage;
  const SettingsRect& work = in->workArea;
  const uint32_t workEdges[] = {static_cast<uint32_t>(work.left), static_cast<uint32_t>(work.top),
                                static_cast<uint32_t>(work.right),
                                static_cast<uint32_t>(work.bottom)};
  // Unsigned arithmetic: the stored numbers wrap like the 32-bit fields.
  const uint32_t edges[] = {workEdges[kLeft] + static_cast<uint32_t>(c.leftMargin),
                            workEdges[kTop] + static_cast<uint32_t>(c.topMargin),
                            workEdges[kRight] - static_cast<uint32_t>(c.rightMargin),
                            workEdges[kBottom] - static_cast<uint32_t>(c.bottomMargin)};
  bool snap = c.snapToIconGrid != 0;

  out->U8(0);
  out->U16(1);
  out->Text(kAreaRecordName);
  for (uint32_t hotKey : in->hotKeys) out->U32(hotKey);
  out->U32(snap ? 7 : 6);
  out->U32(1);
  out->U32(static_cast<uint32_t>(c.splitX));
  out->U32(static_cast<uint32_t>(c.splitY));
  for (uint32_t edge : edges) out->U32(edge);
  for (int side = kLeft; side <= kBottom; ++side) {
    uint32_t spacing = side == kLeft || side == kRight ? in->iconSpacingX : in->iconSpacingY;
    WriteEdgeRecord(out, side, edges[side], workEdges[side], spacing, snap);
  }
}

void WriteAppRecord(Writer* out, uint32_t identifier, uint32_t index, int32_t area,
                    const char* text1, const char* text2) {
  out->U16(identifier & 0xFFFF);
  out->U16(index & 0xFFFF);
  out->U16(PlacementCode(area));
  out->Text(text1);
  out->Text(text2);
  out->U16(0);
}

// Chunk 7: the catch-all entry first, then the applications from the last
// one enumerated back to the first.
void WriteAppListChunk(Writer* out, const SettingsFileInputs* in, size_t length) {
  out->ChunkHeader(7, length);
  out->Zeros(kAppListHeadSize);
  int32_t catchAllArea = static_cast<int16_t>(in->alwaysMove >> 16);
  WriteAppRecord(out, 1, in->appCount, catchAllArea, "*", "");
  for (uint32_t k = in->appCount; k-- > 0;)
    WriteAppRecord(out, k + 2, k, in->apps[k].area, "", in->apps[k].path);
}

}  // namespace

uint16_t PlacementCode(int32_t area) {
  if (area < WholeArea || area > LowerRight) return 0;
  return static_cast<uint16_t>((area - 1) * 4096 + 1);
}

uint32_t ColourCode(uint32_t colors) {
  static const uint32_t kCodes[] = {101, 111, 109, 106, 103, 105, 102, 104, 108};
  uint32_t selection = colors & 0xFFFF;
  return selection <= 8 ? kCodes[selection] : 0;
}

uint8_t* AssembleSettingsFile(const SettingsFileInputs* in, size_t* size) {
  // Chunk 7's length: eight bytes, then each record's texts plus ten. The
  // file may not grow past what the product reads.
  size_t areaLength = sizeof kAreaRecordName - 1 + kAreaRecordFixedSize;
  size_t beforeAppList = kHeaderSize + 5 * kChunkHeaderSize + kScreensaverSize +
                         sizeof(ClipPrintSettings) + kColourSize + areaLength;
  size_t total = beforeAppList + kAppListHeadSize + 1 + kAppRecordFixedSize;  // catch-all: "*" and ""
  for (uint32_t k = 0; k < in->appCount; ++k) {
    total += strlen(in->apps[k].path) + kAppRecordFixedSize;
    if (total > kLargestSettingsFile) return nullptr;
  }
  size_t appListLength = total - beforeAppList;

  uint8_t* bytes = static_cast<uint8_t*>(MemAlloc(total));
  if (!bytes) return nullptr;
  Writer out = {bytes};
  out.Bytes("MV", 2);
  out.U16(kSettingsFileVersion);
  WriteScreensaverChunk(&out, &in->screensaver);
  out.ChunkHeader(6, sizeof(ClipPrintSettings));
  out.Bytes(&in->clipPrint, sizeof(ClipPrintSettings));
  out.ChunkHeader(1, kColourSize);
  out.U32(0);
  out.U32(ColourCode(in->colors));
  out.U32(0);
  WriteAreaChunk(&out, in);
  WriteAppListChunk(&out, in, appListLength);
  *size = static_cast<size_t>(out.at - bytes);
  return bytes;
}
