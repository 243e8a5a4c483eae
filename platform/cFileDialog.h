// The system's open and save dialogs behind a set of properties. Set what you need, call
// ShowOpen or ShowSave, then read FileName. Callers that want to know whether anything was
// chosen start from an empty FileName and test it afterwards.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/toolkit/Numeric.h"

class cFileDialog {
 public:
  cFileDialog();
  // The record points into this object's own texts.
  cFileDialog(const cFileDialog&) = delete;
  cFileDialog& operator=(const cFileDialog&) = delete;

  // Non-zero: a cancelled or failed dialog raises error 32755.
  tk::Bool16 CancelError() const { return cancelError_; }
  void CancelError(tk::Bool16 bCancelError) { cancelError_ = bCancelError; }

  // Seeds the dialog; after a successful dialog, its result. A name longer than 1024
  // characters is stored and then reported as an invalid argument.
  const std::string& FileName() const { return fileName_; }
  void FileName(const std::string& sFilename);

  // Handed to the dialog; what the dialog writes back is not read.
  const std::string& FileTitle() const { return fileTitle_; }
  void FileTitle(const std::string& vNewValue) { fileTitle_ = vNewValue; }

  // "Description|pattern|..." (":" works as well as "|").
  const std::string& Filter() const { return filter_; }
  void Filter(const std::string& sFilter);

  // 1-based; after a dialog, the filter the user had selected.
  long FilterIndex() const { return static_cast<long>(record_.nFilterIndex); }
  void FilterIndex(long lFilterIndex) { record_.nFilterIndex = static_cast<DWORD>(lFilterIndex); }

  const std::string& DefaultExt() const { return defaultExt_; }
  void DefaultExt(const std::string& sDefaultExt);

  std::string DialogTitle() const {
    return record_.lpstrTitle ? record_.lpstrTitle : std::string();
  }
  void DialogTitle(const std::string& vNewValue);

  // OFN_* flags as set; the dialog's changes to the record's copy are not reported.
  long flags() const { return flags_; }
  void flags(long vNewValue) { flags_ = vNewValue; }

  HWND hwnd() const { return record_.hwndOwner; }
  void hwnd(HWND vNewValue) { record_.hwndOwner = vNewValue; }

  const std::string& InitDir() const { return initDir_; }
  void InitDir(const std::string& vNewValue);

  void ShowOpen();
  void ShowSave();

  // Splits a multiple-selection result left in FileName. One file: sDir ends in "\" and
  // sFiles holds the bare name. Several: sDir is the folder without a trailing "\", and the
  // names are appended after lFileCount entries (callers pass 0). A FileName that is not
  // such a result is an invalid argument, and nothing is changed.
  void ParseMultiFileName(std::string& sDir, std::vector<std::string>& sFiles,
                          int32_t& lFileCount) const;

  static constexpr int kSingleBufferChars = 1024;
  static constexpr int kMultiBufferChars = 8192;

 private:
  enum class Kind { Open, Save };
  void Show(Kind kind);
  static std::string TrimNull(const std::string& text);

  OPENFILENAME_NT4A record_{};
  tk::Bool16 cancelError_ = tk::kFalse;
  long flags_ = 0;
  std::string fileName_;
  std::string fileTitle_;
  std::string filter_, filterForm_;
  std::string defaultExt_, defaultExtForm_;
  std::string title_;
  std::string initDir_, initDirForm_;
};

// The platform reads exactly this record; 76 bytes is the form every version of comdlg32 knows.
// (The 64-bit test build has wider pointers and so a wider record.)
#ifndef _WIN64
static_assert(sizeof(OPENFILENAME_NT4A) == 76);
#endif
