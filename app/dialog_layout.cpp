#include "app/dialog_layout.h"

#include "text/cp1251.h"

namespace {

constexpr uint32_t kSetFontStyle = 0x40;  // DS_SETFONT

// numerator / denominator for positive denominators, to the nearest whole number; an exact
// half goes up or to the even neighbour.
int64_t DivideRounded(int64_t numerator, int64_t denominator, bool halfToEven) {
  int64_t quotient = numerator / denominator;
  int64_t remainder = numerator % denominator;
  if (remainder < 0) {
    quotient -= 1;
    remainder += denominator;
  }
  const int64_t twice = 2 * remainder;
  if (twice > denominator) return quotient + 1;
  if (twice < denominator) return quotient;
  if (!halfToEven) return quotient + 1;
  return quotient % 2 == 0 ? quotient : quotient + 1;
}

void AppendText(std::vector<uint16_t>& words, std::string_view text) {
  for (char16_t unit : Cp1251ToUtf16(text)) words.push_back(static_cast<uint16_t>(unit));
  words.push_back(0);
}

void AppendDword(std::vector<uint16_t>& words, uint32_t value) {
  words.push_back(static_cast<uint16_t>(value & 0xFFFF));
  words.push_back(static_cast<uint16_t>(value >> 16));
}

}  // namespace

int32_t DialogUnitsPer1000Pixels(int32_t pixelsPer1000Units) {
  if (pixelsPer1000Units <= 0) return 0;
  return static_cast<int32_t>(
      DivideRounded(int64_t{kMeasuredUnits} * kMeasuredUnits, pixelsPer1000Units, false));
}

int32_t PixelsToDialogUnits(int32_t unitsPer1000Pixels, int32_t pixels) {
  return static_cast<int32_t>(
      DivideRounded(int64_t{unitsPer1000Pixels} * pixels, kMeasuredUnits, true));
}

ProgressLayout LayOutProgressWindow(int32_t ux, int32_t uy) {
  ProgressLayout layout;
  layout.windowWidth = PixelsToDialogUnits(ux, kPictureWidth);
  layout.windowHeight = PixelsToDialogUnits(uy, kPictureHeight);
  layout.picture = {0, 0, PixelsToDialogUnits(ux, kPictureControlWidth),
                    PixelsToDialogUnits(uy, kPictureControlHeight)};
  const int32_t barTop = PixelsToDialogUnits(uy, kBarTop);
  layout.bar = {0, barTop, PixelsToDialogUnits(ux, kBarWidth),
                barTop + PixelsToDialogUnits(uy, kBarHeight)};
  return layout;
}

std::vector<uint16_t> BuildDialogTemplate(const DialogTemplateFields& fields) {
  std::vector<uint16_t> words;
  AppendDword(words, fields.style);
  AppendDword(words, fields.exStyle);
  words.push_back(0);  // no items
  words.push_back(static_cast<uint16_t>(fields.x));
  words.push_back(static_cast<uint16_t>(fields.y));
  words.push_back(static_cast<uint16_t>(fields.width));
  words.push_back(static_cast<uint16_t>(fields.height));
  words.push_back(0);  // no menu
  words.push_back(0);  // the standard dialog class
  AppendText(words, fields.caption);
  if (fields.style & kSetFontStyle) {
    words.push_back(fields.pointSize);
    AppendText(words, fields.faceName);
  }
  return words;
}
