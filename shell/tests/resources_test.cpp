// The compiled resources as the program finds them: page templates control
// by control, the icon's two images, the cursor's hot spot, the manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "shell/wizard_ids.h"

namespace {

struct Control {
  DWORD style;
  short x, y, cx, cy;
  int id;
  std::string className;
  std::string text;
};

struct Template {
  DWORD style = 0, exStyle = 0;
  short cx = 0, cy = 0;
  std::string caption, font;
  int pointSize = 0;
  std::vector<Control> controls;
};

class Reader {
 public:
  explicit Reader(const BYTE* p) : p_(p) {}
  WORD Word() { WORD v; memcpy(&v, p_, 2); p_ += 2; return v; }
  DWORD Dword() { DWORD v; memcpy(&v, p_, 4); p_ += 4; return v; }
  // A string or an ordinal (0xFFFF, n), as templates store names.
  std::string NameOrOrdinal() {
    WORD first = Word();
    if (first == 0xFFFF) return "#" + std::to_string(Word());
    std::string text;
    for (WORD c = first; c != 0; c = Word()) text += static_cast<char>(c);
    return text;
  }
  void AlignDword(const BYTE* base) { while ((p_ - base) % 4) ++p_; }

 private:
  const BYTE* p_;
};

std::string ClassName(const std::string& raw) {
  if (raw == "#128") return "Button";
  if (raw == "#129") return "Edit";
  if (raw == "#130") return "Static";
  return raw;
}

const BYTE* ResourceBytes(const char* type, int id, DWORD* size = nullptr) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
  if (!found) return nullptr;
  if (size) *size = SizeofResource(nullptr, found);
  return static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
}

Template LoadTemplate(int id) {
  Template t;
  const BYTE* base = ResourceBytes(RT_DIALOG, id);
  if (!base) return t;
  Reader r(base);
  t.style = r.Dword();
  t.exStyle = r.Dword();
  WORD count = r.Word();
  r.Word(); r.Word();
  t.cx = static_cast<short>(r.Word());
  t.cy = static_cast<short>(r.Word());
  r.NameOrOrdinal();   // menu
  r.NameOrOrdinal();   // class
  t.caption = r.NameOrOrdinal();
  if (t.style & DS_SETFONT) {
    t.pointSize = r.Word();
    t.font = r.NameOrOrdinal();
  }
  for (WORD i = 0; i < count; ++i) {
    r.AlignDword(base);
    Control c;
    c.style = r.Dword();
    DWORD exStyle = r.Dword();
    EXPECT_EQ(exStyle, 0u);
    c.x = static_cast<short>(r.Word());
    c.y = static_cast<short>(r.Word());
    c.cx = static_cast<short>(r.Word());
    c.cy = static_cast<short>(r.Word());
    c.id = static_cast<short>(r.Word());
    c.className = ClassName(r.NameOrOrdinal());
    c.text = r.NameOrOrdinal();
    WORD extra = r.Word();
    EXPECT_EQ(extra, 0);
    t.controls.push_back(c);
  }
  return t;
}

void ExpectControls(const Template& t, const std::vector<Control>& expected) {
  ASSERT_EQ(t.controls.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const Control& a = t.controls[i];
    const Control& e = expected[i];
    SCOPED_TRACE("control " + std::to_string(e.id));
    EXPECT_EQ(a.id, e.id);
    EXPECT_EQ(lstrcmpiA(a.className.c_str(), e.className.c_str()), 0) << a.className;
    EXPECT_EQ(a.style, e.style);
    EXPECT_EQ(a.x, e.x);
    EXPECT_EQ(a.y, e.y);
    EXPECT_EQ(a.cx, e.cx);
    EXPECT_EQ(a.cy, e.cy);
    EXPECT_EQ(a.text, e.text);
  }
}

const char kLinkText[] = "For more information, visit the Morvantile website.";

}  // namespace

TEST(Resources, EveryPageHasTheSameFrame) {
  for (int id : {IDD_WELCOME, IDD_OPTIONS, IDD_CUSTOM, IDD_PROGRESS, IDD_LICENCE}) {
    SCOPED_TRACE("template " + std::to_string(id));
    Template t = LoadTemplate(id);
    EXPECT_EQ(t.style, 0x80C800C0u);
    EXPECT_EQ(t.exStyle, 0u);
    EXPECT_EQ(t.cx, 300);
    EXPECT_EQ(t.cy, 100);
    EXPECT_EQ(t.caption, "Morvantile - Installation");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.font, "MS Sans Serif");
  }
}

