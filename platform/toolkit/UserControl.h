// Hosting of the program's own drawn controls: a child window with its own persistent DC,
// a scale (pixels or twips), a background colour, the creation / paint / resize / termination
// events and the property bag.
#pragma once
#include <string>
#include <vector>

#include "platform/toolkit/PropertyBag.h"
#include "platform/toolkit/Window.h"

namespace tk {

class UserControl : public Control {
 public:
  ~UserControl() override;

  // Creates the control's window at its design size, then runs UserControl_Initialize and, when
  // a bag is given, UserControl_ReadProperties; then UserControl_Resize.
  void CreateUserControl(Form& parent, int id, const TwipsRect& where,
                         const PropertyBag* stored = nullptr);

  // Host services.
  HDC HostDC() const {
    return hwnd() ? GetDC(hwnd()) : nullptr;
  }  // CS_OWNDC: the same DC every time
  int ScaleMode() const { return scaleMode_; }
  void ScaleMode(int mode) { scaleMode_ = mode; }
  double ScaleWidth() const;
  double ScaleHeight() const;
  double ScaleLeft() const { return 0; }
  double ScaleTop() const { return 0; }
  COLORREF BackColor() const { return backColor_; }
  void BackColor(COLORREF c) { backColor_ = c; }
  // The notification that a persisted property changed; recorded so that hosts and tests can see
  // it.
  void PropertyChanged(const std::string& key) { changed_.push_back(key); }
  const std::vector<std::string>& ChangedProperties() const { return changed_; }

  virtual void UserControl_Initialize() {}
  virtual void UserControl_Paint() {}
  virtual void UserControl_Resize() {}
  // Runs when the window is destroyed; a derived control whose object may outlive its window's
  // destruction by its parent runs it from its own destructor too (once).
  virtual void UserControl_Terminate() {}
  virtual void UserControl_ReadProperties(const PropertyBag& /*bag*/) {}
  virtual void UserControl_WriteProperties(PropertyBag& /*bag*/) {}

  LRESULT SubclassProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  int scaleMode_ = 1;
  COLORREF backColor_ = GetSysColor(COLOR_BTNFACE);
  std::vector<std::string> changed_;
  bool terminated_ = false;
};

}  // namespace tk
