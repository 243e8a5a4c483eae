// The main window: its controls, the file list and the two archive workflows. One class; one
// source file per concern (window and layout, file list, archive creation, archive extraction).
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "app/Outcome.h"
#include "app/Progress.h"
#include "controls/header/InfoHeader.h"
#include "controls/progressbar/XP_ProgressBar.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/Window.h"
#include "ziplib/UnzipBinding.h"
#include "ziplib/ZipBinding.h"

class Form1 : public tk::Form, public ziplib::ZipEvents, public ziplib::UnzipEvents {
 public:
  // Control identifiers, in order of tab index for those that take the focus.
  enum Id {
    idCmdDummy = 100,
    idCommand1,
    idCmdOpen,
    idCommand2,
    idCmdZip,
    idCmdHelp,
    idCmdAbout,
    idCmdOpenDir,
    idCmdClose,
    idTxtPath,
    idList1,
    idInfoHeader1 = 200,
    idLabel3,
    idImgNot,
    idImgTop,
    idLabel4,
    idLabel1,
    idProgressBar,
    idLabel2,
    idLblPath,
  };

  Form1() = default;
  // Creates the window and its controls and runs Form_Load. Returns false when the program is
  // to end at once (another copy runs): the window is then never shown.
  bool Load();

  // ---- Main window -----------------------------------------------------------------------
  void Form_Load();
  void imgNot_Click();
  void imgTop_Click();
  void imgNot_MouseMove();
  void imgTop_MouseMove();
  void cmdHelp_Click();
  void Form_KeyDown(int keyCode, int shift) override;
  void cmdClose_Click();
  void Form_Unload() override;
  void Timer1_Timer();
  void cmdAbout_Click();

  // ---- File list ---------------------------------------------------------------------------
  void cmdOpen_Click();
  void List1_OLEDragDrop(const std::vector<std::string>& files);

  // ---- Archive creation and extraction ---------------------------------------------------
  void cmdZip_Click();
  void Command1_Click();
  void txtPath_OLEDragDrop(const std::vector<std::string>& files);
  void Command2_Click();
  void cmdOpenDir_Click();
  std::string GetFileNoExtension(const std::string& FileName) const;
  void RunUnzip();

  // Progress as an exact 64-bit count of bytes, shown on the bar scaled to fit 32 bits, so that
  // small files are not lost to the bar's whole-percent read-back and totals over 2 GiB fit.
  void StartProgress(uint64_t totalBytes);
  void AdvanceProgress(uint64_t bytes);
  void EndProgress();

  // Controls, public so that the workflows' callbacks and the tests can reach them.
  tk::Button cmdDummy, Command1, cmdOpen, Command2, cmdZip, cmdHelp, cmdAbout, cmdOpenDir, cmdClose;
  tk::TextBox txtPath;
  tk::ListBox List1;
  header::InfoHeader InfoHeader1;
  tk::Label Label3, Label4, Label1, Label2, lblPath;
  tk::ImageBox imgNot, imgTop;
  XP_ProgressBar XP_ProgressBarBlue;
  tk::Timer Timer1{[this] { Timer1_Timer(); }};

  // The file list's table: slot k holds the k-th listed file; the slot after the last is empty.
  static constexpr int kZipNameSlots = ziplib::kZipNameSlots;
  std::array<std::string, kZipNameSlots> zipNames{};
  int16_t zipFileCount = 0;

  // The library records, zeroed at creation, living as long as the window. The texts of
  // unzipOptions are kept beside it and handed over as ANSI copies for each call.
  ZipCallbacks zipCallbacks{};
  ZipOptions zipOptions{};
  UnzipOptions unzipOptions{};
  std::string unzipZipFileName;
  std::string unzipExtractDir;
  bool unzipExtractDirSet = false;  // null until the first extraction
  UnzipCallbacks unzipCallbacks{};
  UnzipVersionInfo unzipVersion{};

  static constexpr const char* kListFullText =
      "The list is full: a Zip file can be made from at most 99 files.     ";
  // Label1 when no result is shown, and Label4 when the list holds no archive's members.
  static constexpr const char* kIdleText = "Select a file to Unzip or files to add to a Zip";
  static constexpr const char* kNoListText = "Browse for or Drag files here to create a Zip file";

 private:
  void OnCommand(int id, int code) override;
  void OnDropFiles(tk::Control& target, const std::vector<std::string>& files) override;
  void OnMouseMove(tk::Control& target) override;
  void CreateControls();
  void RemoveNonPathEntries();
  bool SelectListed(const std::string& path);
  void AddListedFile(const std::string& path);

  // Library callbacks.
  void ZipPrinted(const std::string& text) override;
  void ZipProcessed(int32_t size) override;
  void UnzipPrinted(const std::string& text) override;
  void UnzipListed(const std::string& name, uint32_t uncompressedSize) override;
  void UnzipExtracted(const std::string& name, uint32_t uncompressedSize) override;
  int UnzipPassword(char* buffer, int size, const char* prompt, const std::string& name) override;
  void KeepAlive();
  void RestoreIdleLook();
  // Ends a failed run: the bar's Max as it was, the idle look with `statusLine` in Label1,
  // and the message box with `text`.
  void EndInFailure(const std::string& statusLine, const std::string& text);

  HCURSOR handCursor_ = nullptr;  // a shared resource cursor: not destroyed
  ByteProgress progress_;
  int32_t savedMax_ = 0;
  std::string libraryMessages_;  // what the library printed during the running call
  uint64_t listedTotal_ = 0;     // 64-bit sum of the listed members' sizes
  MemberTally tally_;            // the members of the running extraction
  DWORD lastKeepAlive_ = 0;
  bool endRequested_ = false;
};
