#include "images/image_cache.h"

#include <gtest/gtest.h>

#include "images/delayed_pictures.h"

namespace corvane {
namespace {

TPicture Picture() {
  QImage colours(2, 2, QImage::Format_RGB32);
  colours.fill(Qt::red);
  return TPicture{std::make_shared<TStillPicture>(colours), nullptr};
}

TEST(ImageCacheTest, KeysAreUpperCasedAndTrimmed) {
  const std::pair<std::string, std::string> cases[] = {
      {"logo.gif", "LOGO.GIF"},
      {" LOGO.GIF ", "LOGO.GIF"},
      {"\t\r\nImg/Logo.Gif\x01", "IMG/LOGO.GIF"},
      {"caf\xC3\xA9.png", "CAF\xC3\xA9.PNG"},
      {"  ", ""},
  };
  for (const auto& [name, key] : cases) EXPECT_EQ(TStringBitmapList::Key(name), key) << name;
  TStringBitmapList cache;
  cache.Add("logo.gif", Picture(), TTransparency::None);
  EXPECT_EQ(cache.Find(" LOGO.GIF "), cache.Find("logo.gif"));
  EXPECT_NE(cache.Find("Logo.gif"), nullptr);
  EXPECT_EQ(cache.Find("logo.gi"), nullptr);
  EXPECT_EQ(cache.Count(), 1);
}

// The viewer purges at every load; a picture last used in load 0 and not held since is freed at the
// sixth load after it with a maximum count of 5, while one that an image object holds stays.
TEST(ImageCacheTest, APictureNotInUseIsFreedAtTheSixthLoadAfterItsLastUse) {
  TStringBitmapList cache(5);
  cache.Add("unused.gif", Picture(), TTransparency::None);
  cache.Add("held.gif", Picture(), TTransparency::None);
  cache.Release("unused.gif");
  for (int load = 1; load <= 5; ++load) {
    cache.Purge();
    EXPECT_NE(cache.Find("unused.gif"), nullptr) << load;
  }
  cache.Purge();
  EXPECT_EQ(cache.Find("unused.gif"), nullptr);
  for (int load = 0; load < 20; ++load) cache.Purge();
  ASSERT_NE(cache.Find("held.gif"), nullptr);
  EXPECT_EQ(cache.Find("held.gif")->AccessCount, 26);
}

TEST(ImageCacheTest, UseAndReleaseCountTheHolders) {
  TStringBitmapList cache(5);
  TBitmapItem& item = cache.Add("a.png", Picture(), TTransparency::None, 0);
  cache.Purge();
  cache.Purge();
  EXPECT_EQ(item.AccessCount, 2);
  const TPicture used = TStringBitmapList::Use(item);
  EXPECT_EQ(used.Still, item.Picture.Still);
  EXPECT_EQ(item.AccessCount, 0);
  EXPECT_EQ(item.UsageCount, 1);
  TStringBitmapList::Use(item);
  cache.Release(" A.PNG");
  cache.Release("a.png");
  cache.Release("a.png");
  EXPECT_EQ(item.UsageCount, 0);
  cache.Release("missing.png");
}

TEST(ImageCacheTest, ALowerMaximumFreesWhatExceedsIt) {
  EXPECT_EQ(TStringBitmapList().MaxCount(), 4) << "a cache made without a viewer";
  TStringBitmapList cache(10);
  cache.Add("old.gif", Picture(), TTransparency::None, 0);
  cache.Purge();
  cache.Purge();
  cache.Purge();
  cache.Add("held.gif", Picture(), TTransparency::None, 1);
  cache.Add("quiet.gif", Picture(), TTransparency::None, 0);
  cache.Purge();
  cache.Purge();
  cache.Purge();
  cache.Add("new.gif", Picture(), TTransparency::None, 0);
  cache.SetMaxCount(3);
  EXPECT_EQ(cache.MaxCount(), 3);
  EXPECT_EQ(cache.Find("old.gif"), nullptr);
  EXPECT_NE(cache.Find("held.gif"), nullptr);
  EXPECT_NE(cache.Find("quiet.gif"), nullptr) << "an access count of 3 does not exceed 3";
  EXPECT_NE(cache.Find("new.gif"), nullptr);
  cache.Clear();
  EXPECT_EQ(cache.Count(), 0);
}

TEST(DelayedPictureListTest, WaitersByName) {
  int a = 0, b = 0, c = 0;
  TDelayedPictureList<int> list;
  list.Add("pic.gif", &a);
  list.Add(" PIC.GIF", &b);
  list.Add("other.gif", &c);
  EXPECT_TRUE(list.Contains("Pic.Gif"));
  list.Remove("other.gif", &c);
  EXPECT_FALSE(list.Contains("other.gif"));
  EXPECT_EQ(list.Take("pic.gif"), (std::vector<int*>{&a, &b}));
  EXPECT_FALSE(list.Contains("pic.gif"));
  EXPECT_TRUE(list.Empty());
}

}  // namespace
}  // namespace corvane
