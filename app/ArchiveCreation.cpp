// Archive creation: the listed files packed into a new Zip archive through zip32.dll, with the
// bar climbing in proportion to the bytes and an honest report of the outcome.
#include <windows.h>

#include <optional>
#include <utility>

#include "app/Form1.h"
#include "platform/MyMod.h"
#include "platform/cFileDialog.h"
#include "platform/toolkit/App.h"
#include "platform/toolkit/Error.h"
#include "platform/toolkit/Numeric.h"
#include "platform/toolkit/Seam.h"

namespace {

constexpr const char* kNoFilesText = "There are no files in the list to Zip     ";

// The archive's last write time and size: the library puts a new file in its place when it
// writes, so a changed stamp tells that it did.
std::optional<std::pair<uint64_t, uint64_t>> ArchiveStamp(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return std::pair{
      (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime,
      (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow};
}

}  // namespace

// ---- Progress: an exact byte count, shown on the bar scaled so that it fits 32 bits ----------

void Form1::StartProgress(uint64_t totalBytes) {
  progress_ = ByteProgress(totalBytes);
  savedMax_ = XP_ProgressBarBlue.Max();
  tk::Guarded([&] {
    XP_ProgressBarBlue.Max(progress_.Max());
    XP_ProgressBarBlue.Value(0);
  });
  lastKeepAlive_ = GetTickCount();
}

void Form1::AdvanceProgress(uint64_t bytes) {
  int32_t value = progress_.Advance(bytes);
  tk::Guarded([&] { XP_ProgressBarBlue.Value(value); });
  KeepAlive();
}

// Leaves the bar full and gives Max back the value the file list or the listing left in it.
void Form1::EndProgress() {
  tk::Guarded([&] {
    XP_ProgressBarBlue.Value(XP_ProgressBarBlue.Max());
    XP_ProgressBarBlue.Max(savedMax_);
  });
}

// Windows takes a window that has not looked at its queue for five seconds for hung and hides it
// behind a ghost; peeking without removing anything shows that it is alive.
void Form1::KeepAlive() {
  DWORD now = GetTickCount();
  if (now - lastKeepAlive_ < 200) return;
  lastKeepAlive_ = now;
  MSG msg;
  PeekMessageA(&msg, hwnd(), 0, 0, PM_NOREMOVE);
}

// ---- Callbacks ---------------------------------------------------------------------------------

void Form1::ZipPrinted(const std::string& text) {
  libraryMessages_ += text;
  Label2.Caption(Label2.Caption() + text);
}

void Form1::ZipProcessed(int32_t size) {
  if (size > 0) AdvanceProgress(static_cast<uint64_t>(size));
}

// ---- The workflow ------------------------------------------------------------------------------

void Form1::cmdZip_Click() {
  // A list that holds only an archive's members names no file to pack.
  bool anyFile = false;
  for (int i = 0; i < List1.ListCount() && !anyFile; ++i) anyFile = IsFilePath(List1.List(i));
  if (!anyFile || zipFileCount == 0) {
    tk::MsgBox(kNoFilesText, MB_OK | MB_ICONEXCLAMATION, tk::App::Title(), hwnd());
    return;
  }
  tk::Guarded([&] {
    txtPath.Text("");
    cFileDialog dialog;
    dialog.flags(0);
    dialog.hwnd(hwnd());
    dialog.CancelError(tk::kFalse);
    dialog.DialogTitle("Save Zip File as...");
    dialog.DefaultExt("*.zip");
    dialog.Filter("Zip File (*.zip)|*.zip");
    dialog.ShowSave();
    if (!dialog.FileName().empty()) txtPath.Text(dialog.FileName());
    if (txtPath.Text().empty()) return;

    Label1.Visible(false);
    XP_ProgressBarBlue.Visible(true);
    XP_ProgressBarBlue.Value(0);
    zipCallbacks.Print = ziplib::CallbackAddress(&ziplib::ZipPrintCallback);
    zipCallbacks.Password = ziplib::CallbackAddress(&ziplib::ZipPasswordCallback);
    zipCallbacks.Comment = ziplib::CallbackAddress(&ziplib::ZipCommentCallback);
    zipCallbacks.Service = ziplib::CallbackAddress(&ziplib::ZipServiceCallback);
    zipOptions.JunkDir = 1;
    std::string archive = txtPath.Text();

    uint64_t total = 0;
    for (int k = 0; k < zipFileCount; ++k) total += FileLength(zipNames[k]).value_or(0);
    StartProgress(total);
    libraryMessages_.clear();
    const auto before = ArchiveStamp(archive);
    int32_t status = ziplib::kLibraryMissing;
    {
      ziplib::Zip32 library;
      ziplib::ZipEventsScope events(*this);
      // The three results in turn: the first that is not 0 is the failure to report.
      status = library.ZpInit(&zipCallbacks);
      int32_t options = library.ZpSetOptions(zipOptions);
      if (status == ZIP32_OK) status = options;
      int32_t archived = library.ZpArchive(zipFileCount, archive, zipNames);
      if (status == ZIP32_OK) status = archived;
      if (!library.Loaded()) status = ziplib::kLibraryMissing;
    }
    const auto after = ArchiveStamp(archive);
    CreationReport report =
        ReportCreation(status, archive, after && after != before, libraryMessages_);
    if (report.kind == CreationReport::Kind::kFailure) {
      EndInFailure(report.statusLine, report.text);
      return;
    }
    EndProgress();
    Label1.Caption(report.statusLine);
    cmdOpenDir.Enabled(true);
    Timer1.Enabled(true);
    // Written without the files that could not be read: the user hears which, and why.
    if (report.kind == CreationReport::Kind::kPartial)
      tk::MsgBox(report.text, MB_OK | MB_ICONEXCLAMATION, tk::App::Title(), hwnd());
  });
}
