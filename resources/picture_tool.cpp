// Build-time tool: turns the text pictures of the setup's icon and cursor
// into .ico and .cur files for the resource compiler.
//   picture-tool icon   setup_icon.txt  setup_icon.ico
//   picture-tool cursor hand_cursor.txt hand.cur
// Text format: '#' lines are comments; "image SIZE" (icon) or
// "cursor SIZE hotspot X Y" starts a picture of SIZE lines of SIZE
// characters. Icons: 0-f index the 16-colour palette, '.' is transparent.
// Cursors: '#' black, 'o' white, '.' transparent.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Picture {
  int size = 0;
  int hotX = 0, hotY = 0;
  std::vector<std::string> rows;
};

const uint32_t kPalette[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

void Put16(std::string& out, unsigned v) {
  out += char(v & 0xFF);
  out += char((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

bool Fail(const std::string& message) {
  std::fprintf(stderr, "picture-tool: %s\n", message.c_str());
  return false;
}

bool ReadPictures(const char* path, bool cursor, std::vector<Picture>& pictures) {
  std::ifstream in(path);
  if (!in) return Fail(std::string("cannot read ") + path);
  std::string line;
  Picture* current = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') {
      if (current && int(current->rows.size()) < current->size && !line.empty() && cursor)
        current->rows.push_back(line);   // '#' begins cursor rows too
      continue;
    }
    if (current && int(current->rows.size()) < current->size) {
      current->rows.push_back(line);
      continue;
    }
    std::istringstream words(line);
    std::string word, hotspot;
    Picture picture;
    words >> word >> picture.size;
    if (cursor) words >> hotspot >> picture.hotX >> picture.hotY;
    if ((cursor ? word != "cursor" || hotspot != "hotspot" : word != "image") || picture.size <= 0 ||
        picture.size > 256 || picture.size % 8)
      return Fail("bad picture header: " + line);
    pictures.push_back(picture);
    current = &pictures.back();
  }
  if (pictures.empty()) return Fail("no picture");
  for (const Picture& p : pictures) {
    if (int(p.rows.size()) != p.size) return Fail("picture cut short");
    for (const std::string& row : p.rows) {
      if (int(row.size()) != p.size) return Fail("row of wrong width: " + row);
      for (char c : row) {
        bool ok = cursor ? (c == '#' || c == 'o' || c == '.')
                         : (c == '.' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
        if (!ok) return Fail(std::string("unknown pixel '") + c + "'");
      }
    }
  }
  return true;
}

int ColourIndex(char c) {
  if (c == '.') return 0;
  return c <= '9' ? c - '0' : c - 'a' + 10;
}

// BITMAPINFOHEADER, palette, colour bits and the transparency mask of one
// image, bottom row first, every row padded to 4 bytes.
std::string ImageBits(const Picture& p, bool cursor) {
  const int bits = cursor ? 1 : 4;
  const int colourRow = ((p.size * bits + 31) / 32) * 4;
  const int maskRow = ((p.size + 31) / 32) * 4;
  std::string out;
  Put32(out, 40);
  Put32(out, p.size);
  Put32(out, p.size * 2);   // colour bits and mask
  Put16(out, 1);
  Put16(out, bits);
  Put32(out, 0);
  Put32(out, (colourRow + maskRow) * p.size);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  if (cursor) {
    Put32(out, 0x000000);
    Put32(out, 0xFFFFFF);
  } else {
    for (uint32_t rgb : kPalette)   // 0x00RRGGBB: stored blue, green, red, 0
      Put32(out, rgb);
  }
  for (int y = p.size - 1; y >= 0; --y) {
    std::string row(colourRow, '\0');
    for (int x = 0; x < p.size; ++x) {
      char c = p.rows[y][x];
      if (cursor) {
        if (c == 'o') row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
      } else {
        int index = ColourIndex(c);
        row[x / 2] = char(row[x / 2] | (x % 2 ? index : index << 4));
      }
    }
    out += row;
  }
  for (int y = p.size - 1; y >= 0; --y) {
    std::string row(maskRow, '\0');
    for (int x = 0; x < p.size; ++x)
      if (p.rows[y][x] == '.') row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
    out += row;
  }
  return out;
}

// The .ico / .cur container: a directory of entries, then the images.
std::string Container(const std::vector<Picture>& pictures, bool cursor) {
  std::vector<std::string> images;
  for (const Picture& p : pictures) images.push_back(ImageBits(p, cursor));
  std::string out;
  Put16(out, 0);
  Put16(out, cursor ? 2 : 1);
  Put16(out, unsigned(pictures.size()));
  uint32_t offset = 6 + 16 * uint32_t(pictures.size());
  for (size_t i = 0; i < pictures.size(); ++i) {
    const Picture& p = pictures[i];
    out += char(p.size == 256 ? 0 : p.size);
    out += char(p.size == 256 ? 0 : p.size);
    out += char(cursor ? 2 : 16);   // colours
    out += char(0);
    if (cursor) {
      Put16(out, p.hotX);
      Put16(out, p.hotY);
    } else {
      Put16(out, 1);   // planes
      Put16(out, 4);   // bits per pixel
    }
    Put32(out, uint32_t(images[i].size()));
    Put32(out, offset);
    offset += uint32_t(images[i].size());
  }
  for (const std::string& image : images) out += image;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::string(argv[1]) != "icon" && std::string(argv[1]) != "cursor")) {
    std::fprintf(stderr, "usage: picture-tool icon|cursor PICTURE.txt OUTPUT\n");
    return 2;
  }
  bool cursor = std::string(argv[1]) == "cursor";
  std::vector<Picture> pictures;
  if (!ReadPictures(argv[2], cursor, pictures)) return 1;
  std::string data = Container(pictures, cursor);
  std::ofstream out(argv[3], std::ios::binary);
  out.write(data.data(), std::streamsize(data.size()));
  if (!out) {
    std::fprintf(stderr, "picture-tool: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
