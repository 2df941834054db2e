#include <gtest/gtest.h>

#include <QBuffer>

#include "../images/gif_writer.h"
#include "../support/temp_dir.h"
#include "images/image_cache.h"
#include "layout/image_obj.h"
#include "layout/layout_test_support.h"

namespace corvane {
namespace {

using test::kRed;
using test::kGreen;
using test::TTestDocument;

// The image objects of a document in source order.
std::vector<TImageObj*> Images(const TTestDocument& document) {
  std::vector<TImageObj*> images;
  for (TSection* section : document.Sections())
    for (const auto& object : section->Images())
      if (auto* image = dynamic_cast<TImageObj*>(object.get())) images.push_back(image);
  return images;
}

std::string Png(int width, int height, QRgb colour) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  return bytes.toStdString();
}

// Three frames of 4 × 2 pixels: red, green, red; 10 hundredths each, endless.
std::string ThreeFrameGif() {
  test::TTestGif gif;
  gif.Width = 4;
  gif.Height = 2;
  gif.LoopCount = 0;
  for (std::uint8_t fill : {2, 3, 2}) gif.Frames.push_back({.Width = 4, .Height = 2, .Fill = fill, .Delay = 10});
  return test::EncodeGif(gif);
}

class ImageObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp.Write("wide.png", Png(40, 20, kRed));
    temp.Write("moving.gif", ThreeFrameGif());
  }
  // A document whose pictures are looked for in the temporary folder.
  std::unique_ptr<TTestDocument> Load(const std::string& html) {
    TBuilderHandlers handlers;
    handlers.BaseAddress = (temp.Path() / "page.html").string();
    return std::make_unique<TTestDocument>(html, true, handlers);
  }
  test::TTempDir temp;
};

TEST_F(ImageObjectTest, SizesFromAttributesAndThePicture) {
  struct Case {
    std::string html;
    int objectWidth, objectHeight;
    bool placeholder;
  };
  const std::vector<Case> cases = {
      {"<img src=wide.png>", 40, 20, false},
      {"<img src=WIDE.PNG>", 24, 24, true},  // the name is opened as written
      {"<img src=wide.png width=80>", 80, 40, false},
      {"<img src=wide.png height=10>", 20, 10, false},
      {"<img src=wide.png width=7 height=9>", 7, 9, false},
      {"<img src=wide.png width=50%>", 200, 100, false},  // of the 400 pixels inside the body's margins
      {"<img src=wide.png border=3>", 46, 26, false},
      {"<a href=x><img src=wide.png></a>", 42, 22, false},  // a link frames its picture
      {"<a href=x><img src=wide.png border=0></a>", 40, 20, false},
      {"<img src=missing.gif>", 24, 24, true},
      {"<img src=missing.gif width=50 height=30>", 50, 30, true},
      {"<img src=missing.gif alt=Logo>", 4 * test::kPitch + 26, 24, true},
      {"<img>", 24, 24, true},
      {"<img src=wide.png width=-5 height=2147483647>", 100000 * 2, 100000, false},  // negative: not given
      {"<img src=moving.gif width=8>", 8, 4, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.html);
    auto document = Load(c.html);
    document->LayOut(400 + 2 * 10);
    const std::vector<TImageObj*> images = Images(*document);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0]->ObjWidth, c.objectWidth);
    EXPECT_EQ(images[0]->ObjHeight, c.objectHeight);
    EXPECT_EQ(images[0]->IsPlaceholder(), c.placeholder);
  }
}

TEST_F(ImageObjectTest, StyleAlignmentsThatAPictureCannotTakeAreIgnored) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"top", 1}, {"middle", 2}, {"baseline", 3}, {"super", 4}, {"sub", 4}};
  for (const auto& [align, expected] : cases) {
    auto document = Load("<img src=wide.png style=\"vertical-align: " + align + "\">");
    document->LayOut(400);
    ASSERT_EQ(Images(*document).size(), 1u);
    EXPECT_EQ(Images(*document)[0]->ObjAlign, expected) << align;
  }
}

