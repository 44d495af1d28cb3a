// A randomised cross-check of the migration and the settings file: random
// registry states of both product keys go through MigrateSettings and
// WriteSettingsFile, and the resulting file and registry are compared with
// what a separate model, written here from the rules alone, predicts. The
// model shares no code with the settings library: it works on a copy of the
// registry held in maps and builds the file bytes itself.
#include <ctype.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "settings/settings_file.h"
#include "settings/settings_migration.h"
#include "settings/tests/settings_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return text;
}

// Key and value names compare without regard to case; the registry also
// enumerates values in this order.
struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const { return Upper(a) < Upper(b); }
};

struct Value {
  DWORD type;
  Bytes data;
  bool operator==(const Value& other) const { return type == other.type && data == other.data; }
};
using Values = std::map<std::string, Value, NoCase>;
using Tree = std::map<std::string, Values, NoCase>;  // key path under HKCU -> its values

const char* const kRoots[] = {"Software\\Quillfern", "Software\\Vorn"};
const char kCurrent[] = "Software\\Quillfern\\Morvantile";
const char kOlder[] = "Software\\Vorn\\Brastock";

// ---- the real registry ----

void DumpKey(HKEY root, const std::string& path, Tree* tree) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  Values& values = (*tree)[path];
  std::vector<char> name(32768);
  Bytes data(65536);
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataLength = static_cast<DWORD>(data.size());
    DWORD type = 0;
    if (RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(),
                      &dataLength) != ERROR_SUCCESS)
      break;
    values[std::string(name.data(), nameLength)] =
        Value{type, Bytes(data.begin(), data.begin() + dataLength)};
  }
  std::vector<std::string> subKeys;
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    if (RegEnumKeyExA(key, index, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    subKeys.push_back(std::string(name.data(), nameLength));
  }
  RegCloseKey(key);
  for (const std::string& subKey : subKeys) DumpKey(root, path + "\\" + subKey, tree);
}

Tree DumpSettings() {
  Tree tree;
  for (const char* root : kRoots) DumpKey(HKEY_CURRENT_USER, root, &tree);
  return tree;
}

Values DumpUninstall() {
  Tree tree;
  DumpKey(HKEY_LOCAL_MACHINE, kUninstallKeyPath, &tree);
  return tree.empty() ? Values() : tree.begin()->second;
}

std::vector<std::string> EnumeratedNames(const std::string& path) {
  std::vector<std::string> names;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return names;
  char name[4096];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.push_back(name);
  }
  RegCloseKey(key);
  return names;
}

