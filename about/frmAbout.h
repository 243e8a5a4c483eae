// The About window: title and version, links to the maker's pages and a launcher for the
// system's own system-information tool. Modeless, one instance, above all other windows.
#pragma once
#include <windows.h>

#include <string>

#include "platform/toolkit/Window.h"

// The maker's pages. Every link of the window reads them from here.
namespace about_links {
inline constexpr char kWebSite[] = "https://vellmark.example/";
inline constexpr char kMailingList[] = "https://vellmark.example/lists/parcelo/";
}  // namespace about_links

class frmAbout : public tk::Form {
 public:
  // Control identifiers, in order of tab index for those that take the focus.
  enum Id {
    idPicIcon = 100,
    idCommand1,
    idCommand2,
    idCommand3,
    idCommand4,
    idTxtAbout,
    idLblTitle = 200,
    idLblVersion,
    idImage1,
    idLblDescription,
    idLblDisclaimer,
    idFrame2,
    idFrame1,
  };

  frmAbout() = default;
  ~frmAbout() override;

  // Creates the window (hidden) and its controls, then runs Form_Load. Does nothing when loaded.
  void Load();

  void Form_Load();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command1_MouseMove();
  void Command2_MouseMove();
  void Image1_Click();
  void picIcon_Click();

  // Starts the system-information tool found through the registry, or says that it cannot.
  void StartSysInfo();
  // Reads one registry value as text. On success the value is stored into KeyVal (a number is
  // appended to what KeyVal held, as "&h" and its bytes in hexadecimal); on failure KeyVal
  // becomes empty and the result is false.
  static bool GetKeyValue(HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                          std::string& KeyVal);

  tk::ImageBox picIcon, Image1;
  tk::Label lblTitle, lblVersion, lblDescription, lblDisclaimer;
  tk::Frame Frame1, Frame2;
  tk::Button Command1, Command2, Command3, Command4;
  tk::TextBox txtAbout;

 private:
  void OnCommand(int id, int code) override;
  void OnMouseMove(tk::Control& target) override;
  void CreateControls();
  void OpenPage(const char* address);

  tk::WindowHandle owner_;        // hidden owner: keeps the window off the task bar
  HCURSOR handCursor_ = nullptr;  // a shared resource cursor: not destroyed
};

// The main window's "&About": loads the one About window if it is not loaded (its Form_Load
// runs at each load) and shows it modeless; when it is loaded, only brings it forward.
frmAbout& ShowAbout();
