// cFileDialog against a seam that records the record it is handed and answers for the dialog.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/cFileDialog.h"
#include "platform/toolkit/Error.h"
#include "platform/toolkit/Seam.h"

using namespace std::string_literals;

namespace {

struct DialogCall {
  OPENFILENAME_NT4A record;     // its text pointers stay valid while the dialog object lives
  std::string file, fileTitle;  // the whole buffers
};

// Writes `reply` into the file buffer (and may change the filter index and flags), like the
// platform, and returns `result`.
class DialogSeam : public tk::Seam {
 public:
  BOOL result = FALSE;
  std::string reply;
  DWORD filterIndexReply = 0, flagsReply = 0;
  std::vector<DialogCall> calls;
  BOOL OpenFileDialog(OPENFILENAMEA* r) override { return Answer(r); }
  BOOL SaveFileDialog(OPENFILENAMEA* r) override { return Answer(r); }

 private:
  BOOL Answer(OPENFILENAMEA* r) {
    DialogCall c{{}, {r->lpstrFile, r->nMaxFile}, {r->lpstrFileTitle, r->nMaxFileTitle}};
    std::memcpy(&c.record, r, sizeof c.record);
    calls.push_back(c);
    std::memcpy(r->lpstrFile, reply.data(), std::min<size_t>(reply.size(), r->nMaxFile));
    std::memcpy(r->lpstrFileTitle, "title", 5);
    if (filterIndexReply) r->nFilterIndex = filterIndexReply;
    if (flagsReply) r->Flags = flagsReply;
    return result;
  }
};

std::string Padded(std::string s, size_t size) {
  s.resize(size, '\0');
  return s;
}

long ErrorNumberOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const tk::RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

TEST(FileDialog, FreshRecord) {
  DialogSeam seam;
  tk::SeamOverride use(seam);
  cFileDialog dlg;
  dlg.ShowOpen();  // cancelled, CancelError false: returns quietly
  const OPENFILENAME_NT4A& r = seam.calls.at(0).record;
  // 76 bytes in the program's 32-bit build; wider with the 64-bit test build's pointers.
  EXPECT_EQ(sizeof(void*) == 4 ? 76u : static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A),
            r.lStructSize);
  EXPECT_EQ(1u, r.nFilterIndex);
  EXPECT_EQ(0u, r.Flags);
  EXPECT_EQ(1024u, r.nMaxFile);
  EXPECT_EQ(1024u, r.nMaxFileTitle);
  for (const void* p :
       {(const void*)r.hwndOwner, (const void*)r.hInstance, (const void*)r.lpstrFilter,
        (const void*)r.lpstrCustomFilter, (const void*)r.lpstrInitialDir, (const void*)r.lpstrTitle,
        (const void*)r.lpstrDefExt, (const void*)r.lpfnHook, (const void*)r.lpTemplateName})
    EXPECT_EQ(nullptr, p);
  EXPECT_EQ(0u, r.nMaxCustFilter);
  EXPECT_EQ(0, r.lCustData);
  EXPECT_EQ("", dlg.FileName());
}

