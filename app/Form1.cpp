// The main window: creation and layout, stay on top, help, the idle look and closing.
#include "app/Form1.h"

#include "about/frmAbout.h"
#include "platform/MsTop.h"
#include "platform/toolkit/App.h"
#include "platform/toolkit/Dpi.h"
#include "platform/toolkit/Error.h"
#include "platform/toolkit/Seam.h"
#include "resources/resource.h"

namespace {

constexpr double kClientWidthTwips = 7290;
constexpr double kClientHeightTwips = 5715;
constexpr UINT kTimerIntervalMs = 2000;
constexpr int kF1 = 112;

// The progress bar's stored design values: blue, brush style 0, "MS Sans Serif" 8.25 pt.
tk::PropertyBag ProgressBarStoredValues() {
  tk::PropertyBag bag;
  bag.WriteProperty("Font", std::make_shared<tk::StdFont>("MS Sans Serif", 8.25));
  bag.WriteProperty("BrushStyle", int32_t{0});
  bag.WriteProperty("Color", int32_t{0x00FF0000});
  return bag;
}

}  // namespace

bool Form1::Load() {
  Style style;
  style.caption = tk::App::Title();
  style.clientWidthTwips = kClientWidthTwips;
  style.clientHeightTwips = kClientHeightTwips;
  style.keyPreview = true;
  CreateForm(style);
  tk::SetWindowIcons(hwnd(), IDI_APP);
  CreateControls();
  Form_Load();
  if (endRequested_) {
    Unload();
    return false;
  }
  Show();
  cmdDummy.SetFocus();
  return true;
}

void Form1::CreateControls() {
  // Created in order of tab index: Z order is tab order.
  cmdDummy.Create(*this, idCmdDummy, {1920, 6480, 495, 255}, "Command3");
  Command1.Create(*this, idCommand1, {6360, 1080, 375, 285}, "....");
  Command1.ToolTipText("Select Zip file");
  cmdOpen.Create(*this, idCmdOpen, {6840, 1680, 375, 285}, "....");
  cmdOpen.ToolTipText("Add files to zip");
  Command2.Create(*this, idCommand2, {3014, 5280, 1215, 350}, "&Unzip");
  cmdZip.Create(*this, idCmdZip, {4461, 5280, 1215, 350}, "&Zip");
  cmdHelp.Create(*this, idCmdHelp, {1567, 5280, 1215, 350}, "&Help");
  cmdAbout.Create(*this, idCmdAbout, {120, 5280, 1215, 350}, "&About");
  cmdOpenDir.Create(*this, idCmdOpenDir, {5785, 4770, 1335, 350}, "&Open Directory");
  cmdOpenDir.Enabled(false);
  cmdClose.Create(*this, idCmdClose, {5910, 5280, 1215, 350}, "&Close");
  txtPath.Create(*this, idTxtPath, {120, 1080, 6135, 285});
  DragAcceptFiles(txtPath.hwnd(), TRUE);
  List1.Create(*this, idList1, {120, 1680, 6645, 2985});
  DragAcceptFiles(List1.hwnd(), TRUE);

  Label3.Create(*this, idLabel3, {120, 840, 0, 0}, "Browse for or Drag a Zip file here to extract",
                tk::Label::kAutoSize);
  imgNot.Create(*this, idImgNot, {6870, 1080, 315, 315});
  imgNot.Picture(tk::LoadScaledIcon(IDI_NOT_ON_TOP, 21));
  imgNot.ToolTipText("Don't Stay On Top");
  imgTop.Create(*this, idImgTop, {6870, 1065, 315, 315});
  imgTop.Picture(tk::LoadScaledIcon(IDI_ON_TOP, 21));
  imgTop.ToolTipText("Stay On Top of other Windows");
  imgTop.Visible(false);
  Label4.Create(*this, idLabel4, {120, 1440, 0, 0}, kNoListText, tk::Label::kAutoSize);
  Label1.Create(*this, idLabel1, {120, 4800, 5655, 495}, kIdleText, tk::Label::kWordWrap);
  Label2.Create(*this, idLabel2, {600, 6840, 6495, 975}, "");
  lblPath.Create(*this, idLblPath, {0, 8040, 7080, 195}, "Label2");

  tk::PropertyBag bar = ProgressBarStoredValues();
  XP_ProgressBarBlue.CreateUserControl(*this, idProgressBar, {120, 4825, 5535, 240}, &bar);
  XP_ProgressBarBlue.Visible(false);
  tk::PropertyBag header = header::InfoHeader1StoredValues(tk::LoadScaledIcon(IDI_HEADER, 32));
  InfoHeader1.CreateUserControl(*this, idInfoHeader1, {0, 0, 7335, 615}, &header);
  InfoHeader1.Visible(true);

  Timer1.Interval(kTimerIntervalMs);
  Timer1.Enabled(false);
  handCursor_ = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_HAND_POINTER));
}

