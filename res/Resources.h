// The program's resources as data: the two dialog templates, the string
// table and the icon, registered with the window layer by number
// (platform/ui/model/resources.h). The executable and the tests call
// RegisterCorvaneResources once before any dialog runs; calling it again is
// harmless (the entries are replaced by equal ones).
#pragma once

#include <string>

#include "platform/ui/model/model.h"

namespace corvane {

void RegisterCorvaneResources();

// The images of IDI_TESTER: size 32 or 16 (anything else gives the 16 x 16
// one). RGBA, transparent pixels with alpha 0; every opaque pixel is one of
// the sixteen colours of kIconPalette.
platform::ui::IconImage TesterIconImage(int size);

// The sixteen colours the icon is drawn with, as 0xRRGGBB.
extern const unsigned kIconPalette[16];

// The About box's texts, for the box's template and for the tests.
struct AboutTexts {
  static const char* const kTitle;
  static const char* const kNameVersion;
  static const char* const kAuthor;
  static const char* const kContact;
  static const char* const kLicence[5];
};

// Title of the main dialog.
extern const char* const kTesterTitle;
// Title of the memory map, and the window class of its two grids.
extern const char* const kMemoryMapTitle;
extern const char* const kCodeGridClass;

}  // namespace corvane