TEST(FileDialog, PropertiesReachTheRecord) {
  DialogSeam seam;
  tk::SeamOverride use(seam);
  cFileDialog dlg;
  HWND owner = reinterpret_cast<HWND>(0x1234);
  dlg.hwnd(owner);
  dlg.FilterIndex(2);
  dlg.InitDir(R"(C:\Data)");
  dlg.DialogTitle("Pick one");
  dlg.DefaultExt("*.zip");
  dlg.flags(OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
  dlg.FileName(R"(C:\Data\seed.txt)");
  dlg.FileTitle("seed");
  dlg.ShowSave();
  const DialogCall& c = seam.calls.at(0);
  EXPECT_EQ(owner, c.record.hwndOwner);
  EXPECT_EQ(2u, c.record.nFilterIndex);
  EXPECT_EQ("C:\\Data\0\0"s, std::string(c.record.lpstrInitialDir, 9));
  EXPECT_STREQ("Pick one", c.record.lpstrTitle);
  EXPECT_EQ("*.zip\0\0"s, std::string(c.record.lpstrDefExt, 7));
  EXPECT_EQ(static_cast<DWORD>(OFN_FILEMUSTEXIST | OFN_HIDEREADONLY), c.record.Flags);
  EXPECT_EQ(Padded(R"(C:\Data\seed.txt)", 1024), c.file);  // the current name seeds the dialog
  EXPECT_EQ(Padded("seed", 1024), c.fileTitle);
}

TEST(FileDialog, FilterForm) {
  const std::pair<std::string, std::string> cases[] = {
      {"Zip File (*.zip)|*.zip", "Zip File (*.zip)\0*.zip\0\0"s},
      {"All Files (*.*)|*.*|", "All Files (*.*)\0*.*\0\0\0"s},
      {"Text|*.txt", "Text\0*.txt\0\0"s},
      {"Text:*.txt", "Text\0*.txt\0\0"s},  // a colon works like a bar
      {"A|*.a|B:*.b", "A\0*.a\0B\0*.b\0\0"s},
      {"", "\0\0"s}};
  for (const auto& [filter, form] : cases) {
    DialogSeam seam;
    tk::SeamOverride use(seam);
    cFileDialog dlg;
    dlg.Filter("Other|*.*");
    dlg.Filter(filter);
    dlg.ShowOpen();
    EXPECT_EQ(form, std::string(seam.calls.at(0).record.lpstrFilter, form.size())) << filter;
    EXPECT_EQ(filter, dlg.Filter());  // the getter keeps the bars
  }
}

TEST(FileDialog, SingleResultIsCutAtTheFirstNul) {
  for (bool open : {true, false}) {
    DialogSeam seam;
    seam.result = TRUE;
    seam.reply = "C:\\Out\\x.zip\0stale\\b.zip\0\0"s;
    seam.filterIndexReply = 3;
    seam.flagsReply = OFN_READONLY;
    tk::SeamOverride use(seam);
    cFileDialog dlg;
    // The save dialog never selects several files.
    const long flags = open ? OFN_HIDEREADONLY : OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY;
    dlg.flags(flags);
    dlg.FileTitle("before");
    open ? dlg.ShowOpen() : dlg.ShowSave();
    EXPECT_EQ(static_cast<DWORD>(flags), seam.calls.at(0).record.Flags);
    EXPECT_EQ(1024u, seam.calls.at(0).record.nMaxFile);
    EXPECT_EQ(R"(C:\Out\x.zip)", dlg.FileName());
    EXPECT_EQ("before", dlg.FileTitle());  // what the dialog wrote there is not read
    EXPECT_EQ(3, dlg.FilterIndex());       // the record is read back ...
    EXPECT_EQ(flags, dlg.flags());         // ... but flags is not
  }
}

TEST(FileDialog, MultipleSelectionKeepsTheWholeBuffer) {
  DialogSeam seam;
  seam.result = TRUE;
  seam.reply = "C:\\Data\0a.txt\0b.txt\0\0"s;
  tk::SeamOverride use(seam);
  cFileDialog dlg;
  dlg.flags(OFN_ALLOWMULTISELECT);
  dlg.ShowOpen();
  EXPECT_EQ(static_cast<DWORD>(OFN_ALLOWMULTISELECT | OFN_EXPLORER), seam.calls.at(0).record.Flags);
  EXPECT_EQ(8192u, seam.calls.at(0).record.nMaxFile);
  EXPECT_EQ(Padded(seam.reply, 8192), dlg.FileName());
  // A dialog that drops the multiple selection from the record gives a trimmed name.
  seam.flagsReply = OFN_EXPLORER;
  dlg.ShowOpen();
  EXPECT_EQ(R"(C:\Data)", dlg.FileName());
}

TEST(FileDialog, CancelRaises32755OnlyWhenAsked) {
  for (bool open : {true, false}) {
    DialogSeam seam;  // returns 0: cancelled
    tk::SeamOverride use(seam);
    cFileDialog dlg;
    dlg.FileName(R"(C:\prev.txt)");
    EXPECT_NO_THROW(open ? dlg.ShowOpen() : dlg.ShowSave());
    dlg.CancelError(tk::kTrue);
    try {
      open ? dlg.ShowOpen() : dlg.ShowSave();
      ADD_FAILURE() << "no error raised";
    } catch (const tk::RuntimeError& e) {
      EXPECT_EQ(32755, e.Number());
      // The test program's name stands for the executable's.
      EXPECT_EQ(open ? "platform_tests.cFileDialog" : "platform_tests.cFilenDialog", e.Source());
      EXPECT_EQ("User selected cancel.", e.Description());
    }
    EXPECT_EQ(R"(C:\prev.txt)", dlg.FileName());
  }
}

TEST(FileDialog, FileNameLimits) {
  DialogSeam seam;
  tk::SeamOverride use(seam);
  cFileDialog dlg;
  EXPECT_EQ(0, ErrorNumberOf([&] { dlg.FileName(std::string(1024, 'n')); }));
  dlg.ShowOpen();
  EXPECT_EQ(std::string(1024, 'n'), seam.calls.at(0).file);
  EXPECT_EQ(5, ErrorNumberOf([&] { dlg.FileName(std::string(1025, 'n')); }));
  EXPECT_EQ(std::string(1025, 'n'), dlg.FileName());  // stored before the error
  EXPECT_EQ(5, ErrorNumberOf([&] { dlg.ShowOpen(); }));
  EXPECT_EQ(5, ErrorNumberOf([&] { dlg.ShowSave(); }));
  EXPECT_EQ(1u, seam.calls.size());  // no dialog was shown
  dlg.flags(OFN_ALLOWMULTISELECT);   // the larger buffer takes it
  EXPECT_EQ(0, ErrorNumberOf([&] { dlg.ShowOpen(); }));
  (void)ErrorNumberOf([&] { dlg.FileName(std::string(8193, 'n')); });
  EXPECT_EQ(5, ErrorNumberOf([&] { dlg.ShowOpen(); }));
  EXPECT_EQ(2u, seam.calls.size());
}

TEST(FileDialog, ParseMultiFileName) {
  using Files = std::vector<std::string>;
  struct {
    std::string result;  // as the dialog wrote it
    int32_t countIn;
    Files filesIn;
    std::string dir;
    Files files;
  } const cases[] = {
      {"C:\\Data\0a.txt\0b.txt\0\0"s, 0, {}, R"(C:\Data)", {"a.txt", "b.txt"}},
      {"C:\\\0a\0b\0c\0\0"s, 0, {}, "C:\\", {"a", "b", "c"}},
      {"C:\\Data\0a.txt\0b.txt\0\0"s, 1, {"x"}, R"(C:\Data)", {"x", "a.txt", "b.txt"}},  // appends
      {"C:\\Data\\a.txt\0\0"s,
       5,
       {"p", "q"},
       "C:\\Data\\",
       {"a.txt"}},  // one file: count and list reset
      {"\\\\server\\share\\f.txt\0\0"s, 0, {}, "\\\\server\\share\\", {"f.txt"}},
      {"a.txt\0\0"s, 0, {}, "", {"a.txt"}},
      // What a longer seed left behind the result is not part of it.
      {"C:\\a.txt\0\0ld\\seed\\name.txt\0\0"s, 0, {}, "C:\\", {"a.txt"}}};
  for (const auto& c : cases) {
    DialogSeam seam;
    seam.result = TRUE;
    seam.reply = c.result;
    tk::SeamOverride use(seam);
    cFileDialog dlg;
    dlg.flags(OFN_ALLOWMULTISELECT);
    dlg.ShowOpen();
    std::string dir = "untouched";
    Files files = c.filesIn;
    int32_t count = c.countIn;
    dlg.ParseMultiFileName(dir, files, count);
    EXPECT_EQ(c.dir, dir);
    EXPECT_EQ(c.files, files);
    EXPECT_EQ(static_cast<int32_t>(c.files.size()), count);
  }
  // Not a multiple-selection result (or a count below zero): refused, nothing changed.
  for (const auto& [name, countIn] : {std::pair{R"(C:\Data\a.txt)"s, 0},
                                      {"C:\\Data\0a.txt\0"s, 0},
                                      {""s, 0},
                                      {"C:\\Data\0a.txt\0\0"s, -1}}) {
    cFileDialog dlg;
    dlg.FileName(name);
    std::string dir = "keep";
    Files files{"k"};
    int32_t count = countIn;
    EXPECT_EQ(5, ErrorNumberOf([&] { dlg.ParseMultiFileName(dir, files, count); }));
    EXPECT_EQ("keep", dir);
    EXPECT_EQ(Files{"k"}, files);
    EXPECT_EQ(countIn, count);
  }
}

}  // namespace
