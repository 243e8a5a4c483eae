#include "platform/cFileDialog.h"

#include <cstddef>
#include <cstring>

#include "platform/toolkit/App.h"
#include "platform/toolkit/Error.h"
#include "platform/toolkit/Seam.h"

// The 76-byte record must be the leading part of the full record the seam takes.
static_assert(sizeof(OPENFILENAMEA) >= sizeof(OPENFILENAME_NT4A));
static_assert(offsetof(OPENFILENAME_NT4A, lpstrFilter) == offsetof(OPENFILENAMEA, lpstrFilter));
static_assert(offsetof(OPENFILENAME_NT4A, nFilterIndex) == offsetof(OPENFILENAMEA, nFilterIndex));
static_assert(offsetof(OPENFILENAME_NT4A, lpstrFile) == offsetof(OPENFILENAMEA, lpstrFile));
static_assert(offsetof(OPENFILENAME_NT4A, Flags) == offsetof(OPENFILENAMEA, Flags));
static_assert(offsetof(OPENFILENAME_NT4A, lpstrDefExt) == offsetof(OPENFILENAMEA, lpstrDefExt));
static_assert(offsetof(OPENFILENAME_NT4A, lpTemplateName) ==
              offsetof(OPENFILENAMEA, lpTemplateName));

namespace {
const std::string kTwoNuls(2, '\0');
}

cFileDialog::cFileDialog() {
  record_.lStructSize = sizeof record_;
  record_.nFilterIndex = 1;
}

void cFileDialog::FileName(const std::string& sFilename) {
  fileName_ = sFilename;
  // The name is kept even when it cannot fit the dialog's buffer; the caller hears of it.
  if (fileName_.size() > kSingleBufferChars) tk::Raise(tk::kInvalidArgument);
}

void cFileDialog::Filter(const std::string& sFilter) {
  filter_ = sFilter;
  filterForm_.clear();
  for (char c : sFilter) filterForm_ += (c == '|' || c == ':') ? '\0' : c;
  filterForm_ += kTwoNuls;
  record_.lpstrFilter = filterForm_.c_str();
}

void cFileDialog::DefaultExt(const std::string& sDefaultExt) {
  defaultExt_ = sDefaultExt;
  defaultExtForm_ = sDefaultExt + kTwoNuls;
  record_.lpstrDefExt = defaultExtForm_.c_str();
}

void cFileDialog::DialogTitle(const std::string& vNewValue) {
  title_ = vNewValue;
  record_.lpstrTitle = title_.c_str();
}

void cFileDialog::InitDir(const std::string& vNewValue) {
  initDir_ = vNewValue;
  initDirForm_ = vNewValue + kTwoNuls;
  record_.lpstrInitialDir = initDirForm_.c_str();
}

void cFileDialog::ShowOpen() { Show(Kind::Open); }
void cFileDialog::ShowSave() { Show(Kind::Save); }

void cFileDialog::Show(Kind kind) {
  const bool multi = kind == Kind::Open && (flags_ & OFN_ALLOWMULTISELECT);
  const size_t size = multi ? kMultiBufferChars : kSingleBufferChars;
  if (fileName_.size() > size || fileTitle_.size() > size) tk::Raise(tk::kInvalidArgument);

  std::string file = fileName_;  // seeds the dialog
  file.resize(size, '\0');
  std::string title = fileTitle_;
  title.resize(size, '\0');

  record_.Flags = static_cast<DWORD>(flags_) | (multi ? OFN_EXPLORER : 0);
  record_.lpstrFile = file.data();
  record_.nMaxFile = static_cast<DWORD>(size);
  record_.lpstrFileTitle = title.data();
  record_.nMaxFileTitle = static_cast<DWORD>(size);

  // The seam takes the current record type; its later fields stay zero and lStructSize
  // tells the platform not to read them.
  OPENFILENAMEA full{};
  std::memcpy(&full, &record_, sizeof record_);
  BOOL ok = FALSE;
  try {
    ok = kind == Kind::Open ? tk::CurrentSeam().OpenFileDialog(&full)
                            : tk::CurrentSeam().SaveFileDialog(&full);
  } catch (...) {
    record_.lpstrFile = nullptr;
    record_.lpstrFileTitle = nullptr;
    throw;
  }
  std::memcpy(&record_, &full, sizeof record_);
  // The buffers end with this call; keep no pointers to them.
  record_.lpstrFile = nullptr;
  record_.lpstrFileTitle = nullptr;
  record_.nMaxFile = 0;
  record_.nMaxFileTitle = 0;

  if (ok) {
    // A multiple selection keeps the whole buffer so that ParseMultiFileName can split it.
    if (kind == Kind::Open && (record_.Flags & OFN_ALLOWMULTISELECT))
      fileName_ = file;
    else
      fileName_ = TrimNull(file);
    return;
  }
  if (cancelError_ != tk::kFalse)
    tk::Raise(tk::kCancel,
              tk::App::EXEName() + (kind == Kind::Open ? ".cFileDialog" : ".cFilenDialog"),
              "User selected cancel.");
}

void cFileDialog::ParseMultiFileName(std::string& sDir, std::vector<std::string>& sFiles,
                                     int32_t& lFileCount) const {
  const size_t end = fileName_.find(kTwoNuls);
  if (end == std::string::npos || lFileCount < 0) tk::Raise(tk::kInvalidArgument);
  const std::string selection = fileName_.substr(0, end);

  const size_t firstNul = selection.find('\0');
  if (firstNul == std::string::npos) {
    // One file: the selection is a full path. Only the selection is searched for the
    // folder, so that what the seed left behind the result cannot be mistaken for it.
    lFileCount = 1;
    sFiles.assign(1, std::string());
    const size_t slash = selection.rfind('\\');
    if (slash != std::string::npos) {
      sDir = selection.substr(0, slash + 1);
      sFiles[0] = TrimNull(selection.substr(slash + 1));
    } else {
      sDir.clear();
      sFiles[0] = selection;
    }
    return;
  }

  // Several files: folder, NUL, name, NUL, name ...
  sDir = selection.substr(0, firstNul);
  size_t start = firstNul + 1;
  for (;;) {
    const size_t nul = selection.find('\0', start);
    lFileCount = tk::AddInt32(lFileCount, 1);
    sFiles.resize(static_cast<size_t>(lFileCount));
    sFiles[lFileCount - 1] =
        selection.substr(start, nul == std::string::npos ? std::string::npos : nul - start);
    if (nul == std::string::npos) break;
    start = nul + 1;
  }
}

std::string cFileDialog::TrimNull(const std::string& text) {
  const size_t nul = text.find('\0');
  return nul == std::string::npos ? text : text.substr(0, nul);
}
