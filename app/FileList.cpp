// The file list: files gathered through the open dialog or dropped on the list, mirrored in
// zipNames / zipFileCount, their sizes added to the progress bar's Max.
#include <windows.h>

#include "app/Form1.h"
#include "platform/MyMod.h"
#include "platform/cFileDialog.h"
#include "platform/toolkit/App.h"
#include "platform/toolkit/Error.h"
#include "platform/toolkit/Numeric.h"
#include "platform/toolkit/Seam.h"

void Form1::RemoveNonPathEntries() {
  for (int i = List1.ListCount() - 1; i >= 0; --i)
    if (!IsFilePath(List1.List(i))) List1.RemoveItem(i);
}

// Compares each entry in turn and stops at one equal to path, which is left selected; without a
// match the last entry compared is. Selecting only the entry that stays selected gives the same
// result without repainting the list once per entry.
bool Form1::SelectListed(const std::string& path) {
  int count = List1.ListCount();
  for (int i = 0; i < count; ++i) {
    if (List1.List(i) == path) {
      List1.ListIndex(i);
      return true;
    }
  }
  if (count > 0) List1.ListIndex(count - 1);
  return false;
}

// Appends a file the user chose, unless the table is full or its length cannot be read.
void Form1::AddListedFile(const std::string& path) {
  std::optional<uint64_t> length = FileLength(path);
  if (!length) return;
  int n = List1.ListCount();
  if (n >= kZipNameSlots - 1) {
    // The table holds 99 names and the terminator: refuse the 100th rather than lose it.
    tk::MsgBox(kListFullText, MB_OK | MB_ICONEXCLAMATION, tk::App::Title(), hwnd());
    return;
  }
  List1.AddItem(path);
  RemoveDuplicates(List1);
  // A size that does not fit the 32-bit range leaves Max as it was; the file is still listed.
  tk::Guarded([&] {
    XP_ProgressBarBlue.Max(
        tk::ToInt32(int64_t{XP_ProgressBarBlue.Max()} + static_cast<int64_t>(*length)));
  });
  zipNames[n] = path;
  zipNames[n + 1].clear();
  zipFileCount = static_cast<int16_t>(n + 1);
}

void Form1::cmdOpen_Click() {
  tk::Guarded([&] {
    lblPath.Caption("");
    txtPath.Text("");
    cmdOpenDir.Enabled(false);
    RemoveNonPathEntries();
    cFileDialog dialog;
    dialog.FileName("");
    dialog.flags(OFN_FILEMUSTEXIST);
    dialog.hwnd(hwnd());
    dialog.FileName("");
    dialog.CancelError(tk::kFalse);
    dialog.DialogTitle("Select Files for Zip");
    dialog.Filter("All Files (*.*)|*.*|");
    dialog.ShowOpen();
    std::string name = dialog.FileName();
    if (name.empty() || SelectListed(name)) return;
    AddListedFile(name);
  });
}

void Form1::List1_OLEDragDrop(const std::vector<std::string>& files) {
  // Text dragged from another program carries no file: nothing to do.
  if (files.empty()) return;
  lblPath.Caption("");
  txtPath.Text("");
  cmdOpenDir.Enabled(false);
  RemoveNonPathEntries();
  // Only the first dropped file is taken; folders and names without a dot are not added.
  const std::string& path = files.front();
  if (path.find('.') == std::string::npos) return;
  if (SelectListed(path)) return;
  tk::Guarded([&] { AddListedFile(path); });
}
