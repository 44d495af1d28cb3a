// Temporary names beside a target: the plain form where it fits, a
// shortened one near the path limit, a distinct name for every attempt.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/temporary_name.h"

namespace {

std::string Name(const std::string& target, unsigned attempt, const char* suffix = ".tmp") {
  char name[kLongestPath + 1];
  if (!TemporaryNameBeside(target.c_str(), suffix, attempt, name, sizeof name)) return "<none>";
  return name;
}

std::string Folder(size_t length) {   // "C:\aaa...\" of exactly `length` characters
  return "C:\\" + std::string(length - 4, 'a') + "\\";
}

}  // namespace

TEST(TemporaryName, IsTheTargetPlusTheSuffixWhereThatFits) {
  EXPECT_EQ(Name("C:\\x\\Morvantile.dll", 0, ".partial"), "C:\\x\\Morvantile.dll.partial");
  EXPECT_EQ(Name("C:\\x\\default.MorvantileSettings", 0), "C:\\x\\default.MorvantileSettings.tmp");
  EXPECT_EQ(Name("C:\\x\\a.dll", 1, ".partial"), "C:\\x\\a.dll~1.partial");
  EXPECT_EQ(Name("C:\\x\\a.dll", 36, ".partial"), "C:\\x\\a.dll~10.partial");
  EXPECT_EQ(Name("C:\\x\\a.dll", 10 * 36 + 35, ".partial"), "C:\\x\\a.dll~az.partial");
  EXPECT_EQ(Name("dir/file", 0), "dir/file.tmp");
}

TEST(TemporaryName, FitsBesideEveryTargetUpToTheLimitAndDiffersFromIt) {
  for (size_t folder : {20u, 200u, 240u, 250u, 255u, 257u, 258u}) {
    for (size_t length = folder + 1; length <= kLongestPath; ++length) {
      const std::string target = Folder(folder) + std::string(length - folder, 'n');
      std::set<std::string> names;
      for (unsigned attempt = 0; attempt < 40; ++attempt) {
        const std::string name = Name(target, attempt, ".partial");
        if (name == "<none>") {   // only with a name of one character: the target's own
          EXPECT_EQ(folder, 258u) << length << " attempt " << attempt;
          continue;
        }
        EXPECT_LE(name.size(), kLongestPath) << name;
        EXPECT_EQ(name.compare(0, folder, Folder(folder)), 0) << "stays in the target's folder";
        EXPECT_EQ(name.find('\\', folder), std::string::npos) << name;
        EXPECT_NE(name, target);
        names.insert(name);
      }
      // Every attempt gives a new name while the folder leaves room for it.
      if (folder < 256) EXPECT_EQ(names.size(), 40u) << length;
    }
  }
  // Near the limit the name part is shortened and keeps the suffix.
  const std::string target = Folder(200) + std::string(59, 'n');
  EXPECT_EQ(Name(target, 0), Folder(200) + std::string(53, 'n') + "~0.tmp");
  EXPECT_EQ(Name(target, 5), Folder(200) + std::string(53, 'n') + "~5.tmp");
}

TEST(TemporaryName, RefusesWhatIsNoFileTarget) {
  EXPECT_EQ(Name("", 0), "<none>");
  EXPECT_EQ(Name("C:\\x\\", 0), "<none>");
  EXPECT_EQ(Name("C:\\" + std::string(257, 'n'), 0), "<none>") << "260 characters";
  EXPECT_NE(Name("C:\\" + std::string(256, 'n'), 0), "<none>") << "259 characters";
  // With one character of room, a name equal to the target's is skipped.
  const std::string target = Folder(258) + "1";
  EXPECT_EQ(Name(target, 1), "<none>");
  EXPECT_EQ(Name(target, 2), Folder(258) + "2");
}
