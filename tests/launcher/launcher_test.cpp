// The launcher's module names and its notice window's place.
#include <gtest/gtest.h>

#include <string>

#include "launcher.h"

namespace {

bool candidates(const char16_t* path, std::u16string* first, std::u16string* second) {
  WCHAR a[MAX_PATH], b[MAX_PATH];
  if (!module_candidates(path, a, b, MAX_PATH)) return false;
  *first = a;
  *second = b;
  return true;
}

}  // namespace

TEST(ModuleName, CutsAtTheLastDotOfTheFileName) {
  std::u16string first, second;
  ASSERT_TRUE(candidates(u"\\TavrinW.exe", &first, &second));
  EXPECT_EQ(first, u"\\TavrinW.em.exe");
  EXPECT_EQ(second, u"\\TavrinW.em.dll");
  ASSERT_TRUE(candidates(u"\\Games\\v1.2\\Heroes.setup.exe", &first, &second));
  EXPECT_EQ(first, u"\\Games\\v1.2\\Heroes.setup.em.exe");
  EXPECT_EQ(second, u"\\Games\\v1.2\\Heroes.setup.em.dll");
}

TEST(ModuleName, AFileNameWithoutADotHasNoCandidates) {
  std::u16string first, second;
  EXPECT_FALSE(candidates(u"\\Games\\v1.2\\TavrinW", &first, &second));
  EXPECT_FALSE(candidates(u"TavrinW", &first, &second));
  ASSERT_TRUE(candidates(u"\\a.b\\c.", &first, &second));
  EXPECT_EQ(first, u"\\a.b\\c.em.");
}

TEST(Notice, CentredAtHalfWidthAndQuarterHeight) {
  RECT r;
  notice_rect(240, 320, &r);
  EXPECT_EQ(r.left, 60);
  EXPECT_EQ(r.top, 120);
  EXPECT_EQ(r.right - r.left, 120);
  EXPECT_EQ(r.bottom - r.top, 80);
  notice_rect(321, 239, &r);  // odd sizes truncate
  EXPECT_EQ(r.left, 80);
  EXPECT_EQ(r.top, 89);
  EXPECT_EQ(r.right - r.left, 160);
  EXPECT_EQ(r.bottom - r.top, 59);
}