TEST(Resources, PageControls) {
  ExpectControls(LoadTemplate(IDD_WELCOME), {
      {0x50000003, 8, 8, 20, 20, -1, "Static", "#114"},
      {0x50020200, 35, 8, 258, 20, 1013, "Static", ""},
      {0x50020001, 7, 32, 286, 48, 1014, "Static", ""},
      {0x50020001, 7, 85, 286, 8, 1016, "Static", kLinkText},
  });
  ExpectControls(LoadTemplate(IDD_LICENCE), {
      {0x50A10804, 7, 7, 286, 86, 1010, "Edit", ""},
  });
  ExpectControls(LoadTemplate(IDD_OPTIONS), {
      {0x50000007, 7, 7, 286, 55, -1, "Button", "Installation Options"},
      {0x50000009, 16, 20, 271, 10, 1011, "Button", "Typical Installation:  Use default installation settings."},
      {0x50000009, 16, 32, 271, 10, 1012, "Button", "Custom Installation:  Specify your own installation settings."},
      {0x50000009, 16, 44, 271, 10, 1015, "Button", "Upgrade:  Use existing settings and preferences."},
  });
  ExpectControls(LoadTemplate(IDD_CUSTOM), {
      {0x50020000, 7, 7, 287, 8, -1, "Static", "Install to:"},
      {0x50810080, 7, 18, 235, 12, 1006, "Edit", ""},
      {0x50010000, 245, 18, 50, 14, 1008, "Button", "Browse..."},
      {0x50010003, 7, 42, 199, 10, 1002, "Button", "Start Morvantile when logging on or starting up Windows"},
      {0x50010003, 7, 53, 135, 10, 1007, "Button", "Start Morvantile after this installation"},
      {0x50010003, 7, 64, 164, 10, 1018, "Button", "Upgrade:  Move existing settings to this version"},
  });
  ExpectControls(LoadTemplate(IDD_PROGRESS), {
      {0x50800000, 7, 79, 286, 14, 1009, "msctls_progress32", ""},
      {0x50020001, 7, 7, 286, 50, 1014, "Static", ""},
      {0x50020001, 7, 66, 286, 8, 1016, "Static", kLinkText},
  });
}

#pragma pack(push, 2)
struct GroupEntry {   // one image in a group icon or group cursor
  WORD width, height;   // icons: BYTE width, BYTE height, BYTE colours, BYTE 0
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

TEST(Resources, IconHasTwoSixteenColourImages) {
  const BYTE* group = ResourceBytes(RT_GROUP_ICON, IDI_SETUP);
  ASSERT_NE(group, nullptr);
  WORD header[3];
  memcpy(header, group, sizeof header);
  ASSERT_EQ(header[1], 1);   // icons
  ASSERT_EQ(header[2], 2);
  for (int i = 0; i < 2; ++i) {
    const BYTE* entry = group + 6 + 14 * i;
    int size = i == 0 ? 32 : 16;
    EXPECT_EQ(entry[0], size);
    EXPECT_EQ(entry[1], size);
    EXPECT_EQ(entry[2], 16);   // colours
    WORD bitCount;
    memcpy(&bitCount, entry + 6, 2);
    EXPECT_EQ(bitCount, 4);
  }
  EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_SETUP)), nullptr);
}

TEST(Resources, HandCursorIsMonochromeWithItsHotSpotAtTheFingertip) {
  const BYTE* group = ResourceBytes(RT_GROUP_CURSOR, IDR_HAND_CURSOR);
  ASSERT_NE(group, nullptr);
  WORD header[3];
  memcpy(header, group, sizeof header);
  ASSERT_EQ(header[1], 2);   // cursors
  ASSERT_EQ(header[2], 1);
  GroupEntry entry;
  memcpy(&entry, group + 6, sizeof entry);
  EXPECT_EQ(entry.width, 32);
  EXPECT_EQ(entry.height, 64);   // colour bits and mask
  EXPECT_EQ(entry.bitCount, 1);
  const BYTE* image = ResourceBytes(RT_CURSOR, entry.id);
  ASSERT_NE(image, nullptr);
  WORD hotSpot[2];
  memcpy(hotSpot, image, sizeof hotSpot);
  EXPECT_EQ(hotSpot[0], 5);
  EXPECT_EQ(hotSpot[1], 0);

  HCURSOR cursor = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_HAND_CURSOR));
  ASSERT_NE(cursor, nullptr);
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  EXPECT_EQ(info.xHotspot, 5u);
  EXPECT_EQ(info.yHotspot, 0u);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
}

TEST(Resources, ManifestAsksForCommonControlsSixAndAdministrator) {
  DWORD size = 0;
  const BYTE* bytes = ResourceBytes(MAKEINTRESOURCEA(24), 1, &size);
  ASSERT_NE(bytes, nullptr);
  std::string manifest(reinterpret_cast<const char*>(bytes), size);
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
  EXPECT_NE(manifest.find("supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\""), std::string::npos);
}
