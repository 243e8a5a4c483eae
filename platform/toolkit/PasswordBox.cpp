#include "platform/toolkit/PasswordBox.h"

#include "platform/toolkit/Events.h"
#include "platform/toolkit/Seam.h"
#include "platform/toolkit/Window.h"

namespace tk {

namespace {

class PasswordWindow : public Form {
 public:
  enum Id { idTxtPassword = 100, idLblText = 200 };

  bool Run(HWND owner, const std::string& text, const std::string& caption, SecretText& answer);

 private:
  enum class State { kOpen, kOk, kCancel };
  void OnCommand(int id, int code) override;
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  // Enter and Esc are the window's own: the edit box would only beep at them.
  bool TakeKey(const MSG& msg);
  void ClearEditBox();

  Label lblText;
  TextBox txtPassword;
  Button cmdOK, cmdCancel;
  State state_ = State::kOpen;
};

bool PasswordWindow::Run(HWND owner, const std::string& text, const std::string& caption,
                         SecretText& answer) {
  answer.Wipe();
  Style s;
  s.caption = caption;
  s.clientWidthTwips = kPasswordClientWidthTwips;
  s.clientHeightTwips = kPasswordClientHeightTwips;
  s.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;  // fixed dialog border, no minimise or maximise
  s.exStyle = WS_EX_DLGMODALFRAME;
  s.owner = owner;
  CreateForm(s);
  if (!hwnd()) return false;
  // In order of tab index.
  txtPassword.Create(*this, idTxtPassword, {120, 1020, 5160, 285}, "", ES_PASSWORD);
  // A limit of 0 would mean none.
  SendMessageA(txtPassword.hwnd(), EM_SETLIMITTEXT,
               answer.Capacity() > 1 ? answer.Capacity() - 1 : 1, 0);
  cmdOK.Create(*this, IDOK, {2760, 1470, 1215, 345}, "OK");
  SendMessageA(cmdOK.hwnd(), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);  // drawn as the default
  cmdCancel.Create(*this, IDCANCEL, {4065, 1470, 1215, 345}, "Cancel");
  lblText.Create(*this, idLblText, {120, 120, 5160, 780}, text, Label::kWordWrap);
  // Long paths break inside the word rather than run off the window.
  SetWindowLongA(lblText.hwnd(), GWL_STYLE,
                 GetWindowLongA(lblText.hwnd(), GWL_STYLE) | SS_EDITCONTROL | SS_NOPREFIX);

  const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  Show();
  SetForegroundWindow(hwnd());
  txtPassword.SetFocus();
  MSG msg;
  while (state_ == State::kOpen && hwnd()) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the real loop
      break;
    }
    if (!TakeKey(msg)) RouteMessage(msg);
  }
  const bool ok = state_ == State::kOk && hwnd();
  if (ok) GetWindowTextA(txtPassword.hwnd(), answer.Data(), static_cast<int>(answer.Capacity()));
  ClearEditBox();
  // Enabled again before the window goes, so that the owner is the one activated.
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  Unload();
  return ok;
}

bool PasswordWindow::TakeKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE) ||
      !msg.hwnd || GetAncestor(msg.hwnd, GA_ROOT) != hwnd())
    return false;
  if (msg.wParam == VK_ESCAPE || GetFocus() == cmdCancel.hwnd())
    state_ = State::kCancel;
  else
    state_ = State::kOk;
  return true;
}

void PasswordWindow::ClearEditBox() {
  HWND edit = txtPassword.hwnd();
  if (!edit) return;
  // The edit box writes new text of the same length over its old text, in its own buffer:
  // the password does not stay behind in the freed memory.
  int length = GetWindowTextLengthA(edit);
  if (length > 0) SetWindowTextA(edit, std::string(static_cast<size_t>(length), ' ').c_str());
  SetWindowTextA(edit, "");
  SendMessageA(edit, EM_EMPTYUNDOBUFFER, 0, 0);
}

void PasswordWindow::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == IDOK) state_ = State::kOk;
  if (id == IDCANCEL) state_ = State::kCancel;
}

LRESULT PasswordWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) {  // the close box and Alt+F4: Cancel, the window goes in Run
    state_ = State::kCancel;
    return 0;
  }
  return Form::OnMessage(msg, wp, lp);
}

}  // namespace

bool ShowPasswordWindow(HWND owner, const std::string& text, const std::string& caption,
                        SecretText& answer) {
  PasswordWindow window;
  return window.Run(owner, text, caption, answer);
}

bool PasswordBox(const std::string& text, const std::string& caption, HWND owner,
                 SecretText& answer) {
  return CurrentSeam().AskPassword(owner, text, caption, answer);
}

}  // namespace tk
