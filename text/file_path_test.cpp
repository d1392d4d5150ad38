#include "text/file_path.h"

#include <gtest/gtest.h>

TEST(LongPathForm, FullPathsTakeThePrefix) {
  const struct {
    std::u16string full;
    std::u16string opened;
  } cases[] = {
      {u"C:\\goods.txt", u"\\\\?\\C:\\goods.txt"},
      {u"z:\\Выгрузка\\товары.txt", u"\\\\?\\z:\\Выгрузка\\товары.txt"},
      {u"\\\\shop-pc\\exports\\goods.txt", u"\\\\?\\UNC\\shop-pc\\exports\\goods.txt"},
      {u"\\\\?\\C:\\goods.txt", u"\\\\?\\C:\\goods.txt"},
      {u"\\\\?\\UNC\\shop-pc\\goods.txt", u"\\\\?\\UNC\\shop-pc\\goods.txt"},
      {u"\\\\.\\COM1", u"\\\\.\\COM1"},  // a device stays one
      {u"goods.txt", u"goods.txt"},
      {u"C:goods.txt", u"C:goods.txt"},
      {u"1:\\goods.txt", u"1:\\goods.txt"},
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(LongPathForm(c.full), c.opened);
}