TEST_F(ImageObjectTest, ManyImagesShareOneDecodedPicture) {
  std::string html;
  for (int i = 0; i < 300; ++i) html += "<img src=wide.png><img src=missing.gif>";
  auto document = Load(html);
  document->LayOut(600);
  const std::vector<TImageObj*> images = Images(*document);
  ASSERT_EQ(images.size(), 600u);
  TStringBitmapList& cache = document->Document.PictureFetch().Cache();
  EXPECT_EQ(cache.Count(), 1);
  const std::string name = document->Document.ExpandPictureName("wide.png");
  ASSERT_NE(cache.Find(name), nullptr);
  EXPECT_EQ(cache.Find(name)->UsageCount, 300);
  EXPECT_EQ(images[0]->Picture().Still, images[2]->Picture().Still);
  document->Document.Clear();
  EXPECT_EQ(cache.Find(name)->UsageCount, 0);
}

TEST_F(ImageObjectTest, PicturesAreDrawnStretchedAndPlaceholdersFramed) {
  auto document = Load("<img src=wide.png width=80 height=10> <img src=missing.gif>");
  document->LayOut(400);
  const QImage page = document->Paint(400, 60);
  const std::vector<TImageObj*> images = Images(*document);
  ASSERT_EQ(images.size(), 2u);
  const int x = images[0]->DrawX, y = images[0]->DrawY;
  EXPECT_EQ(page.pixel(x, y), kRed);
  EXPECT_EQ(page.pixel(x + 79, y + 9), kRed);
  EXPECT_EQ(page.pixel(x + 80, y + 9), 0xFFFFFFFFu);
  EXPECT_EQ(page.pixel(x, y + 10), 0xFFFFFFFFu);
  // The placeholder: a frame around its 24 × 24 box and the error picture inside, moved in by 4.
  const int px = images[1]->DrawX, py = images[1]->DrawY;
  EXPECT_NE(page.pixel(px, py), 0xFFFFFFFFu);
  EXPECT_NE(page.pixel(px + 4 + 8, py + 4 + 8), 0xFFFFFFFFu);
  EXPECT_EQ(page.pixel(px + 22, py + 22), 0xFFFFFFFFu);
}

TEST_F(ImageObjectTest, MiddleAlignedBoxesFitTheirLines) {
  // Each page: a line "above", a line with a missing picture's box, a line "below". The box is drawn
  // inside its line, and the line below starts where the box's line ends.
  struct Case {
    std::string html;
    int boxTop;    // the box's top, below the top of "above"
    int belowTop;  // the top of "below", likewise
  };
  const std::string above = "<div>above</div><div>", below = "</div><div>below</div>";
  const std::vector<Case> cases = {
      // Alone in its line: the line is as high as the box, which the font's text does not change.
      {above + "<img src=missing.gif alt=Logo style=\"vertical-align:middle\">" + below, 17, 17 + 24},
      {above + "<img src=missing.gif alt=Logo align=middle>" + below, 17, 17 + 24},
      {above + "<img src=missing.gif alt=Logo style=\"vertical-align:middle; margin-top:-1px\">" + below, 17, 17 + 24},
      {above + "<img src=missing.gif alt=Logo style=\"vertical-align:middle; margin-bottom:6px\">" + below, 17, 17 + 30},
      // Beside text: the box is centred on the text, the line grows by the rest above and below.
      {above + "text <img src=missing.gif alt=Logo align=middle> after" + below, 17, 17 + 24},
      {above + "text <img src=missing.gif alt=Logo width=60 height=40 align=middle> after" + below, 17, 17 + 40},
      {above + "text <img src=missing.gif width=60 height=9 align=middle> after" + below, 17 + 5, 17 + 17},
      // Bottom alignment stands on the baseline and needs no more.
      {above + "<img src=missing.gif alt=Logo>" + below, 17, 17 + 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.html);
    auto document = Load(c.html);
    document->LayOut(400);
    document->Paint(400, 200);
    const TSection* first = document->SectionStarting(u"above");
    const TSection* last = document->SectionStarting(u"below");
    const std::vector<TImageObj*> images = Images(*document);
    ASSERT_TRUE(first && last);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0]->DrawY - first->TopY, c.boxTop);
    EXPECT_EQ(last->TopY - first->TopY, c.belowTop);
  }
  // In a cell the row is as high as the box, which its content clip then holds whole.
  auto cell = Load("<table><tr><td><img src=missing.gif alt=Logo style=\"vertical-align:middle\"><td>x</table>");
  cell->LayOut(400);
  cell->Paint(400, 200);
  std::vector<TSection*> sections;
  cell->Body().CollectSections(sections);
  ASSERT_FALSE(sections.empty());
  ASSERT_EQ(sections[0]->Images().size(), 1u);
  const TFloatingObj& box = *sections[0]->Images()[0];
  EXPECT_EQ(box.DrawY, test::kBodyY + 2 + 1);
  EXPECT_EQ(sections[0]->Lines()[0].BandHeight(), 24);
}

