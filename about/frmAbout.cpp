// The About window: layout, load, links and lifetime. The system-information launcher is in
// frmAboutSysInfo.cpp.
#include "about/frmAbout.h"

#include <memory>

#include "platform/MsTop.h"
#include "platform/toolkit/App.h"
#include "platform/toolkit/Dpi.h"
#include "platform/toolkit/Error.h"
#include "platform/toolkit/Seam.h"
#include "resources/resource.h"

namespace {

constexpr COLORREF kBlue = 0x00FF0000;
constexpr COLORREF kBlack = 0x00000000;
constexpr double kClientWidthTwips = 5730, kClientHeightTwips = 3990;
constexpr tk::TwipsRect kFrame2{1560, 840, 3975, 1095};
constexpr tk::TwipsRect kFrame1{120, 2405, 4095, 1455};

// The texts inside a frame are children of the form, placed at the frame's offset.
tk::TwipsRect InFrame(const tk::TwipsRect& frame, tk::TwipsRect r) {
  r.left += frame.left;
  r.top += frame.top;
  return r;
}

// The tall picture drawn for the largest resolution that does not exceed the screen's, so that
// it fits its box (which grows with the resolution) and is never stretched.
int BannerFor(int dpi) {
  const struct {
    int dpi, id;
  } kBanners[] = {
      {192, IDB_ABOUT_PICTURE_192}, {144, IDB_ABOUT_PICTURE_144}, {120, IDB_ABOUT_PICTURE_120}};
  for (const auto& b : kBanners)
    if (dpi >= b.dpi && FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(b.id), RT_BITMAP))
      return b.id;
  return IDB_ABOUT_PICTURE;
}

// Clicks on the pictures arrive as STN_CLICKED, on the buttons as BN_CLICKED.
static_assert(STN_CLICKED == BN_CLICKED);

}  // namespace

frmAbout::~frmAbout() {
  if (Loaded()) Unload();
}

void frmAbout::Load() {
  if (Loaded()) return;
  HINSTANCE module = GetModuleHandleA(nullptr);
  // Owned windows get no task-bar button; the owner is our own hidden window, not the main
  // window, so that the About window's place among the windows is its own.
  if (!owner_)
    owner_.Reset(
        CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, module, nullptr));
  handCursor_ = LoadCursorA(module, MAKEINTRESOURCEA(IDC_HAND_POINTER));
  if (!handCursor_)
    handCursor_ = LoadCursor(nullptr, IDC_HAND);  // a program built without our resources

  // Missing resources leave the pictures empty; the window works all the same.
  auto globe = tk::LoadScaledIcon(IDI_ABOUT_ICON, 32);
  auto banner = tk::Picture::FromBitmap(static_cast<HBITMAP>(LoadImageA(
      module, MAKEINTRESOURCEA(BannerFor(tk::ScreenDpiX())), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));

  Style s;
  s.clientWidthTwips = kClientWidthTwips;
  s.clientHeightTwips = kClientHeightTwips;
  s.style =
      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;  // fixed dialog border, no minimise or maximise
  s.exStyle = WS_EX_DLGMODALFRAME;
  s.owner = owner_.Get();
  CreateForm(s);
  tk::SetWindowIcons(hwnd(), IDI_ABOUT_ICON);
  CreateControls();
  picIcon.Picture(banner);
  Image1.Picture(globe);
  Form_Load();
}

