#include "app/dialog_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "text/text_encoding.h"

namespace {

TEST(DialogUnitsPer1000Pixels, RoundsHalvesUpwards) {
  const struct {
    int32_t pixels;
    int32_t units;
  } cases[] = {
      {2000, 500},   // exact
      {2250, 444},   // 444.44
      {2222, 450},   // 450.045
      {2249, 445},   // 444.64
      {640, 1563},   // 1562.5
      {16000, 63},   // 62.5
      {400000, 3},   // 2.5
      {1000, 1000},  // exact
      {3000, 333},   // 333.33
      {0, 0},        // nothing measured
      {-5, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DialogUnitsPer1000Pixels(c.pixels), c.units) << "pixels " << c.pixels;
  }
}

TEST(PixelsToDialogUnits, RoundsExactHalvesToEven) {
  const struct {
    int32_t unitsPer1000Pixels;
    int32_t pixels;
    int32_t units;
  } cases[] = {
      {500, 1, 0},       // 0.5
      {500, 3, 2},       // 1.5
      {500, 5, 2},       // 2.5
      {500, 7, 4},       // 3.5
      {444, 125, 56},    // 55.5
      {444, 218, 97},    // 96.792
      {444, 170, 75},    // 75.48
      {333, 170, 57},    // 56.61
      {1563, 164, 256},  // 256.332
      {0, 218, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PixelsToDialogUnits(c.unitsPer1000Pixels, c.pixels), c.units)
        << c.unitsPer1000Pixels << " x " << c.pixels;
  }
}

// MapDialogRect's conversion for a font with the given base units: x * baseX / 4 and
// y * baseY / 8, to the nearest pixel.
int32_t MapUnits(int32_t units, int32_t baseUnits, int32_t divisor) {
  return static_cast<int32_t>(std::lround(static_cast<double>(units) * baseUnits / divisor));
}

// For every font size the window's inside comes out at the picture's size within the
// rounding of the two conversions, the bar spans the whole width, and its visible strip at
// the bottom is 6 pixels within the same rounding.
TEST(LayOutProgressWindow, InsideMatchesThePictureForEveryFontSize) {
  for (int32_t baseX = 4; baseX <= 16; ++baseX) {
    for (int32_t baseY = 8; baseY <= 32; ++baseY) {
      SCOPED_TRACE(testing::Message() << "base units " << baseX << " x " << baseY);
      const int32_t ux = DialogUnitsPer1000Pixels(MapUnits(kMeasuredUnits, baseX, 4));
      const int32_t uy = DialogUnitsPer1000Pixels(MapUnits(kMeasuredUnits, baseY, 8));
      const ProgressLayout layout = LayOutProgressWindow(ux, uy);

      // One conversion rounds to half a dialog unit, the factor to half a unit per 1000
      // pixels; MapDialogRect adds half a pixel.
      const double slackX = (0.5 + 0.5 * kPictureWidth / 1000.0) * baseX / 4 + 0.5;
      const double slackY = (0.5 + 0.5 * kPictureHeight / 1000.0) * baseY / 8 + 0.5;
      const int32_t width = MapUnits(layout.windowWidth, baseX, 4);
      const int32_t height = MapUnits(layout.windowHeight, baseY, 8);
      EXPECT_LE(std::abs(width - kPictureWidth), slackX);
      EXPECT_LE(std::abs(height - kPictureHeight), slackY);

      EXPECT_EQ(layout.picture.left, 0);
      EXPECT_EQ(layout.picture.top, 0);
      EXPECT_GE(MapUnits(layout.picture.right, baseX, 4), width);
      EXPECT_GE(MapUnits(layout.picture.bottom, baseY, 8), height);

      EXPECT_EQ(layout.bar.left, 0);
      EXPECT_EQ(layout.bar.right, layout.windowWidth);
      const int32_t barTop = MapUnits(layout.bar.top, baseY, 8);
      EXPECT_GT(MapUnits(layout.bar.bottom, baseY, 8), height);
      EXPECT_LE(std::abs((height - barTop) - (kPictureHeight - kBarTop)), 2 * slackY);
    }
  }
}

TEST(LayOutProgressWindow, TypicalFont) {
  // 16-point text at 96 dots per inch: base units 9 x 24 (1000 units: 2250 x 3000 pixels).
  const ProgressLayout layout = LayOutProgressWindow(444, 333);
  EXPECT_EQ(layout.windowWidth, 97);
  EXPECT_EQ(layout.windowHeight, 57);
  EXPECT_EQ(layout.picture.right, 142);   // 142.08
  EXPECT_EQ(layout.picture.bottom, 67);   // 66.6
  EXPECT_EQ(layout.bar.top, 55);          // 54.612
  EXPECT_EQ(layout.bar.bottom, 55 + 57);  // 56.61
  EXPECT_EQ(layout.bar.right, 97);
}

TEST(BuildDialogTemplate, ProgressWindowWithFont) {
  DialogTemplateFields fields;
  fields.style = kProgressWindowStyle;
  fields.x = -1;
  fields.y = -1;
  fields.width = 97;
  fields.height = 57;
  fields.caption = kProgressWindowCaption;
  fields.pointSize = kProgressWindowPointSize;
  fields.faceName = kProgressWindowFont;
  std::vector<uint16_t> expected = {0x0854, 0x8008,  // style
                                    0,      0,       // extended style
                                    0,               // items
                                    0xFFFF, 0xFFFF, 97,  57,
                                    0,  // menu
                                    0,  // class
                                    'O',    'K',    'A', ' ', 'P', 'F', 0, 16};
  for (char c : std::string_view("Times New Roman")) expected.push_back(static_cast<uint16_t>(c));
  expected.push_back(0);
  EXPECT_EQ(BuildDialogTemplate(fields), expected);
}

TEST(BuildDialogTemplate, NoFontWithoutSetFontStyleAndCyrillicCaption) {
  DialogTemplateFields fields;
  fields.style = 0x80000000;  // WS_POPUP only
  fields.exStyle = 0x00010002;
  fields.width = 10;
  fields.height = 20;
  const std::string caption = Utf8ToCp1251("Касса");
  fields.caption = caption;
  fields.pointSize = 16;
  fields.faceName = "Arial";
  const std::vector<uint16_t> expected = {0, 0x8000, 0x0002, 0x0001, 0,      0,      0,      10, 20,
                                          0, 0,      0x041A, 0x0430, 0x0441, 0x0441, 0x0430, 0};
  EXPECT_EQ(BuildDialogTemplate(fields), expected);
}

}  // namespace
