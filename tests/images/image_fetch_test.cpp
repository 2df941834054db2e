#include "images/image_fetch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <chrono>
#include <filesystem>

#include "gif_writer.h"
#include "images/picture_file.h"
#include "support/temp_dir.h"

namespace corvane {
namespace {

using test::kRed;
using test::kWhite;
using test::TTempDir;

std::string Save(const QImage& picture, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, format);
  return bytes.toStdString();
}

// 4 × 1: red, white, red, white.
QImage Stripes() {
  QImage picture(4, 1, QImage::Format_RGB32);
  for (int x = 0; x < 4; ++x) picture.setPixel(x, 0, x % 2 ? kWhite : kRed);
  return picture;
}

std::string SpacerGif() {
  test::TTestGif gif{.Width = 1, .Height = 1};
  gif.Frames = {test::TTestFrame{.TransparentIndex = 0}};
  return test::EncodeGif(gif);
}

std::vector<int> MaskRow(const TPicture& picture) {
  std::vector<int> row;
  const QImage& mask = picture.Still->Mask();
  for (int x = 0; x < mask.width(); ++x) row.push_back(mask.constScanLine(0)[x]);
  return row;
}

TEST(ImageFetchTest, NamesDifferingInCaseAndSpaceShareOneEntry) {
  TTempDir dir;
  const std::string path = dir.Write("logo.gif", SpacerGif());
  TStringBitmapList cache;
  TImageFetch fetch(cache);
  TTransparency transparency = TTransparency::None;
  // The file is opened by the name as written: the key's spelling does not exist on disk.
  EXPECT_TRUE(fetch.FetchImage((dir.Path() / "LOGO.GIF").string(), transparency).Picture.IsNull());
  cache.Purge();
  const TFetchedImage first = fetch.FetchImage(path, transparency);
  ASSERT_FALSE(first.Picture.IsNull());
  EXPECT_FALSE(first.FromCache);
  EXPECT_EQ(transparency, TTransparency::Own);
  std::filesystem::remove(path);
  std::string other = "  " + path + " ";
  for (std::size_t k = other.size() - 9; k < other.size(); ++k) other[k] = static_cast<char>(std::toupper(other[k]));
  const TFetchedImage second = fetch.FetchImage(other, transparency);
  EXPECT_TRUE(second.FromCache);
  EXPECT_EQ(second.Picture.Still, first.Picture.Still);
  EXPECT_EQ(cache.Count(), 1);
  EXPECT_EQ(cache.Find(path)->UsageCount, 2);
}

TEST(ImageFetchTest, ManyObjectsOfOnePictureCostOneDecode) {
  TStringBitmapList cache(5);
  TImageFetch fetch(cache);
  int requests = 0;
  const std::string spacer = SpacerGif();
  fetch.OnImageRequest = [&](const std::string&) {
    ++requests;
    return TImageStream::WithData(spacer);
  };
  std::shared_ptr<TStillPicture> shared;
  for (int k = 0; k < 10000; ++k) {
    TTransparency transparency = k % 3 ? TTransparency::None : TTransparency::LowerLeft;
    const TFetchedImage image = fetch.FetchImage(k % 2 ? "spacer.gif" : "SPACER.GIF ", transparency);
    ASSERT_FALSE(image.Picture.IsNull());
    if (!shared) shared = image.Picture.Still;
    EXPECT_EQ(image.Picture.Still, shared);
  }
  EXPECT_EQ(requests, 1);
  EXPECT_EQ(cache.Find("spacer.gif")->UsageCount, 10000);
}

TEST(ImageFetchTest, AMissingPictureIsLookedForOncePerLoad) {
  TStringBitmapList cache;
  TImageFetch fetch(cache);
  int requests = 0;
  fetch.OnImageRequest = [&](const std::string&) {
    ++requests;
    return TImageStream::WithData("GIF89a broken beyond repair");
  };
  for (int k = 0; k < 100; ++k) {
    TTransparency transparency = TTransparency::None;
    EXPECT_TRUE(fetch.FetchImage("broken.gif", transparency).Picture.IsNull());
  }
  EXPECT_EQ(requests, 1);
  cache.Purge();
  TTransparency transparency = TTransparency::None;
  fetch.FetchImage("broken.gif", transparency);
  EXPECT_EQ(requests, 2);
  EXPECT_EQ(cache.Count(), 0);
}

TEST(ImageFetchTest, OnlyRegularFilesOfBoundedSizeAreRead) {
  TTempDir dir;
  const std::string fifo = (dir.Path() / "pipe.gif").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string large = (dir.Path() / "large.gif").string();
  const std::string gif = SpacerGif();
  dir.Write("large.gif", gif);
  ASSERT_EQ(::truncate(large.c_str(), static_cast<off_t>(kMaxPictureFileBytes) + 1), 0);
  const std::string names[] = {fifo, "/dev/zero", dir.Path().string(), large, (dir.Path() / "none.gif").string(), ""};
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& name : names) {
    EXPECT_FALSE(ReadPictureFile(name).has_value()) << name;
    TStringBitmapList cache;
    TImageFetch fetch(cache);
    TTransparency transparency = TTransparency::None;
    EXPECT_TRUE(fetch.FetchImage(name, transparency).Picture.IsNull()) << name;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(ReadPictureFile(dir.Write("small.gif", gif)), gif);
}

TEST(ImageFetchTest, ABitmapRequestColourBecomesTransparent) {
  TStringBitmapList cache;
  TImageFetch fetch(cache);
  std::vector<std::string> asked;
  fetch.OnBitmapRequest = [&](const std::string& name, QImage& picture, std::optional<QRgb>& colour) {
    asked.push_back(name);
    picture = Stripes();
    if (name == "white") colour = qRgb(255, 255, 255);
  };
  TTransparency transparency = TTransparency::None;
  const TFetchedImage white = fetch.FetchImage(" white ", transparency);
  EXPECT_EQ(transparency, TTransparency::Own);
  EXPECT_EQ(MaskRow(white.Picture), (std::vector<int>{255, 0, 255, 0}));
  transparency = TTransparency::LowerLeft;
  const TFetchedImage plain = fetch.FetchImage("plain", transparency);
  EXPECT_EQ(transparency, TTransparency::LowerLeft);
  EXPECT_EQ(MaskRow(plain.Picture), (std::vector<int>{0, 255, 0, 255}));
  EXPECT_EQ(asked, (std::vector<std::string>{"white", "plain"}));
  EXPECT_EQ(cache.Find("WHITE")->Transparency, TTransparency::Own);
}

TEST(ImageFetchTest, AnEmptyPictureFromAHandlerIsNoPicture) {
  TStringBitmapList cache;
  TImageFetch fetch(cache);
  fetch.OnBitmapRequest = [](const std::string&, QImage& picture, std::optional<QRgb>&) {
    picture = QImage(0, 7, QImage::Format_RGB32);
  };
  TTransparency transparency = TTransparency::LowerLeft;
  EXPECT_TRUE(fetch.FetchImage("empty", transparency).Picture.IsNull());
  EXPECT_EQ(cache.Count(), 0);
}

TEST(ImageFetchTest, ImageRequestAnswers) {
  TTempDir dir;
  const std::string file = dir.Write("Pic.png", Save(Stripes(), "png"));
  TStringBitmapList cache;
  TImageFetch fetch(cache);
  fetch.OnBitmapRequest = [](const std::string&, QImage& picture, std::optional<QRgb>&) {
    picture = QImage(9, 9, QImage::Format_RGB32);
    picture.fill(Qt::blue);
  };
  fetch.OnImageRequest = [](const std::string& name) {
    if (name == "later.gif") return TImageStream::Waiting();
    if (name == "data.png") return TImageStream::WithData(Save(Stripes(), "png"));
    return TImageStream();
  };
  fetch.ExpandName = [&dir](const std::string& name) { return (dir.Path() / name).string(); };

  TTransparency transparency = TTransparency::None;
  const TFetchedImage data = fetch.FetchImage("data.png", transparency);
  EXPECT_EQ(data.Picture.Width(), 4) << "the image request's picture replaces the bitmap request's";
  const TFetchedImage expanded = fetch.FetchImage("Pic.png", transparency);
  EXPECT_EQ(expanded.Picture.Width(), 4) << "no stream: the expanded name's file";
  const TFetchedImage kept = fetch.FetchImage("nowhere.png", transparency);
  EXPECT_EQ(kept.Picture.Width(), 9) << "no picture from the image request keeps the bitmap request's";

  fetch.OnBitmapRequest = nullptr;
  const TFetchedImage later = fetch.FetchImage("later.gif", transparency);
  EXPECT_TRUE(later.Delayed);
  EXPECT_TRUE(later.Picture.IsNull());
  EXPECT_EQ(cache.Find("later.gif"), nullptr);
  EXPECT_FALSE(fetch.HandIn("later.gif", "GIF89a not really"));
  ASSERT_TRUE(fetch.HandIn("LATER.GIF", SpacerGif()));
  EXPECT_EQ(cache.Find("later.gif")->UsageCount, 0);
  const TFetchedImage arrived = fetch.FetchImage("later.gif", transparency);
  EXPECT_TRUE(arrived.FromCache);
  EXPECT_FALSE(arrived.Picture.IsNull());
  EXPECT_EQ(transparency, TTransparency::Own);
  (void)file;
}

TEST(ImageFetchTest, TransparencyOfACachedPicture) {
  TStringBitmapList cache;
  TImageFetch fetch(cache);
  fetch.OnImageRequest = [](const std::string& name) {
    return TImageStream::WithData(Save(Stripes(), name.ends_with(".jpg") ? "jpeg" : "bmp"));
  };
  TTransparency transparency = TTransparency::None;
  const TFetchedImage plain = fetch.FetchImage("a.bmp", transparency);
  EXPECT_FALSE(plain.Picture.Still->HasMask());
  transparency = TTransparency::LowerLeft;
  const TFetchedImage masked = fetch.FetchImage("a.bmp", transparency);
  EXPECT_EQ(transparency, TTransparency::LowerLeft);
  EXPECT_EQ(MaskRow(masked.Picture), (std::vector<int>{0, 255, 0, 255}));
  EXPECT_EQ(cache.Find("a.bmp")->Transparency, TTransparency::LowerLeft);
  // An object without TRANSP draws the same picture opaque.
  transparency = TTransparency::None;
  fetch.FetchImage("a.bmp", transparency);
  EXPECT_EQ(transparency, TTransparency::None);

  transparency = TTransparency::LowerLeft;
  const TFetchedImage jpeg = fetch.FetchImage("b.jpg", transparency);
  EXPECT_EQ(transparency, TTransparency::None) << "a JPEG is never transparent";
  EXPECT_FALSE(jpeg.Picture.Still->HasMask());

  transparency = TTransparency::None;
  EXPECT_TRUE(fetch.FetchImage("  ", transparency).Picture.IsNull());
}

TEST(ImageFetchTest, AnimatedPicturesComeFromTheCacheToBeCopied) {
  test::TTestGif gif;
  gif.Frames = {test::TTestFrame{.Fill = 1}, test::TTestFrame{.Fill = 2}};
  const std::string data = test::EncodeGif(gif);
  TStringBitmapList cache;
  TImageFetch fetch(cache);
  fetch.OnImageRequest = [&data](const std::string&) { return TImageStream::WithData(data); };
  TTransparency transparency = TTransparency::LowerLeft;
  const TFetchedImage first = fetch.FetchImage("anim.gif", transparency);
  ASSERT_TRUE(first.Picture.IsAnimated());
  EXPECT_FALSE(first.FromCache);
  EXPECT_EQ(transparency, TTransparency::None);
  const TFetchedImage second = fetch.FetchImage("anim.gif", transparency);
  EXPECT_TRUE(second.FromCache);
  EXPECT_EQ(second.Picture.Animation, first.Picture.Animation);
}

}  // namespace
}  // namespace corvane
