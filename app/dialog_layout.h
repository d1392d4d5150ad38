// The progress window's geometry in dialog units and its in-memory dialog template.
//
// The window and its controls are specified to the system in dialog units, which depend on
// the window's font and the display. The pixel sizes of the picture (218 x 170) are turned
// into dialog units through two factors measured at run time: Ux and Uy, the dialog units
// that make 1000 pixels across and down.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// The window: popup with a system menu, centred, own font, created even if a control fails,
// 3-D look (WS_POPUP | WS_SYSMENU | DS_CENTER | DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK).
constexpr uint32_t kProgressWindowStyle = 0x80080854;
inline constexpr std::string_view kProgressWindowCaption = "OKA PF";
inline constexpr std::string_view kProgressWindowFont = "Times New Roman";
constexpr uint16_t kProgressWindowPointSize = 16;

// The window that measures the dialog units: like the progress window, 400 x 100 units.
constexpr int32_t kMeasuringWidthUnits = 400;
constexpr int32_t kMeasuringHeightUnits = 100;
// MapDialogRect is applied to 1000 x 1000 units.
constexpr int32_t kMeasuredUnits = 1000;

// Pixel sizes: the register's picture, the size asked for its control, and the progress bar
// starting 6 pixels above the picture's bottom edge (it reaches far past the window).
constexpr int32_t kPictureWidth = 218;
constexpr int32_t kPictureHeight = 170;
constexpr int32_t kPictureControlWidth = 320;
constexpr int32_t kPictureControlHeight = 200;
constexpr int32_t kBarTop = 164;
constexpr int32_t kBarWidth = 218;
constexpr int32_t kBarHeight = 170;

// Child control identifiers and styles.
constexpr int32_t kPictureId = 1002;
constexpr int32_t kProgressBarId = 3072;
constexpr uint32_t kPictureStyle = 0x5000000E;      // WS_CHILD | WS_VISIBLE | SS_BITMAP
constexpr uint32_t kProgressBarStyle = 0x50000001;  // WS_CHILD | WS_VISIBLE | PBS_SMOOTH

// Dialog units per 1000 pixels from the pixels that 1000 dialog units measure:
// 1000 * 1000 / pixels, rounded to the nearest whole number, halves upwards. 0 when pixels
// is not positive.
int32_t DialogUnitsPer1000Pixels(int32_t pixelsPer1000Units);

// A pixel length in dialog units: unitsPer1000Pixels * pixels / 1000, rounded to the nearest
// whole number, an exact half to the even neighbour.
int32_t PixelsToDialogUnits(int32_t unitsPer1000Pixels, int32_t pixels);

// A rectangle in dialog units, as MapDialogRect takes it.
struct DialogRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// Everything of the progress window in dialog units, for given Ux and Uy.
struct ProgressLayout {
  int32_t windowWidth = 0;
  int32_t windowHeight = 0;
  DialogRect picture;
  DialogRect bar;
};

ProgressLayout LayOutProgressWindow(int32_t ux, int32_t uy);

// The fields of a dialog template without items.
struct DialogTemplateFields {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int16_t x = 0;
  int16_t y = 0;
  int16_t width = 0;
  int16_t height = 0;
  std::string_view caption;   // Windows-1251
  uint16_t pointSize = 0;     // written only with DS_SETFONT in the style
  std::string_view faceName;  // Windows-1251
};

// The in-memory template (DLGTEMPLATE) as 16-bit words: style, extended style, no items,
// position and size, no menu, the standard dialog class, the caption, then with DS_SETFONT
// the point size and the face name. Texts are UTF-16 and zero-terminated. The vector's
// storage is aligned enough to hand to CreateDialogIndirectParamA.
std::vector<uint16_t> BuildDialogTemplate(const DialogTemplateFields& fields);
