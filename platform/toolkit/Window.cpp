#include "platform/toolkit/Window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "platform/toolkit/Numeric.h"

namespace tk {

RECT TwipsToPixels(const TwipsRect& r) {
  int left = TwipsToPixelsX(r.left), top = TwipsToPixelsY(r.top);
  return RECT{left, top, left + TwipsToPixelsX(r.width), top + TwipsToPixelsY(r.height)};
}

// ---- Window -------------------------------------------------------------------------------

bool Window::Visible() const { return hwnd() && (GetWindowLongA(hwnd(), GWL_STYLE) & WS_VISIBLE); }
void Window::Visible(bool on) {
  if (hwnd()) ShowWindow(hwnd(), on ? SW_SHOWNA : SW_HIDE);
}
bool Window::Enabled() const { return hwnd() && IsWindowEnabled(hwnd()); }
void Window::Enabled(bool on) {
  if (hwnd()) EnableWindow(hwnd(), on);
}
std::string Window::Caption() const {
  if (!hwnd()) return {};
  int n = GetWindowTextLengthA(hwnd());
  std::string s(n + 1, '\0');
  n = GetWindowTextA(hwnd(), s.data(), n + 1);
  s.resize(n);
  return s;
}
void Window::Caption(const std::string& text) {
  if (hwnd()) SetWindowTextA(hwnd(), text.c_str());
}
void Window::SetFocus() {
  if (hwnd()) ::SetFocus(hwnd());
}

static RECT RectInParent(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  HWND parent = GetParent(hwnd);
  if (parent && (GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD))
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}
void Window::Redraw(bool on) {
  if (!hwnd()) return;
  SendMessageA(hwnd(), WM_SETREDRAW, on, 0);
  if (on) InvalidateRect(hwnd(), nullptr, TRUE);
}

double Window::Left() const { return RectInParent(hwnd()).left * TwipsPerPixelX(); }
double Window::Top() const { return RectInParent(hwnd()).top * TwipsPerPixelY(); }
double Window::Width() const {
  RECT r = RectInParent(hwnd());
  return (r.right - r.left) * TwipsPerPixelX();
}
double Window::Height() const {
  RECT r = RectInParent(hwnd());
  return (r.bottom - r.top) * TwipsPerPixelY();
}
void Window::Move(double left, double top, double width, double height) {
  RECT r = TwipsToPixels({left, top, width, height});
  MoveWindow(hwnd(), r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}
RECT Window::ClientPx() const {
  RECT r{};
  GetClientRect(hwnd(), &r);
  return r;
}

// ---- Control ------------------------------------------------------------------------------

void Control::CreateControl(Form& parent, int id, const char* cls, DWORD style, DWORD exStyle,
                            const TwipsRect& where, const std::string& text) {
  parent_ = &parent;
  id_ = id;
  RECT r = TwipsToPixels(where);
  handle_.Reset(CreateWindowExA(exStyle, cls, text.c_str(), WS_CHILD | style, r.left, r.top,
                                r.right - r.left, r.bottom - r.top, parent.hwnd(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleA(nullptr), nullptr));
  SetWindowLongPtrA(hwnd(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowSubclass(hwnd(), &Control::StaticSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
  Font(parent.DefaultFont());
}

void Control::Font(const FontRef& font) {
  font_ = font;
  if (hwnd() && font_)
    SendMessageA(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_->Handle()), TRUE);
}

void Control::ToolTipText(const std::string& text) {
  toolTip_ = text;
  if (!parent_ || !parent_->ToolTips()) return;
  TOOLINFOA ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = parent_->hwnd();
  ti.uId = reinterpret_cast<UINT_PTR>(hwnd());
  ti.lpszText = const_cast<char*>(toolTip_.c_str());
  SendMessageA(parent_->ToolTips(), TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  if (!toolTip_.empty())
    SendMessageA(parent_->ToolTips(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

LRESULT Control::SubclassProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_MOUSEMOVE && parent_) parent_->OnMouseMove(*this);
  if (msg == WM_DROPFILES && parent_) {
    parent_->OnDropFiles(*this, DroppedFiles(reinterpret_cast<HDROP>(wp)));
    return 0;
  }
  return DefSubclassProc(hwnd(), msg, wp, lp);
}

LRESULT CALLBACK Control::StaticSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                         DWORD_PTR self) {
  auto* control = reinterpret_cast<Control*>(self);
  if (msg == WM_NCDESTROY) {
    // Destroyed with its parent: forget the handle, which the system may reuse.
    RemoveWindowSubclass(hwnd, &Control::StaticSubclass, 1);
    control->handle_.Release();
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
  try {
    return control->SubclassProc(msg, wp, lp);
  } catch (...) {
    return 0;
  }
}

std::vector<std::string> DroppedFiles(HDROP drop) {
  std::vector<std::string> files;
  UINT n = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < n; ++i) {
    UINT len = DragQueryFileA(drop, i, nullptr, 0);
    std::string name(len + 1, '\0');
    DragQueryFileA(drop, i, name.data(), len + 1);
    name.resize(len);
    files.push_back(name);
  }
  DragFinish(drop);
  return files;
}

// ---- Standard controls --------------------------------------------------------------------

void Label::Create(Form& parent, int id, const TwipsRect& where, const std::string& caption,
                   int flags) {
  flags_ = flags;
  DWORD style = WS_VISIBLE | SS_NOTIFY | ((flags & kWordWrap) ? SS_LEFT : SS_LEFTNOWORDWRAP);
  CreateControl(parent, id, "STATIC", style, 0, where, caption);
  if (flags_ & kAutoSize) FitToText();
}

void Label::Caption(const std::string& text) {
  Window::Caption(text);
  if (flags_ & kAutoSize) FitToText();
  InvalidateRect(hwnd(), nullptr, TRUE);
}

void Label::Alignment(int a) {
  LONG style =
      GetWindowLongA(hwnd(), GWL_STYLE) & ~(SS_LEFT | SS_CENTER | SS_RIGHT | SS_LEFTNOWORDWRAP);
  style |= a == 1 ? SS_RIGHT : a == 2 ? SS_CENTER : SS_LEFT;
  SetWindowLongA(hwnd(), GWL_STYLE, style);
  InvalidateRect(hwnd(), nullptr, TRUE);
}

void Label::FitToText() {
  WindowDC dc(hwnd());
  ScopedSelect sel(dc, font_ ? font_->Handle() : nullptr);
  std::string text = Window::Caption();
  RECT r{0, 0, 0, 0};
  DrawTextA(dc, text.empty() ? " " : text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
  SetWindowPos(hwnd(), nullptr, 0, 0, r.right, r.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TextBox::Create(Form& parent, int id, const TwipsRect& where, const std::string& text,
                     DWORD style) {
  CreateControl(parent, id, "EDIT", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | style,
                WS_EX_CLIENTEDGE, where, text);
}

void Button::Create(Form& parent, int id, const TwipsRect& where, const std::string& caption) {
  CreateControl(parent, id, "BUTTON", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, where, caption);
}

void Button::Click() { SendMessageA(hwnd(), BM_CLICK, 0, 0); }

LRESULT Button::SubclassProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SETCURSOR && cursor_ && LOWORD(lp) == HTCLIENT) {
    ::SetCursor(cursor_);
    return TRUE;
  }
  return Control::SubclassProc(msg, wp, lp);
}

void ListBox::Create(Form& parent, int id, const TwipsRect& where) {
  CreateControl(parent, id, "LISTBOX",
                WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                WS_EX_CLIENTEDGE, where, "");
}
void ListBox::AddItem(const std::string& text) {
  SendMessageA(hwnd(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
void ListBox::RemoveItem(int index) { SendMessageA(hwnd(), LB_DELETESTRING, index, 0); }
void ListBox::Clear() { SendMessageA(hwnd(), LB_RESETCONTENT, 0, 0); }
int ListBox::ListCount() const { return static_cast<int>(SendMessageA(hwnd(), LB_GETCOUNT, 0, 0)); }
int ListBox::ListIndex() const {
  return static_cast<int>(SendMessageA(hwnd(), LB_GETCURSEL, 0, 0));
}
void ListBox::ListIndex(int index) { SendMessageA(hwnd(), LB_SETCURSEL, index, 0); }
std::string ListBox::List(int index) const {
  LRESULT n = SendMessageA(hwnd(), LB_GETTEXTLEN, index, 0);
  if (n == LB_ERR) return {};
  std::string s(n + 1, '\0');
  n = SendMessageA(hwnd(), LB_GETTEXT, index, reinterpret_cast<LPARAM>(s.data()));
  s.resize(n == LB_ERR ? 0 : n);
  return s;
}

void ImageBox::Create(Form& parent, int id, const TwipsRect& where, bool border) {
  CreateControl(parent, id, "STATIC", WS_VISIBLE | SS_NOTIFY | SS_OWNERDRAW,
                border ? WS_EX_CLIENTEDGE : 0, where, "");
}

void ImageBox::Picture(const PictureRef& pic) {
  picture_ = pic;
  InvalidateRect(hwnd(), nullptr, TRUE);
}

LRESULT ImageBox::SubclassProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SETCURSOR && cursor_ && LOWORD(lp) == HTCLIENT) {
    ::SetCursor(cursor_);
    return TRUE;
  }
  if (msg == WM_PAINT) {
    PaintScope paint(hwnd());
    RECT r = ClientPx();
    FillRect(paint.Get(), &r, GetSysColorBrush(COLOR_BTNFACE));
    if (picture_) picture_->Draw(paint.Get(), 0, 0);
    return 0;
  }
  return Control::SubclassProc(msg, wp, lp);
}

void Frame::Create(Form& parent, int id, const TwipsRect& where, const std::string& caption) {
  CreateControl(parent, id, "BUTTON", WS_VISIBLE | BS_GROUPBOX, 0, where, caption);
}

// ---- Form ---------------------------------------------------------------------------------

static std::vector<Form*>& FormList() {
  static std::vector<Form*> forms;
  return forms;
}
const std::vector<Form*>& Form::Forms() { return FormList(); }

Form* Form::FromHwnd(HWND hwnd) {
  // Only windows of the form class carry a Form in their user data.
  char cls[16] = {};
  if (!hwnd || !GetClassNameA(hwnd, cls, sizeof cls) || lstrcmpA(cls, "ParceloForm") != 0)
    return nullptr;
  return reinterpret_cast<Form*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

Form::~Form() {
  auto& forms = FormList();
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  if (hwnd()) SetWindowLongPtrA(hwnd(), GWLP_USERDATA, 0);
}

void Form::CreateForm(const Style& s) {
  static bool registered = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Form::Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "ParceloForm";
    return RegisterClassExA(&wc) != 0;
  }();
  (void)registered;
  keyPreview_ = s.keyPreview;
  RECT r{0, 0, TwipsToPixelsX(s.clientWidthTwips), TwipsToPixelsY(s.clientHeightTwips)};
  AdjustWindowRectEx(&r, s.style, FALSE, s.exStyle | WS_EX_CONTROLPARENT);
  int w = r.right - r.left, h = r.bottom - r.top;
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  int x = work.left + ((work.right - work.left) - w) / 2,
      y = work.top + ((work.bottom - work.top) - h) / 2;
  // The handle is taken at WM_NCCREATE, so that the handlers see it from the first message on.
  HWND hwnd =
      CreateWindowExA(s.exStyle | WS_EX_CONTROLPARENT, "ParceloForm", s.caption.c_str(), s.style, x,
                      y, w, h, s.owner, nullptr, GetModuleHandleA(nullptr), this);
  if (!hwnd) return;
  if (s.icon) {
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(s.icon));
    SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(s.icon));
  }
  // Not owned by the form: an owned topmost popup keeps Wine from moving its owner into the
  // topmost band. The form destroys it itself.
  toolTips_.Reset(CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
  FormList().push_back(this);
}

void Form::Show() {
  ShowWindow(hwnd(), SW_SHOWNORMAL);
  UpdateWindow(hwnd());
}

void Form::Unload() {
  if (!hwnd()) return;
  Form_Unload();
  toolTips_.Reset();
  handle_.Reset();  // WM_DESTROY removes the form from the list
}

LRESULT Form::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (lp) OnCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_CLOSE:
      Unload();
      return 0;
    case WM_CTLCOLORSTATIC: {
      auto dc = reinterpret_cast<HDC>(wp);
      auto* control =
          reinterpret_cast<Control*>(GetWindowLongPtrA(reinterpret_cast<HWND>(lp), GWLP_USERDATA));
      if (auto* label = dynamic_cast<Label*>(control)) SetTextColor(dc, label->ForeColor());
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    default:
      return DefWindowProcA(hwnd(), msg, wp, lp);
  }
}

LRESULT CALLBACK Form::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    static_cast<Form*>(cs->lpCreateParams)->handle_.Reset(hwnd);
  }
  Form* form = FromHwnd(hwnd);
  if (msg == WM_DESTROY && form) {
    auto& forms = FormList();
    forms.erase(std::remove(forms.begin(), forms.end(), form), forms.end());
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    form->handle_.Release();
    // The program ends when its last form is gone.
    if (forms.empty()) PostQuitMessage(0);
    return 0;
  }
  if (!form || msg == WM_NCCREATE) return DefWindowProcA(hwnd, msg, wp, lp);
  try {
    return form->OnMessage(msg, wp, lp);
  } catch (...) {
    return 0;  // nothing escapes into the system
  }
}

}  // namespace tk