TEST(BackgroundOffset, FromTheAxisKind) {
  using A = TBackgroundAxis;
  const std::vector<std::pair<A, int>> cases = {{{A::Top, 0}, 0},    {{A::Left, 0}, 0},     {{A::Center, 0}, 30},
                                                {{A::Bottom, 0}, 60}, {{A::Right, 0}, 60},  {{A::Percent, 50}, 30},
                                                {{A::Percent, 100}, 60}, {{A::Pixels, -7}, -7}};
  for (const auto& [axis, expected] : cases) EXPECT_EQ(BackgroundOffset(axis, 100, 40), expected) << axis.Kind;
}

TEST_F(ImageObjectTest, BackgroundPicturesAreTiledFromTheirPosition) {
  auto document = Load("<div style=\"background: url(wide.png) no-repeat 10px 5px; height: 60px\">x</div>"
                       "<table cellspacing=0 cellpadding=0><tr><td background=wide.png width=100 height=30>y</td></tr></table>");
  document->LayOut(400);
  const QImage page = document->Paint(400, 200);
  const int x = test::kBodyX + 10, y = test::kBodyY + 5;
  EXPECT_EQ(page.pixel(x, y), kRed);
  EXPECT_EQ(page.pixel(x + 39, y + 19), kRed);
  EXPECT_EQ(page.pixel(x + 40, y + 10), 0xFFFFFFFFu) << "no repeat across";
  EXPECT_EQ(page.pixel(x + 10, y + 20), 0xFFFFFFFFu) << "no repeat down";
  EXPECT_EQ(page.pixel(x - 1, y), 0xFFFFFFFFu);
  // The cell repeats its picture over its whole box.
  const int cellTop = test::kBodyY + 60;
  EXPECT_EQ(page.pixel(test::kBodyX + 95, cellTop + 25), kRed);

  auto body = Load("<body background=wide.png>text");
  body->LayOut(400);
  const QImage bodyPage = body->Paint(400, 100);
  EXPECT_EQ(bodyPage.pixel(0, 0), 0xFFFFFFFFu) << "the document's background is the viewer's to paint";
  QImage panel(400, 100, QImage::Format_ARGB32_Premultiplied);
  panel.fill(Qt::white);
  {
    QPainter painter(&panel);
    body->Document.PaintBackgroundImage(painter, QRect(0, 0, 400, 100), 400);
  }
  EXPECT_EQ(panel.pixel(0, 0), kRed);
  EXPECT_EQ(panel.pixel(399, 99), kRed);
}

// A host with a clock the test moves on.
class ClockHost : public TDocumentHost {
 public:
  std::int64_t now = 1000;
  bool timerEnabled = false;
  std::vector<QRect> repainted;
  std::int64_t AnimationClock() const override { return now; }
  void EnableAnimationTimer(bool enabled) override { timerEnabled = enabled; }
  void InvalidatePanelRect(const QRect& rect) override { repainted.push_back(rect); }
};

