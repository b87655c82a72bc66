// The dialog templates and the string table. Each template lists its
// controls in template order, which is also the Tab order; positions and
// sizes are dialog units.
#include "platform/ui/model/resources.h"
#include "res/Resources.h"
#include "res/resource.h"

namespace corvane {

const char* const AboutTexts::kTitle = "About Corvane v. 2.0";
const char* const AboutTexts::kNameVersion = "Corvane version 2.0";
// Each text fits its box: the name, author and contact lines on one line,
// the licence paragraphs on two.
const char* const AboutTexts::kAuthor = "the Corvane developers";
const char* const AboutTexts::kContact = "Contact: the project page";
const char* const AboutTexts::kLicence[5] = {
    "Corvane is freeware. You may use it free of charge for any non-commercial purpose.",
    "You may copy and give the program away, unchanged and free of charge. It may not be sold.",
    "The program is provided \"as is\", without warranty of any kind, express or implied.",
    "The Corvane developers accept no liability for damage to cameras or data caused by its use.",
    "Use it at your own risk: note a cell's code before you write a new one.",
};

const char* const kTesterTitle = "Corvane v. 2.0";
const char* const kMemoryMapTitle = "Memory map";
const char* const kCodeGridClass = "CorvaneCodeGrid";

namespace {

using namespace platform::ui;

DialogTemplate AboutTemplate() {
  DialogTemplate t;
  t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  t.extended = false;
  t.x = 0;
  t.y = 0;
  t.cx = 282;
  t.cy = 186;
  t.title = AboutTexts::kTitle;
  t.fontName = "MS Sans Serif";
  t.fontPoints = 8;
  const char* const* lic = AboutTexts::kLicence;
  t.items = {
      LText(AboutTexts::kNameVersion, -1, 40, 5, 119, 8, SS_NOPREFIX | WS_GROUP),
      DefPushButton("OK", IDOK, 235, 10, 32, 14, WS_TABSTOP | WS_GROUP),
      IconControl(IDI_TESTER, -1, 11, 17, 20, 20),
      LText(AboutTexts::kAuthor, -1, 40, 20, 100, 8, WS_GROUP),
      LText(AboutTexts::kContact, -1, 40, 35, 100, 8, WS_GROUP),
      LText(lic[0], -1, 15, 50, 250, 20, WS_GROUP),
      LText(lic[1], -1, 15, 70, 250, 25, WS_GROUP),
      LText(lic[2], -1, 15, 95, 250, 25, WS_GROUP),
      LText(lic[3], -1, 15, 120, 250, 25, WS_GROUP),
      LText(lic[4], -1, 15, 144, 250, 19, WS_GROUP),
  };
  return t;
}

DialogTemplate TesterTemplate() {
  // Every edit: border, centred text, horizontal scrolling; none converts
  // to upper case (lower case is refused by the commands instead).
  const DWORD edit = WS_BORDER | ES_CENTER | ES_AUTOHSCROLL;
  DialogTemplate t;
  t.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
  t.exStyle = WS_EX_APPWINDOW;  // a task-bar button of its own
  t.extended = true;
  t.x = 0;
  t.y = 0;
  t.cx = 267;
  t.cy = 90;
  t.title = kTesterTitle;
  t.fontName = "MS Sans Serif";
  t.fontPoints = 8;
  t.items = {
      PushButton("Read", IDC_READ, 105, 70, 32, 15, WS_TABSTOP),
      PushButton("Write", IDC_WRITE, 155, 70, 30, 15, WS_TABSTOP | WS_DISABLED),
      // The boxes are narrower than their captions; the texts to their
      // right carry the visible names.
      Auto3StateBox("Com1", IDC_COM1, 205, 10, 10, 10, WS_TABSTOP),
      Auto3StateBox("Com2", IDC_COM2, 205, 25, 8, 10, WS_TABSTOP),
      Auto3StateBox("Com3", IDC_COM3, 205, 40, 10, 10, WS_TABSTOP),
      Auto3StateBox("Com4", IDC_COM4, 205, 55, 10, 10, WS_TABSTOP),
      LText("COM 1", -1, 221, 10, 34, 10, WS_GROUP),
      LText("COM 2", -1, 221, 25, 34, 10, WS_GROUP),
      LText("COM 3", -1, 221, 40, 34, 10, WS_GROUP),
      LText("COM 4", -1, 221, 55, 34, 10, WS_GROUP),
      EditText(IDC_REF_ADDRESS, 65, 25, 20, 12, edit | ES_READONLY),
      EditText(IDC_ADDRESS, 65, 45, 20, 12, edit | WS_TABSTOP),
      EditText(IDC_REF_CODE, 109, 25, 20, 12, edit | ES_READONLY),
      EditText(IDC_CODE, 109, 45, 20, 12, edit | ES_READONLY),
      EditText(IDC_NEW_CODE, 159, 45, 20, 12, edit),
      GroupBox("Address", -1, 55, 10, 40, 55),
      GroupBox("Code", -1, 99, 10, 90, 55),
      GroupBox("Page", -1, 10, 10, 40, 55),
      EditText(IDC_REF_PAGE, 20, 25, 20, 12, edit | ES_READONLY),
      EditText(IDC_PAGE, 20, 45, 20, 12, edit | ES_NUMBER),
  };
  return t;
}

// Two grids of 17 x 17 cells (headings and 16 x 16 codes) side by side,
// the progress bar and the status line below, the buttons at the bottom.
DialogTemplate MemoryMapTemplate() {
  DialogTemplate t;
  t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  t.x = 0;
  t.y = 0;
  t.cx = 425;
  t.cy = 246;
  t.title = kMemoryMapTitle;
  t.fontName = "MS Sans Serif";
  t.fontPoints = 8;
  DialogItemTemplate page0{kCodeGridClass,        "", IDC_MAP_PAGE0, 7, 17, 204, 170,
                           WS_BORDER | WS_TABSTOP};
  DialogItemTemplate page1{kCodeGridClass,        "", IDC_MAP_PAGE1, 214, 17, 204, 170,
                           WS_BORDER | WS_TABSTOP};
  DialogItemTemplate progress{PROGRESS_CLASSA, "", IDC_MAP_PROGRESS, 7, 192, 411, 9, WS_BORDER};
  t.items = {
      LText("Page 0", -1, 7, 6, 60, 9),
      page0,
      LText("Page 1", -1, 214, 6, 60, 9),
      page1,
      progress,
      LText("", IDC_MAP_STATUS, 7, 205, 411, 9, SS_NOPREFIX),
      PushButton("&Read all", IDC_MAP_READ, 7, 222, 50, 15),
      PushButton("Cancel", IDC_MAP_STOP, 61, 222, 40, 15, WS_TABSTOP | WS_DISABLED),
      PushButton("&Save...", IDC_MAP_SAVE, 113, 222, 44, 15, WS_TABSTOP | WS_DISABLED),
      PushButton("C&ompare...", IDC_MAP_COMPARE, 161, 222, 50, 15, WS_TABSTOP | WS_DISABLED),
      PushButton("Restore &differences...", IDC_MAP_RESTORE, 215, 222, 86, 15,
                 WS_TABSTOP | WS_DISABLED),
      PushButton("&Undo restore", IDC_MAP_UNDO, 305, 222, 58, 15, WS_TABSTOP | WS_DISABLED),
      PushButton("Close", IDCANCEL, 368, 222, 50, 15),
  };
  return t;
}

}  // namespace

void RegisterCorvaneResources() {
  RegisterDialogTemplate(IDD_ABOUT, AboutTemplate());
  RegisterDialogTemplate(IDD_TESTER, TesterTemplate());
  RegisterDialogTemplate(IDD_MEMORYMAP, MemoryMapTemplate());
  RegisterString(IDS_ABOUT_MENU, "&About Corvane...");
  RegisterString(IDS_MEMORYMAP_MENU, "Memory map...");
  RegisterIcon(IDI_TESTER, TesterIconImage(32), TesterIconImage(16));
}

}  // namespace corvane
