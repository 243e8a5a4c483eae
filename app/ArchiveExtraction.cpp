// Archive extraction: list a Zip archive through unzip32.dll, extract it into a new folder
// beside it, open the result in the file browser.
#include <windows.h>

#include <cctype>
#include <cstring>

#include "app/Form1.h"
#include "app/Password.h"
#include "platform/MyMod.h"
#include "platform/cFileDialog.h"
#include "platform/toolkit/App.h"
#include "platform/toolkit/Error.h"
#include "platform/toolkit/Numeric.h"
#include "platform/toolkit/PasswordBox.h"
#include "platform/toolkit/Seam.h"

namespace {

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::string Form1::GetFileNoExtension(const std::string& FileName) const {
  // The last character is never examined; a dot in a folder name counts.
  for (size_t k = FileName.size() >= 2 ? FileName.size() - 1 : 0; k >= 1; --k)
    if (FileName[k - 1] == '.') return FileName.substr(0, k - 1);
  return FileName;
}

void Form1::Command1_Click() {
  tk::Guarded([&] {
    Label1.Caption(kIdleText);
    cmdOpenDir.Enabled(false);
    XP_ProgressBarBlue.Visible(false);
    XP_ProgressBarBlue.Value(0);
    cFileDialog dialog;
    dialog.FileName("");
    dialog.flags(OFN_FILEMUSTEXIST);
    dialog.hwnd(hwnd());
    dialog.CancelError(tk::kFalse);
    dialog.DialogTitle("Select a Zip File to Extract");
    dialog.Filter("Zip File (*.zip)|*.zip");
    dialog.ShowOpen();
    std::string name = dialog.FileName();
    if (!name.empty()) txtPath.Text(name);
    lblPath.Caption("");
    List1.Clear();
    XP_ProgressBarBlue.Max(1);
    unzipOptions.ListOnly = 1;
    unzipZipFileName = name;
    txtPath.Text(name);
    lblPath.Caption(GetFileNoExtension(txtPath.Text()));
    RunUnzip();
  });
}

void Form1::txtPath_OLEDragDrop(const std::vector<std::string>& files) {
  // Text dragged from another program carries no file name: nothing to do.
  if (files.empty()) return;
  tk::Guarded([&] {
    const std::string& name = files.front();
    std::string tail = name.size() >= 4 ? name.substr(name.size() - 4) : name;
    for (auto& c : tail) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (tail != ".ZIP") {
      txtPath.Text("");
      tk::MsgBox("Not a valid zip file     ", MB_OK | MB_ICONEXCLAMATION, tk::App::Title(), hwnd());
      return;
    }
    lblPath.Caption("");
    cmdOpenDir.Enabled(false);
    List1.Clear();
    XP_ProgressBarBlue.Max(1);
    txtPath.Text(name);
    unzipOptions.ListOnly = 1;
    unzipZipFileName = txtPath.Text();
    lblPath.Caption(GetFileNoExtension(txtPath.Text()));
    RunUnzip();
  });
}

void Form1::Command2_Click() {
  tk::Guarded([&] {
    if (List1.ListCount() == 0) {
      tk::MsgBox("Please select a File to Unzip    ", MB_OK | MB_ICONEXCLAMATION,
                 "Select a Zip File", hwnd());
      Command1.SetFocus();
      return;
    }
    unzipOptions.ListOnly = 0;
    unzipZipFileName = txtPath.Text();
    std::string folder = lblPath.Caption();
    // An empty caption or an existing file of that name counts as existing: never extract
    // over anything.
    if (folder.empty() || Exists(folder)) {
      tk::MsgBox("The Directory " + folder + " already exists.     ", MB_OK | MB_ICONINFORMATION,
                 "Files Already Exist", hwnd());
      cmdOpenDir.Enabled(false);
      XP_ProgressBarBlue.Visible(false);
      XP_ProgressBarBlue.Value(0);
      return;
    }
    XP_ProgressBarBlue.Value(0);
    XP_ProgressBarBlue.Visible(true);
    Label1.Visible(false);
    if (!CreateDirectoryA(folder.c_str(), nullptr)) {
      RestoreIdleLook();
      tk::MsgBox("The Directory " + folder + " could not be created.     ",
                 MB_OK | MB_ICONEXCLAMATION, tk::App::Title(), hwnd());
      return;
    }
    cmdOpenDir.Enabled(true);
    tk::DoEvents();
    unzipExtractDir = folder + "\\";
    unzipExtractDirSet = true;
    Label1.Caption("Files Saved in: " + folder);
    RunUnzip();
  });
}

void Form1::cmdOpenDir_Click() {
  tk::Guarded([&] {
    List1.ListIndex(0);
    std::string first = List1.List(0);
    // The list holds files for a new archive, or the members of the one extracted.
    std::string folder =
        IsFilePath(first) ? GetPathNoFile(txtPath.Text(), true) : lblPath.Caption();
    ExploreFolder(folder, "", false, true, true);
  });
}

void Form1::RunUnzip() {
  std::memset(&unzipVersion, 0, sizeof unzipVersion);
  unzipVersion.StructLength = sizeof unzipVersion;
  std::memcpy(unzipVersion.BetaText, "         ", 10);
  std::memcpy(unzipVersion.DateText, "                   ", 20);
  std::memcpy(unzipVersion.ZlibVersionText, "         ", 10);
  unzipOptions.Overwrite = 1;
  unzipOptions.UseFolders = 1;
  unzipOptions.Quiet = 2;
  unzipCallbacks.Print = ziplib::CallbackAddress(&ziplib::UnzipPrintCallback);
  unzipCallbacks.Sound = nullptr;
  unzipCallbacks.Replace = ziplib::CallbackAddress(&ziplib::UnzipReplaceCallback);
  unzipCallbacks.Password = ziplib::CallbackAddress(&ziplib::UnzipPasswordCallback);
  unzipCallbacks.Message = ziplib::CallbackAddress(&ziplib::UnzipEntryCallback);
  unzipCallbacks.Service = ziplib::CallbackAddress(&ziplib::UnzipServiceCallback);

  bool listing = unzipOptions.ListOnly != 0;
  libraryMessages_.clear();
  tally_ = MemberTally();
  if (listing)
    listedTotal_ = 0;
  else
    StartProgress(listedTotal_);
  int32_t status = ziplib::kLibraryMissing;
  {
    // The list repaints after the call (below); a list box that repaints on every addition
    // makes a listing of 70,000 members take hours under Wine.
    List1.Redraw(false);
    ziplib::Unzip32 library;
    ziplib::UnzipEventsScope events(*this);
    library.UzpVersion2(&unzipVersion);
    status = library.Wiz_SingleEntryUnzip(unzipOptions, unzipZipFileName,
                                          unzipExtractDirSet ? unzipExtractDir.c_str() : nullptr,
                                          unzipCallbacks);
    if (!library.Loaded()) status = ziplib::kLibraryMissing;
  }
  List1.Redraw(true);
  tk::DoEvents();
  int count = List1.ListCount();
  Label4.Caption(count > 0 ? std::to_string(count) + " files inside the Zip file" : kNoListText);

  std::string reason = UnzipFailureReason(libraryMessages_, status);
  if (listing) {
    // A cancelled dialog lists nothing and is not reported; an unreadable archive is.
    if (status != UNZIP32_OK && status != UNZIP32_WARNING && !unzipZipFileName.empty()) {
      tk::MsgBox(
          "The Zip file " + unzipZipFileName + " could not be read.\r\n\r\n" + reason + "     ",
          MB_OK | MB_ICONEXCLAMATION, tk::App::Title(), hwnd());
    }
    Timer1.Enabled(true);
    return;
  }
  ExtractionReport report =
      ReportExtraction(status, unzipZipFileName, lblPath.Caption(), count, tally_, reason);
  if (report.kind == ExtractionReport::Kind::kFailure) {
    EndInFailure(kIdleText, report.text);
    return;
  }
  EndProgress();
  Timer1.Enabled(true);
  // Links the library does not create, encrypted members without their password: the other
  // files are all there, and the user hears what is not and why.
  if (report.kind == ExtractionReport::Kind::kWarning)
    tk::MsgBox(report.text, MB_OK | (report.exclamation ? MB_ICONEXCLAMATION : MB_ICONINFORMATION),
               tk::App::Title(), hwnd());
}

// ---- Callbacks ---------------------------------------------------------------------------------

void Form1::UnzipPrinted(const std::string& text) {
  libraryMessages_ += text;
  tally_.Printed(text);
}

void Form1::UnzipListed(const std::string& name, uint32_t uncompressedSize) {
  tk::Guarded([&] { List1.AddItem(name); });
  // Each step that fails is skipped: a sum beyond 32 bits leaves Max as it was.
  tk::Guarded([&] {
    XP_ProgressBarBlue.Max(
        tk::AddInt32(XP_ProgressBarBlue.Max(), static_cast<int32_t>(uncompressedSize)));
  });
  listedTotal_ += uncompressedSize;
}

void Form1::UnzipExtracted(const std::string& name, uint32_t uncompressedSize) {
  tally_.Handled(name);
  AdvanceProgress(uncompressedSize);
}

int Form1::UnzipPassword(char* buffer, int size, const char* prompt, const std::string& name) {
  // Asked on this thread, inside the library call: the window is modal to this one.
  return AnswerPassword(buffer, size, [&](tk::SecretText& typed) {
    return tk::PasswordBox(PasswordWindowText(name, unzipZipFileName, prompt), tk::App::Title(),
                           hwnd(), typed);
  });
}