TEST_F(ImageObjectTest, AnimationsStepOnTheClockAndRepaintTheirRectangle) {
  ClockHost host;
  auto document = Load("<img src=moving.gif width=8 height=4><img src=moving.gif>");
  document->Document.SetHost(&host);
  document->LayOut(400);
  EXPECT_TRUE(host.timerEnabled);
  const std::vector<TImageObj*> images = Images(*document);
  ASSERT_EQ(images.size(), 2u);
  ASSERT_TRUE(images[0]->Picture().IsAnimated());
  // Each object animates a picture of its own.
  EXPECT_NE(images[0]->Picture().Animation, images[1]->Picture().Animation);
  EXPECT_EQ(document->Document.AnimatedImages().size(), 2u);

  // Not yet drawn: nothing steps, however long the frame has shown.
  host.now += 150;
  EXPECT_EQ(document->Document.StepAnimations(host.now), 0);
  QImage page = document->Paint(400, 40);
  const QRect first(images[0]->DrawX, images[0]->DrawY, 8, 4);
  EXPECT_EQ(page.pixel(first.topLeft()), kRed);

  struct Step {
    int advance;
    int changed;
    int frame;
  };
  // Frames of 100 ms, endless: the third is followed by the first.
  for (const Step& step : std::vector<Step>{{0, 2, 2}, {99, 0, 2}, {1, 2, 3}, {100, 2, 1}}) {
    host.repainted.clear();
    host.now += step.advance;
    EXPECT_EQ(document->Document.StepAnimations(host.now), step.changed) << host.now;
    EXPECT_EQ(images[0]->Picture().Animation->CurrentFrame(), step.frame) << host.now;
    if (step.changed != 0) {
      EXPECT_EQ(host.repainted.front(), first);
    }
  }
  page = document->Paint(400, 40);
  EXPECT_EQ(page.pixel(first.topLeft()), kRed);
  host.now += 100;
  document->Document.StepAnimations(host.now);
  page = document->Paint(400, 40);
  EXPECT_EQ(page.pixel(first.topLeft()), kGreen);
  document->Document.SetHost(nullptr);
}

TEST_F(ImageObjectTest, DelayedPicturesShowTheDefaultPictureUntilHandedIn) {
  TStringBitmapList cache;
  TImageFetch fetch(cache);
  int requests = 0;
  fetch.OnImageRequest = [&requests](const std::string&) {
    ++requests;
    return TImageStream::Waiting();
  };
  TBuilderHandlers handlers;
  handlers.BaseAddress = (temp.Path() / "page.html").string();
  TTestDocument document("", true, handlers);
  document.Document.SetPictureFetch(&fetch);
  LoadHtmlDocument(document.Document, "<img src=late.png><img src=late.png alt=Later>", TDocumentDefaults{}, handlers);
  document.LayOut(400);
  std::vector<TImageObj*> images = Images(document);
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(requests, 1) << "the second object waits for the same picture";
  EXPECT_TRUE(images[0]->IsDelayed());
  EXPECT_TRUE(images[1]->IsDelayed());
  EXPECT_EQ(images[0]->ObjWidth, 24);

  const std::string name = document.Document.ExpandPictureName("late.png");
  ASSERT_TRUE(fetch.HandIn(name, Png(30, 12, kGreen)));
  EXPECT_TRUE(document.Document.PictureArrived(name));
  EXPECT_FALSE(document.Document.PictureArrived(name)) << "nobody waits any more";
  document.LayOut(400);
  for (TImageObj* image : Images(document)) {
    EXPECT_FALSE(image->IsPlaceholder());
    EXPECT_EQ(image->ObjWidth, 30);
    EXPECT_EQ(image->ObjHeight, 12);
  }
  EXPECT_EQ(cache.Find(name)->UsageCount, 2);
  document.Document.Clear();
  EXPECT_EQ(cache.Find(name)->UsageCount, 0);
}

TEST_F(ImageObjectTest, ImagesNotShownKeepTheirPlaceholderAndFetchNothing) {
  TBuilderHandlers handlers;
  handlers.BaseAddress = (temp.Path() / "page.html").string();
  TTestDocument document("", true, handlers);
  document.Document.ShowImages = false;
  LoadHtmlDocument(document.Document, "<img src=wide.png>", TDocumentDefaults{}, handlers);
  document.Document.ShowImages = false;
  document.LayOut(400);
  const std::vector<TImageObj*> images = Images(document);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_TRUE(images[0]->IsPlaceholder());
  EXPECT_EQ(images[0]->ObjWidth, 24);
  EXPECT_EQ(document.Document.PictureFetch().Cache().Count(), 0);
}

}  // namespace
}  // namespace corvane
