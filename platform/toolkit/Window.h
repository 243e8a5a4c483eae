// Forms and standard controls over Win32. A form owns its HWND and its controls as members;
// positions are in twips, converted with the screen's pixels per inch. The window procedure
// only routes messages to the form's handlers.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/toolkit/Font.h"
#include "platform/toolkit/Handles.h"

namespace tk {

class Form;

// Position and size in twips, relative to the parent's client area.
struct TwipsRect {
  double left = 0, top = 0, width = 0, height = 0;
};
RECT TwipsToPixels(const TwipsRect& r);

// Base of forms and controls: geometry, visibility, enabled state, caption.
class Window {
 public:
  Window() = default;
  virtual ~Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND hwnd() const { return handle_.Get(); }
  bool Visible() const;
  void Visible(bool on);
  bool Enabled() const;
  void Enabled(bool on);
  std::string Caption() const;  // the window text
  void Caption(const std::string& text);
  void SetFocus();
  // Suspends painting (WM_SETREDRAW) during bulk changes; switching it back on repaints.
  void Redraw(bool on);
  // Geometry in twips relative to the parent's client area (outer rectangle).
  double Left() const;
  double Top() const;
  double Width() const;
  double Height() const;
  void Move(double left, double top, double width, double height);
  RECT ClientPx() const;

 protected:
  WindowHandle handle_;
};

class Control : public Window {
 public:
  int Id() const { return id_; }
  void ToolTipText(const std::string& text);
  const std::string& ToolTipText() const { return toolTip_; }
  void Font(const FontRef& font);
  const FontRef& Font() const { return font_; }
  // Called by the form for messages the control's subclass passes up (drops, mouse moves).
  virtual LRESULT SubclassProc(UINT msg, WPARAM wp, LPARAM lp);

 protected:
  void CreateControl(Form& parent, int id, const char* cls, DWORD style, DWORD exStyle,
                     const TwipsRect& where, const std::string& text);
  static LRESULT CALLBACK StaticSubclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  Form* parent_ = nullptr;
  int id_ = 0;
  std::string toolTip_;
  FontRef font_;
};

class Label : public Control {
 public:
  enum Flags { kAutoSize = 1, kWordWrap = 2 };
  void Create(Form& parent, int id, const TwipsRect& where, const std::string& caption,
              int flags = 0);
  void Caption(const std::string& text);
  std::string Caption() const { return Window::Caption(); }
  void ForeColor(COLORREF c) {
    foreColor_ = c;
    InvalidateRect(hwnd(), nullptr, TRUE);
  }
  COLORREF ForeColor() const { return foreColor_; }
  void Alignment(int a);  // 0 left, 1 right, 2 centre (as SS_ styles)

 private:
  void FitToText();
  int flags_ = 0;
  COLORREF foreColor_ = RGB(0, 0, 0);
  friend class Form;
};

class TextBox : public Control {
 public:
  // `style`: more edit styles (ES_PASSWORD).
  void Create(Form& parent, int id, const TwipsRect& where, const std::string& text = {},
              DWORD style = 0);
  std::string Text() const { return Caption(); }
  void Text(const std::string& t) { Caption(t); }
};

class Button : public Control {
 public:
  void Create(Form& parent, int id, const TwipsRect& where, const std::string& caption);
  void Click();  // as if the user clicked it
  void Cursor(HCURSOR c) { cursor_ = c; }
  LRESULT SubclassProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  HCURSOR cursor_ = nullptr;
};

class ListBox : public Control {
 public:
  void Create(Form& parent, int id, const TwipsRect& where);
  void AddItem(const std::string& text);
  void RemoveItem(int index);
  void Clear();
  int ListCount() const;
  int ListIndex() const;
  void ListIndex(int index);
  std::string List(int index) const;
};

// A picture that can be clicked and shows its own pointer (the image and picture-box controls).
class ImageBox : public Control {
 public:
  void Create(Form& parent, int id, const TwipsRect& where, bool border = false);
  void Picture(const PictureRef& pic);
  const PictureRef& Picture() const { return picture_; }
  void Cursor(HCURSOR c) { cursor_ = c; }
  HCURSOR Cursor() const { return cursor_; }
  LRESULT SubclassProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  PictureRef picture_;
  HCURSOR cursor_ = nullptr;
};

class Frame : public Control {
 public:
  void Create(Form& parent, int id, const TwipsRect& where, const std::string& caption = {});
};

// A top-level window. Subclasses create their controls in order of tab index and answer the
// virtual handlers.
class Form : public Window {
 public:
  struct Style {
    std::string caption;
    double clientWidthTwips = 0, clientHeightTwips = 0;
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    DWORD exStyle = 0;
    bool keyPreview = false;
    HICON icon = nullptr;
    HWND owner = nullptr;
  };
  ~Form() override;

  // Creates the window hidden and centred on the screen.
  void CreateForm(const Style& style);
  void Show();
  // Unloads the form: Form_Unload, then the window is destroyed.
  void Unload();
  bool Loaded() const { return hwnd() != nullptr; }
  bool KeyPreview() const { return keyPreview_; }
  HWND ToolTips() const { return toolTips_.Get(); }
  const FontRef& DefaultFont() const { return defaultFont_; }

  // Every loaded form of the program, in creation order.
  static const std::vector<Form*>& Forms();
  static Form* FromHwnd(HWND hwnd);

  // Handlers; controls report through these.
  virtual void OnCommand(int /*id*/, int /*code*/) {}
  virtual void OnDropFiles(Control& /*target*/, const std::vector<std::string>& /*files*/) {}
  virtual void OnMouseMove(Control& /*target*/) {}
  virtual void Form_KeyDown(int /*keyCode*/, int /*shift*/) {}
  virtual void Form_Unload() {}
  virtual LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);

 protected:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  bool keyPreview_ = false;
  WindowHandle toolTips_;
  FontRef defaultFont_ = std::make_shared<StdFont>("MS Sans Serif", 8.25);
  Brush background_;
};

// Reads the file names carried by a drop and finishes it.
std::vector<std::string> DroppedFiles(HDROP drop);

}  // namespace tk