void Put(const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void CreateKey(const std::string& path) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

std::string Hex(const Bytes& data) {
  std::string text;
  char pair[4];
  for (uint8_t byte : data) {
    snprintf(pair, sizeof pair, "%02x", byte);
    text += pair;
  }
  return text;
}

std::vector<std::string> Lines(const Tree& tree, const Values& uninstall) {
  std::vector<std::string> lines;
  for (const auto& key : tree) {
    lines.push_back("[" + key.first + "]");
    for (const auto& value : key.second)
      lines.push_back(key.first + " | " + value.first + " | " + std::to_string(value.second.type) +
                      " | " + Hex(value.second.data));
  }
  for (const auto& value : uninstall)
    lines.push_back("HKLM | " + value.first + " | " + std::to_string(value.second.type) + " | " +
                    Hex(value.second.data));
  std::sort(lines.begin(), lines.end());
  return lines;
}

// ---- the model ----

Bytes TextBytes(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

Bytes DwordBytes(uint32_t value) {
  return Bytes{static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
               static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

const char* const kAreaNames[] = {"None",       "Whole Area",  "Left Side",  "Top Half",
                                  "Right Side", "Bottom Half", "Upper-Left", "Upper-Right",
                                  "Lower-Left", "Lower-Right", "Custom"};

struct Clip {
  Bytes face;  // 32 bytes
  int32_t fontSize, bit2, bit0;
  uint32_t hotKey;
  int32_t marginLeft, marginTop, marginRight, marginBottom;
  uint8_t count;
  int32_t bit1;
};

struct ModelApp {
  std::string path;
  int32_t area;
  int32_t rect[4];
  std::string text;  // a text's characters as stored, up to its NUL
  bool isText;
};

uint16_t Decimal(const std::string& text) {
  uint16_t value = 0;
  for (char c : text) value = static_cast<uint16_t>(value * 10 + (static_cast<signed char>(c) - 48));
  return value;
}

void Rect(std::string text, int32_t rect[4]) {
  if (text.size() > 63) text.resize(63);
  size_t first = text.find(',');
  size_t second = first == std::string::npos ? first : text.find(',', first + 1);
  size_t third = second == std::string::npos ? second : text.find(',', second + 1);
  if (third == std::string::npos) {
    rect[0] = rect[1] = rect[2] = rect[3] = 0;
    return;
  }
  rect[0] = Decimal(text.substr(0, first));
  rect[1] = Decimal(text.substr(first + 1, second - first - 1));
  rect[2] = Decimal(text.substr(second + 1, third - second - 1));
  rect[3] = Decimal(text.substr(third + 1));
}

std::string ShortOf(const std::string& path) {
  char shortPath[2048];
  DWORD length = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
  return length && length < sizeof shortPath ? std::string(shortPath) : std::string();
}

struct Model {
  Tree tree;
  Values uninstall;
  std::string keyPath = kCurrent;
  RECT work;
  int iconX, iconY, screenX, screenY;

  Model() {
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
      work = RECT{0, 0, GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN)};
    iconX = GetSystemMetrics(SM_CXICONSPACING);
    iconY = GetSystemMetrics(SM_CYICONSPACING);
    screenX = GetSystemMetrics(SM_CXSCREEN);
    screenY = GetSystemMetrics(SM_CYSCREEN);
  }

  std::string Sub(const char* name) const { return keyPath + "\\" + name; }
  bool Exists(const std::string& path) const { return tree.count(path) != 0; }

  void Create(const std::string& path) {
    // Every key from the company key down; "Software" itself is not modelled.
    size_t at = path.find('\\');
    for (at = path.find('\\', at + 1);; at = path.find('\\', at + 1)) {
      std::string prefix = path.substr(0, at);
      if (!tree.count(prefix)) tree[prefix];
      if (at == std::string::npos) break;
    }
  }
  void Set(const std::string& path, const std::string& name, DWORD type, const Bytes& data) {
    Create(path);
    Values& values = tree.find(path)->second;
    auto found = values.find(name);
    if (found != values.end())
      found->second = Value{type, data};
    else
      values[name] = Value{type, data};
  }
  void SetDword(const std::string& path, const std::string& name, uint32_t value) {
    Set(path, name, REG_DWORD, DwordBytes(value));
  }
  const Value* Find(const std::string& path, const std::string& name) const {
    auto key = tree.find(path);
    if (key == tree.end()) return nullptr;
    auto value = key->second.find(name);
    return value == key->second.end() ? nullptr : &value->second;
  }
  // Four-byte query: any type, shorter data zero-extended, longer fails.
  bool Number(const std::string& path, const std::string& name, uint32_t* number) const {
    const Value* value = Find(path, name);
    if (!value || value->data.size() > 4) return false;
    *number = 0;
    for (size_t i = 0; i < value->data.size(); ++i) *number |= uint32_t(value->data[i]) << (8 * i);
    return true;
  }
  void DeleteValue(const std::string& path, const std::string& name) {
    auto key = tree.find(path);
    if (key != tree.end()) key->second.erase(name);
  }
  bool HasSubKeys(const std::string& path) const {
    std::string prefix = Upper(path) + "\\";
    for (const auto& key : tree)
      if (Upper(key.first).compare(0, prefix.size(), prefix) == 0) return true;
    return false;
  }
  void DeleteTree(const std::string& path) {
    std::string prefix = Upper(path) + "\\";
    for (auto key = tree.begin(); key != tree.end();) {
      std::string name = Upper(key->first);
      if (name == Upper(path) || name.compare(0, prefix.size(), prefix) == 0)
        key = tree.erase(key);
      else
        ++key;
    }
  }

  // -- the settings groups --
  uint32_t Scalar(const char* name, uint32_t fallback) {
    uint32_t value;
    if (Number(keyPath, name, &value)) return value;
    SetDword(keyPath, name, fallback);
    return fallback;
  }
  uint32_t UpgradeVer() const {
    uint32_t value;
    return Number(keyPath, "UpgradeVer", &value) ? value : 0;
  }
  uint32_t HotKey(int area) {
    static const uint32_t defaults[] = {0x60024, 0x60025, 0x60026, 0x60027, 0x60028,
                                        0x60031, 0x60032, 0x60033, 0x60034};
    uint32_t value;
    if (Number(Sub("HotKeys"), kAreaNames[area], &value)) return value;
    SetDword(Sub("HotKeys"), kAreaNames[area], defaults[area - 1]);
    return defaults[area - 1];
  }

  static uint32_t Halves(int32_t low, int32_t high) {
    return (uint32_t(high) << 16) | (uint32_t(low) & 0xFFFF);
  }
  void WriteCoverage(const int32_t c[8]) {
    SetDword(Sub("CoverageArea"), "LeftTop", Halves(c[0], c[1]));
    SetDword(Sub("CoverageArea"), "RightBottom", Halves(c[2], c[3]));
    SetDword(Sub("CoverageArea"), "VertHorz", Halves(c[4], c[5]));
    SetDword(Sub("CoverageArea"), "Snaps", Halves(c[6], c[7]));
  }
  void Coverage(int32_t c[8]) {
    c[0] = iconX;
    c[1] = c[2] = c[3] = 0;
    c[4] = (work.right - work.left) / 2 + c[0];
    c[5] = (work.bottom - work.top) / 2 + c[1];
    c[6] = 1;
    c[7] = 0;
    const char* names[] = {"LeftTop", "RightBottom", "VertHorz", "Snaps"};
    bool complete = true;
    for (int i = 0; i < 4; ++i) {
      uint32_t value;
      if (Number(Sub("CoverageArea"), names[i], &value)) {
        c[2 * i] = int32_t(value & 0xFFFF);
        c[2 * i + 1] = int32_t(value >> 16);
      } else {
        complete = false;
      }
    }
    if (!complete) WriteCoverage(c);
  }

  static Clip DefaultClip() {
    Clip clip = {};
    clip.face = Bytes(32, 0);
    memcpy(clip.face.data(), "Times New Roman", 16);
    clip.fontSize = 10;
    clip.hotKey = 0x60050;
    clip.count = 1;
    return clip;
  }
  bool Face(const std::string& path, Clip* clip) const {
    const Value* value = Find(path, "FaceName");
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ) ||
        value->data.size() > 32)
      return false;
    Bytes text = value->data;
    auto nul = std::find(text.begin(), text.end(), 0);
    if (nul == text.end() && text.size() == 32) return false;
    text.erase(nul, text.end());
    std::copy(text.begin(), text.end(), clip->face.begin());
    clip->face[text.size()] = 0;
    return true;
  }
  void WriteClip(Clip* clip) {
    const std::string path = Sub("ClipPrint");
    SetDword(path, "HotKey", clip->hotKey);
    clip->marginLeft = std::min(clip->marginLeft, 15);
    clip->marginTop = std::min(clip->marginTop, 15);
    clip->marginRight = std::min(clip->marginRight, 15);
    clip->marginBottom = std::min(clip->marginBottom, 15);
    clip->count = std::min<uint8_t>(clip->count, 15);
    clip->fontSize = std::min(clip->fontSize, 255);
    uint32_t packed = (clip->bit0 ? 1u : 0u) | (clip->bit1 ? 2u : 0u) | (clip->bit2 ? 4u : 0u) |
                      uint32_t(clip->count) << 4 | uint32_t(clip->fontSize) << 8 |
                      uint32_t(clip->marginBottom) << 16 | uint32_t(clip->marginRight) << 20 |
                      uint32_t(clip->marginTop) << 24 | uint32_t(clip->marginLeft) << 28;
    SetDword(path, "SizeFormat", packed);
    std::string name(reinterpret_cast<const char*>(clip->face.data()));
    Set(path, "FaceName", REG_SZ, TextBytes(name));
  }
  Clip ReadClip() {
    Clip clip = DefaultClip();
    const std::string path = Sub("ClipPrint");
    bool complete = Number(path, "HotKey", &clip.hotKey);
    uint32_t packed;
    if (Number(path, "SizeFormat", &packed)) {
      clip.bit0 = packed & 1;
      clip.bit1 = (packed >> 1) & 1;
      clip.bit2 = (packed >> 2) & 1;
      clip.count = (packed >> 4) & 15 ? (packed >> 4) & 15 : 1;
      clip.fontSize = (packed >> 8) & 255;
      clip.marginBottom = (packed >> 16) & 15;
      clip.marginRight = (packed >> 20) & 15;
      clip.marginTop = (packed >> 24) & 15;
      clip.marginLeft = packed >> 28;
    } else {
      complete = false;
    }
    if (!Face(path, &clip)) complete = false;
    if (!complete) WriteClip(&clip);
    return clip;
  }

  void Screensaver(int32_t s[5]) {  // enabled, first, second, size, delay
    s[0] = 0, s[1] = 6, s[2] = 9, s[3] = 4, s[4] = 2;
    const std::string path = Sub("Screensaver");
    uint32_t value;
    bool complete = true;
    if (Number(path, "EnableSize", &value))
      s[0] = value & 0xFFFF, s[3] = value >> 16;
    else
      complete = false;
    if (Number(path, "Position", &value))
      s[1] = value & 0xFFFF, s[2] = value >> 16;
    else
      complete = false;
    if (Number(path, "Delay", &value))
      s[4] = int32_t(value);
    else
      complete = false;
    if (complete) return;
    SetDword(path, "EnableSize", Halves(s[0], s[3]));
    SetDword(path, "Position", Halves(s[1], s[2]));
    SetDword(path, "Delay", uint32_t(s[4]));
  }

  // One "AutoApps" value as a walk reads it; false when it cannot.
  static bool ReadApp(const std::string& name, const Value& value, ModelApp* app) {
    const Bytes& data = value.data;
    if (data.size() > 64) return false;
    *app = ModelApp{name, 0, {0, 0, 0, 0}, "", value.type == REG_SZ};
    if (value.type == REG_SZ) {
      auto nul = std::find(data.begin(), data.end(), 0);
      if (nul == data.end() && data.size() == 64) return false;
      app->area = 10;
      app->text.assign(data.begin(), nul);
      Rect(app->text, app->rect);
    } else if (value.type == REG_DWORD) {
      uint32_t number = 0;
      for (size_t i = 0; i < data.size() && i < 4; ++i) number |= uint32_t(data[i]) << (8 * i);
      app->area = int32_t(number);
    } else {
      return false;
    }
    return true;
  }
  bool Unreadable(const std::string& path, const std::string& name) const {
    const Value* value = Find(path, name);
    ModelApp app;
    return value && !ReadApp(name, *value, &app);
  }

  // The readable "AutoApps" entries in enumeration order; the others are
  // skipped.
  std::vector<ModelApp> Apps() const {
    std::vector<ModelApp> apps;
    auto key = tree.find(Sub("AutoApps"));
    if (key == tree.end()) return apps;
    for (const auto& value : key->second) {
      ModelApp app;
      if (ReadApp(value.first, value.second, &app)) apps.push_back(app);
    }
    return apps;
  }

  // -- the migration --
  void RegisterUninstall(std::string folder) {
    if (!folder.empty() && folder[0] == '"') folder.erase(0, 1);
    Set(keyPath, "LastPath", REG_SZ, TextBytes(folder));
    uninstall["UninstallString"] =
        Value{REG_SZ, TextBytes("\"" + folder + "\\Morvantile.exe\" /uninstall")};
    uninstall["DisplayName"] = Value{REG_SZ, TextBytes("Morvantile")};
  }

  void PackedCoverage() {
    uint32_t packed;
    if (!Exists(keyPath) || !Number(keyPath, "CoverageArea", &packed)) return;
    int b0 = packed & 255, b1 = (packed >> 8) & 255, b2 = (packed >> 16) & 255, b3 = packed >> 24;
    DeleteValue(keyPath, "CoverageArea");
    int columns = screenX / iconX + (screenX % iconX ? 1 : 0);
    int rows = screenY / iconY + (screenY % iconY ? 1 : 0);
    int32_t c[8] = {iconX * b3, iconY * b2, 0, 0, 0, 0, 1, 0};
    c[2] = std::max(screenX - (columns - b1) * iconX, 0);
    c[3] = std::max(screenY - (rows - b0) * iconY, 0);
    c[4] = (screenX - c[0] - c[2]) / 2 + c[0];
    c[5] = (screenY - c[1] - c[3]) / 2 + c[1];
    WriteCoverage(c);
  }

  void RekeyAutoApps() {
    std::vector<ModelApp> list;
    for (ModelApp app : Apps()) {
      app.path = ShortOf(app.path);
      if (app.path.empty()) continue;
      bool listed = false;
      for (const ModelApp& node : list) listed = listed || Upper(node.path) == Upper(app.path);
      if (listed) continue;
      if (app.area != 10) app.rect[0] = app.rect[1] = app.rect[2] = app.rect[3] = 0;
      list.push_back(app);
    }
    // The values read go, unless an unreadable value holds their short
    // name; a key with a sub-key keeps all its values.
    const std::string apps = Sub("AutoApps");
    if (Exists(apps) && !HasSubKeys(apps)) {
      Values& values = tree[apps];
      for (auto value = values.begin(); value != values.end();) {
        ModelApp app;
        std::string name = ShortOf(value->first);
        if (ReadApp(value->first, value->second, &app) && (name.empty() || !Unreadable(apps, name)))
          value = values.erase(value);
        else
          ++value;
      }
      if (values.empty()) tree.erase(apps);
    }
    for (const ModelApp& node : list) {
      std::string name = ShortOf(node.path);
      if (name.empty() || Unreadable(apps, name)) continue;
      Create(apps);
      if (node.area == -1) {
        DeleteValue(apps, name);
      } else if (node.area == 10) {
        // A text goes back as read; Custom stored as a number has none.
        Set(apps, name, REG_SZ, TextBytes(node.isText ? node.text : "0,0,0,0"));
      } else {
        SetDword(apps, name, uint32_t(node.area));
      }
    }
  }

  void OldClipPrint() {
    Clip clip = DefaultClip();
    const std::string path = std::string(kOlder) + "\\ClipPrint";
    if (Exists(path)) {
      Number(path, "HotKey", &clip.hotKey);
      uint32_t old;
      if (Number(path, "SizeFormat", &old)) {
        clip.fontSize = old & 0xFFFF;
        clip.bit0 = (old >> 16) & 1;
        clip.bit1 = (old >> 17) & 1;
        clip.marginLeft = clip.marginTop = clip.marginRight = clip.marginBottom = (old >> 24) & 15;
        clip.count = (old >> 28) ? uint8_t(old >> 28) : 1;
      }
      Face(path, &clip);
    }
    WriteClip(&clip);
  }

  int Migrate(const std::string& folder) {
    uint32_t version = UpgradeVer();
    if (version >= 206) return 1;
    const std::string saved = keyPath;
    keyPath = kOlder;
    if (version == 0) version = UpgradeVer();
    if (version == 0) {
      keyPath = saved;
      return 0;
    }
    RegisterUninstall(folder);
    if (version < 160) PackedCoverage();
    if (version < 181) RekeyAutoApps();
    if (version < 188) OldClipPrint();
    if (version < 192) {
      Clip clip = ReadClip();
      clip.bit2 = clip.bit0;
      WriteClip(&clip);
      if (Exists(keyPath)) DeleteValue(keyPath, "AutoPosDisplay");
      Scalar("AutoPos", 26);
    }
    if (version < 200) {
      if (version < 192) SetDword(keyPath, "UpgradeVer", 192);
      Tree copied;
      std::string prefix = Upper(keyPath) + "\\";
      for (const auto& key : tree)
        if (Upper(key.first) == Upper(keyPath) || Upper(key.first).compare(0, prefix.size(), prefix) == 0)
          copied[saved + key.first.substr(keyPath.size())] = key.second;
      for (const auto& key : copied) {
        Create(key.first);
        for (const auto& value : key.second)
          Set(key.first, value.first, value.second.type, value.second.data);
      }
      DeleteTree(keyPath);
      const std::string parent = keyPath.substr(0, keyPath.rfind('\\'));
      if (Exists(parent) && !HasSubKeys(parent)) tree.erase(parent);
    }
    keyPath = saved;
    SetDword(keyPath, "UpgradeVer", 206);
    return 1;
  }

  // -- the settings file --
  static void U16(Bytes* out, uint32_t value) {
    out->push_back(uint8_t(value));
    out->push_back(uint8_t(value >> 8));
  }
  static void U32(Bytes* out, uint32_t value) {
    U16(out, value & 0xFFFF);
    U16(out, value >> 16);
  }
  static void Chunk(Bytes* out, int type, const Bytes& payload) {
    U16(out, type);
    out->push_back(1);
    out->push_back(0);
    U32(out, uint32_t(payload.size()));
    out->insert(out->end(), payload.begin(), payload.end());
  }
  static void Edge(Bytes* out, bool farSide, bool vertical, uint32_t v, uint32_t e, uint32_t s,
                   bool snap) {
    uint32_t code = vertical ? 1 : 0, pixels = 0, steps = 0;
    if (farSide && v == e)
      code += 2;
    else if (!snap || v == e || s == 0 || v % s != 0)
      pixels = v;
    else
      steps = v / s * 100;
    U16(out, 243);
    U16(out, code);
    out->insert(out->end(), 8, 0);
    U32(out, pixels);
    out->insert(out->end(), 16, 0);
    U32(out, steps);
    out->insert(out->end(), 8, 0);
  }
  static uint32_t Placement(int32_t area) { return area >= 1 && area <= 9 ? (area - 1) * 4096 + 1 : 0; }
  static uint8_t Corner(int32_t area) {
    return area == 6 ? 1 : area == 7 ? 2 : area == 8 ? 4 : area == 9 ? 8 : 0;
  }

  Bytes File() {
    int32_t s[5];
    Screensaver(s);
    Bytes screensaver(16, 0);
    if (s[0]) {
      screensaver[0] = Corner(s[1]);
      screensaver[1] = Corner(s[2]);
      screensaver[12] = uint8_t(s[3]), screensaver[13] = uint8_t(s[3] >> 8);
      screensaver[14] = uint8_t(s[4]), screensaver[15] = uint8_t(s[4] >> 8);
    } else {
      screensaver[12] = 10;
      screensaver[14] = 2;
    }

    Clip clip = ReadClip();
    Bytes clipBytes = clip.face;
    U32(&clipBytes, uint32_t(clip.fontSize));
    U32(&clipBytes, uint32_t(clip.bit2));
    U32(&clipBytes, uint32_t(clip.bit0));
    U32(&clipBytes, clip.hotKey);
    U32(&clipBytes, uint32_t(clip.marginLeft));
    U32(&clipBytes, uint32_t(clip.marginTop));
    U32(&clipBytes, uint32_t(clip.marginRight));
    U32(&clipBytes, uint32_t(clip.marginBottom));
    U32(&clipBytes, clip.count);
    U32(&clipBytes, uint32_t(clip.bit1));

    int32_t c[8];
    Coverage(c);
    bool snap = c[6] != 0;
    uint32_t left = uint32_t(work.left) + uint32_t(c[0]), top = uint32_t(work.top) + uint32_t(c[1]);
    uint32_t right = uint32_t(work.right) - uint32_t(c[2]);
    uint32_t bottom = uint32_t(work.bottom) - uint32_t(c[3]);
    Bytes area = {0};
    U16(&area, 1);
    for (char ch : std::string("Default")) area.push_back(uint8_t(ch));
    area.push_back(0);
    for (int a = 1; a <= 9; ++a) U32(&area, HotKey(a));
    U32(&area, snap ? 7 : 6);
    U32(&area, 1);
    U32(&area, uint32_t(c[4]));
    U32(&area, uint32_t(c[5]));
    for (uint32_t edge : {left, top, right, bottom}) U32(&area, edge);
    Edge(&area, false, false, left, uint32_t(work.left), uint32_t(iconX), snap);
    Edge(&area, false, true, top, uint32_t(work.top), uint32_t(iconY), snap);
    Edge(&area, true, false, right, uint32_t(work.right), uint32_t(iconX), snap);
    Edge(&area, true, true, bottom, uint32_t(work.bottom), uint32_t(iconY), snap);

    std::vector<ModelApp> apps = Apps();
    uint32_t alwaysMove = Scalar("AlwaysMove", 0x10001);
    uint32_t colors = Scalar("Colors", 0) & 0xFFFF;
    static const uint32_t colourCodes[] = {101, 111, 109, 106, 103, 105, 102, 104, 108};
    Bytes colour(12, 0);
    colour[4] = colors <= 8 ? uint8_t(colourCodes[colors]) : 0;

    Bytes list(8, 0);
    U16(&list, 1);
    U16(&list, uint32_t(apps.size()));
    U16(&list, Placement(int32_t(alwaysMove >> 16)));
    list.push_back('*');
    list.push_back(0);
    list.push_back(0);
    U16(&list, 0);
    for (size_t k = apps.size(); k-- > 0;) {
      U16(&list, uint32_t(k + 2));
      U16(&list, uint32_t(k));
      U16(&list, Placement(apps[k].area));
      list.push_back(0);
      for (char ch : apps[k].path) list.push_back(uint8_t(ch));
      list.push_back(0);
      U16(&list, 0);
    }

    Bytes file = {'M', 'V', 0x00, 0x03};
    Chunk(&file, 3, screensaver);
    Chunk(&file, 6, clipBytes);
    Chunk(&file, 1, colour);
    Chunk(&file, 5, area);
    Chunk(&file, 7, list);
    return file;
  }
};

// ---- random states ----

struct Generator {
  std::mt19937 random;
  std::vector<std::string> files;  // long paths of existing files
  std::string folder;
  // Texts stored without their terminator only in the current key: a copy
  // through the ANSI registry calls does not keep such data byte for byte.
  bool unterminated = false;

  explicit Generator(uint32_t seed) : random(seed) {}
  uint32_t Below(uint32_t n) { return random() % n; }
  bool Chance(uint32_t percent) { return Below(100) < percent; }

  uint32_t Number() {
    static const uint32_t interesting[] = {0,      1,       2,          3,          5,
                                           6,      7,       9,          10,         11,
                                           15,     16,      26,         75,         150,
                                           255,    256,     300,        0xFFFF,     0x10000,
                                           0x10001, 0x60032, 0x4B0096,  0xFFFFFFFF, 0xFFFFFFFB,
                                           0x80000000};
    switch (Below(4)) {
      case 0: return random();
      case 1: return (Below(12) << 16) | Below(12);
      case 2: return ((Below(4) * 75) << 16) | (Below(4) * 75);
      default: return interesting[Below(sizeof interesting / sizeof *interesting)];
    }
  }

  // A value meant as a number, now and then of another type or size.
  void PutNumber(const std::string& path, const char* name, uint32_t number) {
    uint8_t bytes[8];
    memcpy(bytes, &number, 4);
    memcpy(bytes + 4, &number, 4);
    switch (Below(16)) {
      case 0: Put(path, name, REG_BINARY, bytes, 4); break;
      case 1: Put(path, name, REG_BINARY, bytes, 1 + Below(3)); break;
      case 2: Put(path, name, REG_BINARY, bytes, 5 + Below(3)); break;
      case 3: Put(path, name, REG_QWORD, bytes, 8); break;
      case 4: {
        const char* texts[] = {"ab", "abc", "abcdef", ""};
        const char* text = texts[Below(4)];
        Put(path, name, REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
        break;
      }
      default: Put(path, name, REG_DWORD, bytes, 4);
    }
  }
  void Maybe(const std::string& path, const char* name, uint32_t number, uint32_t percent = 60) {
    if (Chance(percent)) PutNumber(path, name, number);
  }

  void PutFaceName(const std::string& path) {
    std::string name31(31, 'F'), name32(32, 'G'), name40(40, 'H');
    switch (Below(10)) {
      case 0: Put(path, "FaceName", REG_SZ, "Arial", 6); break;
      case 1: Put(path, "FaceName", REG_SZ, "", 1); break;
      case 2: Put(path, "FaceName", REG_SZ, name31.c_str(), 32); break;
      case 3: Put(path, "FaceName", REG_SZ, name32.c_str(), 33); break;
      case 4: Put(path, "FaceName", REG_SZ, name40.c_str(), 41); break;
      case 5:
        if (unterminated) Put(path, "FaceName", REG_SZ, "AbX", 2);
        break;
      case 6:
        if (unterminated) Put(path, "FaceName", REG_SZ, (name32 + "X").c_str(), 32);
        break;
      case 7: Put(path, "FaceName", REG_BINARY, "Arial", 6); break;
      case 8: Put(path, "FaceName", REG_EXPAND_SZ, "Arial", 6); break;
      default: Put(path, "FaceName", REG_SZ, "Courier New", 12);
    }
  }

  std::string AppName() {
    uint32_t pick = Below(20);
    if (pick == 0) return folder + "\\Gone Away Application.exe";
    if (pick == 1) return "C:\\Nowhere\\App.exe";
    const std::string& file = files[Below(static_cast<uint32_t>(files.size()))];
    std::string name = Chance(50) ? file : ShortOf(file);
    if (Chance(12)) return Upper(name);
    if (Chance(12))
      for (char& ch : name) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    return name;
  }

  void PutApp(const std::string& path) {
    std::string name = AppName();
    uint32_t kind = Below(40);
    if (kind < 20) {
      static const int32_t areas[] = {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0x10005};
      int32_t area = areas[Below(sizeof areas / sizeof *areas)];
      Put(path, name.c_str(), REG_DWORD, &area, 4);
    } else if (kind < 33) {
      const char* texts[] = {"10,20,300,400", "1,2,3",   "1,2,3,4,5", "-5,0,65535,70000",
                             "",              "a,b,c,d", "0,0,0,0",   " 7, 8 ,9,10",
                             "-5,-10,300,400"};
      const char* text = texts[Below(sizeof texts / sizeof *texts)];
      Put(path, name.c_str(), REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
    } else if (kind < 35) {
      int16_t area = 3;
      Put(path, name.c_str(), REG_DWORD, &area, 2);
    } else if (kind < 36) {
      std::string text = "1,2,3," + std::string(60, '4');
      Put(path, name.c_str(), REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    } else if (kind < 37 && unterminated) {
      std::string text(64, '5');
      text += "X";
      Put(path, name.c_str(), REG_SZ, text.c_str(), 64);
    } else if (kind < 38) {
      Put(path, name.c_str(), REG_BINARY, "\x02\0\0\0", 4);
    } else if (kind < 39) {
      Put(path, name.c_str(), REG_QWORD, "\x02\0\0\0\0\0\0\0", 8);
    } else if (unterminated) {
      Put(path, name.c_str(), REG_SZ, "12,34,56,78", 11);  // no terminator
    }
  }

  void UpgradeVer(const std::string& key) {
    static const uint32_t versions[] = {0,   100, 150, 159, 160, 170, 180, 181, 185, 187,
                                        188, 190, 191, 192, 195, 199, 200, 204, 205, 206,
                                        207, 0xFFFFFFFF};
    uint32_t version = versions[Below(sizeof versions / sizeof *versions)];
    switch (Below(12)) {
      case 0: {
        uint64_t wide = version;
        Put(key, "UpgradeVer", REG_QWORD, &wide, 8);
        break;
      }
      case 1: Put(key, "UpgradeVer", REG_BINARY, &version, 4); break;
      default: Put(key, "UpgradeVer", REG_DWORD, &version, 4);
    }
  }

  void ProductKey(const char* key, bool withVersion) {
    if (withVersion) UpgradeVer(key);
    const std::string k = key;
    Maybe(k, "AutoPos", Number());
    Maybe(k, "Colors", Chance(50) ? Below(12) | (Below(3) << 16) : Number());
    Maybe(k, "AlwaysMove", Chance(60) ? (uint32_t(Below(14) - 2) << 16) | 1 : Number());
    Maybe(k, "AutoPosDisplay", Number(), 40);
    if (Chance(40)) {
      uint32_t packed = Chance(70) ? (Below(4) << 24) | (Below(4) << 16) | (Below(4) << 8) | Below(4)
                                   : random();
      PutNumber(k, "CoverageArea", packed);
    }
    if (Chance(30)) Put(k, "LastPath", REG_SZ, "C:\\Old", 7);
    if (Chance(30)) Put(k, "Unrelated Text", REG_SZ, "keep me", 8);
    if (Chance(60)) {
      const std::string hotKeys = k + "\\HotKeys";
      for (int area = 1; area <= 9; ++area) Maybe(hotKeys, kAreaNames[area], Number(), 50);
    }
    if (Chance(60)) {
      const std::string coverage = k + "\\CoverageArea";
      Maybe(coverage, "LeftTop", Number(), 70);
      Maybe(coverage, "RightBottom", Chance(50) ? 0 : Number(), 70);
      Maybe(coverage, "VertHorz", Number(), 70);
      Maybe(coverage, "Snaps", Chance(50) ? Below(3) : Number(), 70);
    }
    if (Chance(60)) {
      const std::string clipPrint = k + "\\ClipPrint";
      Maybe(clipPrint, "HotKey", Number(), 70);
      Maybe(clipPrint, "SizeFormat", Chance(50) ? random() : Number(), 70);
      if (Chance(70)) PutFaceName(clipPrint);
    }
    if (Chance(60)) {
      const std::string screensaver = k + "\\Screensaver";
      Maybe(screensaver, "EnableSize", Chance(50) ? (Below(20) << 16) | Below(3) : Number(), 70);
      Maybe(screensaver, "Position", (Below(12) << 16) | Below(12), 70);
      Maybe(screensaver, "Delay", Number(), 70);
    }
    if (Chance(70)) {
      const std::string autoApps = k + "\\AutoApps";
      uint32_t count = Below(7);
      if (count == 0) CreateKey(autoApps);
      for (uint32_t i = 0; i < count; ++i) PutApp(autoApps);
      if (Chance(8)) Put(autoApps + "\\Nested", "Inside", REG_DWORD, "\x01\0\0\0", 4);
    }
    if (Chance(30)) Put(k + "\\Extra\\Deeper", "Number", REG_DWORD, "\x07\0\0\0", 4);
  }

  void State() {
    bool current = Chance(45), older = Chance(70);
    unterminated = true;
    if (current) ProductKey(kCurrent, Chance(70));
    unterminated = false;
    if (older) ProductKey(kOlder, Chance(85));
    if (Chance(15)) Put(std::string(kRoots[1]) + "\\Sibling", "Keep", REG_DWORD, "\x01\0\0\0", 4);
    if (Chance(10)) Put(kRoots[1], "Company Value", REG_DWORD, "\x01\0\0\0", 4);
  }
};

class SettingsModel : public SettingsTest {};

std::string Mismatch(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
  std::string text;
  for (const std::string& line : expected)
    if (!std::binary_search(actual.begin(), actual.end(), line)) text += "  expected only: " + line + "\n";
  for (const std::string& line : actual)
    if (!std::binary_search(expected.begin(), expected.end(), line)) text += "  actual only:   " + line + "\n";
  return text;
}

TEST_F(SettingsModel, MigrationAndFileMatchTheModelOnRandomStates) {
  TempFiles temp;
  Generator generator(0x4D6F7276);
  generator.folder = temp.folder();
  for (int i = 0; i < 6; ++i) {
    char name[96];
    snprintf(name, sizeof name, "Application Number %d With A Rather Long Name.exe", i);
    generator.files.push_back(temp.Create(name));
  }
  const std::string target = temp.folder() + "\\model.MorvantileSettings";
  const char* folders[] = {"C:\\Program Files\\Morvantile", "\"C:\\Quoted Folder", "D:\\x"};

  // How often each path was taken, so that a change of the generator that
  // starves one is seen.
  int none = 0, current = 0, below[5] = {}, from200 = 0, withApps = 0;
  const uint32_t thresholds[5] = {160, 181, 188, 192, 200};
  const int kRounds = 200;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    DeleteSettingsKeys();
    ResetSetupState();
    generator.State();
    const char* folder = folders[generator.Below(3)];

    Model model;
    model.tree = DumpSettings();
    // The model walks values in its own order; check that it is the registry's.
    for (const char* key : {kCurrent, kOlder}) {
      std::vector<std::string> names;
      auto found = model.tree.find(std::string(key) + "\\AutoApps");
      if (found != model.tree.end())
        for (const auto& value : found->second) names.push_back(value.first);
      ASSERT_EQ(names, EnumeratedNames(std::string(key) + "\\AutoApps"));
    }
    const std::vector<std::string> before = Lines(model.tree, model.uninstall);

    uint32_t version = model.UpgradeVer();
    if (!version) {
      model.keyPath = kOlder;
      version = model.UpgradeVer();
      model.keyPath = kCurrent;
    }
    int expectedResult = model.Migrate(folder);
    Bytes expectedFile = model.File();
    if (!version) ++none;
    else if (version >= 206) ++current;
    else if (version >= 200) ++from200;
    for (int t = 0; t < 5; ++t) below[t] += version && version < thresholds[t];
    withApps += !model.Apps().empty();

    EXPECT_EQ(MigrateSettings(folder), expectedResult);
    EXPECT_STREQ(SetupState.settingsKeyPath, kCurrent);
    ASSERT_EQ(WriteSettingsFile(target.c_str()), 1);

    Bytes file;
    HANDLE handle = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    file.resize(GetFileSize(handle, nullptr));
    DWORD read = 0;
    ReadFile(handle, file.data(), static_cast<DWORD>(file.size()), &read, nullptr);
    CloseHandle(handle);

    std::vector<std::string> expected = Lines(model.tree, model.uninstall);
    std::vector<std::string> actual = Lines(DumpSettings(), DumpUninstall());
    if (expected != actual || file != expectedFile) {
      std::string state;
      for (const std::string& line : before) state += "  " + line + "\n";
      ADD_FAILURE() << "folder " << folder << "\nstate before:\n"
                    << state << "registry differences:\n"
                    << Mismatch(expected, actual) << "file expected " << Hex(expectedFile)
                    << "\nfile actual   " << Hex(file);
      break;
    }
  }
  DeleteFileA(target.c_str());
  DeleteSettingsKeys();
  printf("rounds: no version %d, current %d, 200-205 %d, below 160/181/188/192/200: %d/%d/%d/%d/%d, "
         "files listing applications %d\n",
         none, current, from200, below[0], below[1], below[2], below[3], below[4], withApps);
  EXPECT_GT(none, 0);
  EXPECT_GT(current, 0);
  EXPECT_GT(from200, 0);
  EXPECT_GT(below[0], 0);
  EXPECT_GT(below[4] - below[3], 0);
  EXPECT_GT(withApps, 0);
}

}  // namespace