void frmAbout::CreateControls() {
  // Controls that take the focus first, in tab order.
  picIcon.Create(*this, idPicIcon, {120, 120, 1065, 2205}, true);
  SetWindowLongA(picIcon.hwnd(), GWL_STYLE, GetWindowLongA(picIcon.hwnd(), GWL_STYLE) | WS_TABSTOP);
  picIcon.ToolTipText("Vellmark Software");
  Command1.Create(*this, idCommand1, {1560, 2040, 2295, 345}, "&Join the Vellmark mailing list");
  Command1.ToolTipText("Join our mailing list");
  Command2.Create(*this, idCommand2, {4320, 2040, 1245, 345}, "&Vellmark");
  Command2.ToolTipText("Visit Vellmark");
  Command3.Create(*this, idCommand3, {4290, 2777, 1245, 345}, "Clos&e");
  Command3.ToolTipText("Close this window");
  Command4.Create(*this, idCommand4, {4290, 3480, 1245, 345}, "&System Info");
  Command4.ToolTipText("Info about your computer");
  txtAbout.Create(*this, idTxtAbout, {360, 4320, 4935, 285});  // below the client area

  auto titleFont = std::make_shared<tk::StdFont>("MS Sans Serif", 9.75, true);
  lblTitle.Create(*this, idLblTitle, {1560, 240, 2805, 240}, "", tk::Label::kWordWrap);
  lblTitle.Font(titleFont);
  lblTitle.ForeColor(kBlue);
  lblVersion.Create(*this, idLblVersion, {1560, 600, 2325, 225}, "", tk::Label::kWordWrap);
  lblVersion.Font(titleFont);
  lblVersion.ForeColor(kBlue);
  Image1.Create(*this, idImage1, {5040, 120, 480, 480});
  lblDescription.Create(*this, idLblDescription, InFrame(kFrame2, {120, 120, 3795, 810}), "",
                        tk::Label::kWordWrap);
  lblDescription.ForeColor(kBlack);
  lblDisclaimer.Create(*this, idLblDisclaimer, InFrame(kFrame1, {120, 240, 3870, 1185}), "",
                       tk::Label::kWordWrap);
  lblDisclaimer.ForeColor(kBlack);
  // The frames last: siblings made later lie below, so the frames never cover their texts.
  Frame2.Create(*this, idFrame2, kFrame2);
  Frame1.Create(*this, idFrame1, kFrame1);
}

void frmAbout::Form_Load() {
  Caption("About " + tk::App::Title());
  lblVersion.Caption("Version " + std::to_string(tk::App::Major()) + "." +
                     std::to_string(tk::App::Minor()) + "." + std::to_string(tk::App::Revision()));
  lblTitle.Caption(tk::App::Title());
  SetTopMost(hwnd(), true);
}

void frmAbout::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case idPicIcon:
      picIcon_Click();
      break;
    case idImage1:
      Image1_Click();
      break;
    case idCommand1:
      Command1_Click();
      break;
    case idCommand2:
      Command2_Click();
      break;
    case idCommand3:
      Command3_Click();
      break;
    case idCommand4:
      Command4_Click();
      break;
    default:
      break;
  }
}

void frmAbout::OnMouseMove(tk::Control& target) {
  if (&target == &Command1)
    Command1_MouseMove();
  else if (&target == &Command2)
    Command2_MouseMove();
}

void frmAbout::OpenPage(const char* address) {
  // The shell's answer is not examined: a page that cannot be opened is the shell's to report.
  tk::Guarded(
      [&] { tk::CurrentSeam().ShellExecuteVerb(hwnd(), "open", address, "", "", SW_SHOWNORMAL); });
}

void frmAbout::Command1_Click() { OpenPage(about_links::kMailingList); }
void frmAbout::Command2_Click() { OpenPage(about_links::kWebSite); }
void frmAbout::picIcon_Click() { OpenPage(about_links::kWebSite); }

void frmAbout::Image1_Click() {
  // "start" is a command of the interpreter, not a program. CreateProcess finds no console
  // for it to show, so none flashes up; a start that fails leaves the window as it was.
  tk::Guarded([] {
    char system[MAX_PATH] = {};
    UINT n = GetSystemDirectoryA(system, MAX_PATH);
    std::string interpreter =
        (n > 0 && n < MAX_PATH) ? std::string(system, n) + "\\cmd.exe" : "cmd.exe";
    tk::CurrentSeam().StartProcess("\"" + interpreter + "\" /c start " + about_links::kWebSite, 2);
  });
}

void frmAbout::Command3_Click() { Unload(); }
void frmAbout::Command4_Click() { StartSysInfo(); }

void frmAbout::Command1_MouseMove() { Command1.Cursor(handCursor_); }
void frmAbout::Command2_MouseMove() { Command2.Cursor(handCursor_); }

frmAbout& ShowAbout() {
  // The form list must outlive the instance, which unloads itself if still loaded at exit.
  (void)tk::Form::Forms();
  static std::unique_ptr<frmAbout> instance;
  if (!instance || !instance->Loaded()) {
    instance.reset();  // an unloaded instance is not reused: each load starts afresh
    instance = std::make_unique<frmAbout>();
    instance->Load();
    instance->Show();
    instance->picIcon.SetFocus();  // the first control in tab order
  } else {
    instance->Show();
  }
  SetForegroundWindow(instance->hwnd());
  return *instance;
}