void Form1::Form_Load() {
  if (tk::App::PrevInstance()) {
    endRequested_ = true;
    return;
  }
  XP_ProgressBarBlue.Color(0x00FF0000);
}

void Form1::OnCommand(int id, int code) {
  // Pictures report clicks as STN_CLICKED, buttons as BN_CLICKED; both are code 0.
  if (code != BN_CLICKED) return;
  switch (id) {
    case idImgNot:
      imgNot_Click();
      break;
    case idImgTop:
      imgTop_Click();
      break;
    case idCmdHelp:
      cmdHelp_Click();
      break;
    case idCmdClose:
      cmdClose_Click();
      break;
    case idCmdAbout:
      cmdAbout_Click();
      break;
    case idCmdOpen:
      cmdOpen_Click();
      break;
    case idCmdZip:
      cmdZip_Click();
      break;
    case idCommand1:
      Command1_Click();
      break;
    case idCommand2:
      Command2_Click();
      break;
    case idCmdOpenDir:
      cmdOpenDir_Click();
      break;
  }
}

void Form1::OnDropFiles(tk::Control& target, const std::vector<std::string>& files) {
  if (&target == &List1) List1_OLEDragDrop(files);
  if (&target == &txtPath) txtPath_OLEDragDrop(files);
}

void Form1::OnMouseMove(tk::Control& target) {
  if (&target == &imgNot) imgNot_MouseMove();
  if (&target == &imgTop) imgTop_MouseMove();
}

void Form1::imgNot_Click() {
  SetTopMost(hwnd(), true);
  imgNot.Visible(false);
  imgTop.Visible(true);
}

void Form1::imgTop_Click() {
  SetTopMost(hwnd(), false);
  imgNot.Visible(true);
  imgTop.Visible(false);
}

void Form1::imgNot_MouseMove() { imgNot.Cursor(handCursor_); }
void Form1::imgTop_MouseMove() { imgTop.Cursor(handCursor_); }

void Form1::cmdHelp_Click() {
  tk::CurrentSeam().ShellExecuteVerb(hwnd(), "open", tk::App::Path() + "\\Parcelo.chm", "", "",
                                     SW_SHOWNORMAL);
}

void Form1::Form_KeyDown(int keyCode, int /*shift*/) {
  if (keyCode == kF1) cmdHelp_Click();
}

void Form1::cmdClose_Click() { Unload(); }

void Form1::Form_Unload() {
  // Every other open window goes with the main window, the About window included.
  std::vector<tk::Form*> others;
  for (tk::Form* f : tk::Form::Forms())
    if (f != this) others.push_back(f);
  for (tk::Form* f : others) f->Unload();
}

void Form1::Timer1_Timer() { RestoreIdleLook(); }

void Form1::RestoreIdleLook() {
  XP_ProgressBarBlue.Visible(false);
  Label1.Visible(true);
  Timer1.Enabled(false);
}

void Form1::EndInFailure(const std::string& statusLine, const std::string& text) {
  tk::Guarded([&] { XP_ProgressBarBlue.Max(savedMax_); });
  Label1.Caption(statusLine);
  RestoreIdleLook();
  tk::MsgBox(text, MB_OK | MB_ICONEXCLAMATION, tk::App::Title(), hwnd());
}

void Form1::cmdAbout_Click() { ShowAbout(); }
