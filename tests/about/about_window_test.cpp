// The About window on the display, in-process: opened through ShowAbout beside a stand-in main
// window whose unload unloads every other window, with a seam that records what reaches the
// platform.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

#include "about/frmAbout.h"
#include "about_test_support.h"
#include "platform/toolkit/Events.h"
#include "resources/resource.h"

namespace {

constexpr double kTwipsPerPixel = 15;  // the display runs at 96 dots per inch

// The main window as far as the About window is concerned: its unload unloads every other window.
class MainStandIn : public tk::Form {
 public:
  void Load() {
    Style s;
    s.caption = "Parcelo";
    s.clientWidthTwips = 7290;
    s.clientHeightTwips = 5715;
    CreateForm(s);
    Show();
  }
  void Form_Unload() override {
    auto forms = tk::Form::Forms();
    for (tk::Form* f : forms)
      if (f != this) f->Unload();
  }
};

bool IsLoadedForm(const tk::Form* form) {
  const auto& forms = tk::Form::Forms();
  return std::find(forms.begin(), forms.end(), form) != forms.end();
}

// Client-area rectangle of a child in pixels, relative to its form's client area.
RECT ChildRect(HWND form, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string ToolTipOf(const tk::Form& form, HWND control) {
  char text[256] = {};
  TOOLINFOA ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = form.hwnd();
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  ti.lpszText = text;
  SendMessageA(form.ToolTips(), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&ti));
  return text;
}

void Click(HWND picture) {
  SendMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  SendMessageA(picture, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
}

class AboutWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    main_.Load();
    ASSERT_TRUE(main_.Loaded());
  }
  void TearDown() override {
    main_.Unload();
    // The last window gone ends the program's loop; this program goes on with the next test.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }

  RecordingSeam seam_;
  tk::SeamOverride override_{seam_};
  MainStandIn main_;
};

// ---- One modeless window ----------------------------------------------------------------------

TEST_F(AboutWindow, OpensOneWindowAndASecondCallShowsTheSame) {
  frmAbout& first = ShowAbout();
  ASSERT_TRUE(first.Loaded());
  EXPECT_TRUE(IsWindowVisible(first.hwnd()));
  HWND hwnd = first.hwnd();
  frmAbout& second = ShowAbout();
  EXPECT_EQ(&second, &first);
  EXPECT_EQ(second.hwnd(), hwnd);
  EXPECT_EQ(tk::Form::Forms().size(), 2u);  // the main window and one About window
  // Modeless: the main window stays usable.
  EXPECT_TRUE(IsWindowEnabled(main_.hwnd()));
}

TEST_F(AboutWindow, ShowsTitleVersionAndTexts) {
  frmAbout& about = ShowAbout();
  EXPECT_EQ(about.Caption(), "About Parcelo");
  EXPECT_EQ(about.lblTitle.Caption(), "Parcelo");
  EXPECT_EQ(about.lblVersion.Caption(), "Version 2.0.0");
  EXPECT_EQ(about.lblDescription.Caption(), "");
  EXPECT_EQ(about.lblDisclaimer.Caption(), "");
  EXPECT_EQ(about.Command1.Caption(), "&Join the Vellmark mailing list");
  EXPECT_EQ(about.Command2.Caption(), "&Vellmark");
  EXPECT_EQ(about.Command3.Caption(), "Clos&e");
  EXPECT_EQ(about.Command4.Caption(), "&System Info");
  EXPECT_EQ(about.txtAbout.Text(), "");
  EXPECT_EQ(about.Frame1.Caption(), "");
  EXPECT_EQ(about.Frame2.Caption(), "");
}

TEST_F(AboutWindow, IsTopmostAboveTheMainWindowAndOffTheTaskBar) {
  frmAbout& about = ShowAbout();
  EXPECT_TRUE(GetWindowLongA(about.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_FALSE(GetWindowLongA(main_.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  bool mainBelow = false;
  for (HWND h = GetWindow(about.hwnd(), GW_HWNDNEXT); h; h = GetWindow(h, GW_HWNDNEXT))
    if (h == main_.hwnd()) mainBelow = true;
  EXPECT_TRUE(mainBelow);

  // Not owned by the main window; no task-bar button: a tool window or a hidden owner.
  HWND owner = GetWindow(about.hwnd(), GW_OWNER);
  EXPECT_NE(owner, main_.hwnd());
  LONG ex = GetWindowLongA(about.hwnd(), GWL_EXSTYLE);
  EXPECT_FALSE(ex & WS_EX_APPWINDOW);
  EXPECT_TRUE((ex & WS_EX_TOOLWINDOW) || (owner && !IsWindowVisible(owner)));

  // Fixed dialog border without minimise or maximise.
  LONG style = GetWindowLongA(about.hwnd(), GWL_STYLE);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(style & WS_SYSMENU);
}

// ---- Layout -----------------------------------------------------------------------------------

struct Place {
  const char* name;
  double left, top, width, height;  // twips
};

TEST_F(AboutWindow, PlacesEveryControlAsTheTableSays) {
  frmAbout& about = ShowAbout();
  const Place frame2{"Frame2", 1560, 840, 3975, 1095};
  const Place frame1{"Frame1", 120, 2405, 4095, 1455};
  struct Row {
    Place place;
    HWND hwnd;
  };
  const Row rows[] = {
      {{"picIcon", 120, 120, 1065, 2205}, about.picIcon.hwnd()},
      {{"lblTitle", 1560, 240, 2805, 240}, about.lblTitle.hwnd()},
      {{"lblVersion", 1560, 600, 2325, 225}, about.lblVersion.hwnd()},
      {{"Image1", 5040, 120, 480, 480}, about.Image1.hwnd()},
      {frame2, about.Frame2.hwnd()},
      // Inside a frame the table's position is relative to the frame.
      {{"lblDescription", frame2.left + 120, frame2.top + 120, 3795, 810},
       about.lblDescription.hwnd()},
      {{"Command1", 1560, 2040, 2295, 345}, about.Command1.hwnd()},
      {{"Command2", 4320, 2040, 1245, 345}, about.Command2.hwnd()},
      {frame1, about.Frame1.hwnd()},
      {{"lblDisclaimer", frame1.left + 120, frame1.top + 240, 3870, 1185},
       about.lblDisclaimer.hwnd()},
      {{"Command3", 4290, 2777, 1245, 345}, about.Command3.hwnd()},
      {{"Command4", 4290, 3480, 1245, 345}, about.Command4.hwnd()},
      {{"txtAbout", 360, 4320, 4935, 285}, about.txtAbout.hwnd()},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.place.name);
    ASSERT_TRUE(IsWindow(row.hwnd));
    RECT r = ChildRect(about.hwnd(), row.hwnd);
    EXPECT_NEAR(r.left, row.place.left / kTwipsPerPixel, 1.0);
    EXPECT_NEAR(r.top, row.place.top / kTwipsPerPixel, 1.0);
    EXPECT_NEAR(r.right - r.left, row.place.width / kTwipsPerPixel, 1.0);
    EXPECT_NEAR(r.bottom - r.top, row.place.height / kTwipsPerPixel, 1.0);
  }

  RECT client{};
  GetClientRect(about.hwnd(), &client);
  EXPECT_NEAR(client.right, 5730 / kTwipsPerPixel, 1.0);
  EXPECT_NEAR(client.bottom, 3990 / kTwipsPerPixel, 1.0);
  // txtAbout lies wholly below the client area.
  EXPECT_GE(ChildRect(about.hwnd(), about.txtAbout.hwnd()).top, client.bottom);

  // Centred on the screen's work area.
  RECT outer{}, work{};
  GetWindowRect(about.hwnd(), &outer);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_NEAR((outer.left + outer.right) / 2.0, (work.left + work.right) / 2.0, 1.0);
  EXPECT_NEAR((outer.top + outer.bottom) / 2.0, (work.top + work.bottom) / 2.0, 1.0);
}

TEST_F(AboutWindow, TabOrderRunsThroughTheFocusableControls) {
  frmAbout& about = ShowAbout();
  const HWND order[] = {about.Command1.hwnd(), about.Command2.hwnd(), about.Command3.hwnd(),
                        about.Command4.hwnd(), about.txtAbout.hwnd(), about.picIcon.hwnd()};
  HWND h = about.picIcon.hwnd();
  for (HWND expected : order) {
    h = GetNextDlgTabItem(about.hwnd(), h, FALSE);
    EXPECT_EQ(h, expected);
  }
}

TEST_F(AboutWindow, TitleAndVersionAreBlueBoldAndTheOtherTextsBlack) {
  frmAbout& about = ShowAbout();
  for (HWND label : {about.lblTitle.hwnd(), about.lblVersion.hwnd()}) {
    LOGFONTA lf{};
    auto font = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
    ASSERT_TRUE(GetObjectA(font, sizeof lf, &lf));
    EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfHeight, -std::lround(9.75 * 96 / 72));  // 9.75 pt at 96 dots per inch
  }
  // The colour each label is drawn in, as the window hands it to the label.
  struct {
    HWND label;
    COLORREF color;
  } const colors[] = {{about.lblTitle.hwnd(), 0x00FF0000},
                      {about.lblVersion.hwnd(), 0x00FF0000},
                      {about.lblDescription.hwnd(), 0x00000000},
                      {about.lblDisclaimer.hwnd(), 0x00000000}};
  tk::MemoryDC dc(CreateCompatibleDC(nullptr));
  for (const auto& c : colors) {
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageA(about.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()),
                 reinterpret_cast<LPARAM>(c.label));
    EXPECT_EQ(GetTextColor(dc), c.color);
  }
}

TEST_F(AboutWindow, CarriesItsToolTips) {
  frmAbout& about = ShowAbout();
  EXPECT_EQ(ToolTipOf(about, about.picIcon.hwnd()), "Vellmark Software");
  EXPECT_EQ(ToolTipOf(about, about.Command1.hwnd()), "Join our mailing list");
  EXPECT_EQ(ToolTipOf(about, about.Command2.hwnd()), "Visit Vellmark");
  EXPECT_EQ(ToolTipOf(about, about.Command3.hwnd()), "Close this window");
  EXPECT_EQ(ToolTipOf(about, about.Command4.hwnd()), "Info about your computer");
  EXPECT_EQ(ToolTipOf(about, about.Image1.hwnd()), "");
  EXPECT_EQ(ToolTipOf(about, about.lblTitle.hwnd()), "");
}

TEST_F(AboutWindow, ShowsItsTwoPictures) {
  frmAbout& about = ShowAbout();
  ASSERT_TRUE(about.picIcon.Picture());
  EXPECT_EQ(about.picIcon.Picture()->WidthPx(), 67);
  EXPECT_EQ(about.picIcon.Picture()->HeightPx(), 143);
  // The picture box's border leaves exactly the picture's size inside.
  RECT inside = about.picIcon.ClientPx();
  EXPECT_EQ(inside.right, 67);
  EXPECT_EQ(inside.bottom, 143);
  ASSERT_TRUE(about.Image1.Picture());
  EXPECT_EQ(about.Image1.Picture()->WidthPx(), 32);
  EXPECT_EQ(about.Image1.Picture()->HeightPx(), 32);
}

// ---- Pointer and links ------------------------------------------------------------------------

HCURSOR CursorShownOver(HWND control) {
  SetCursor(LoadCursor(nullptr, IDC_IBEAM));
  SendMessageA(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  return GetCursor();
}

TEST_F(AboutWindow, LinkButtonsShowTheHandOnceThePointerMovesOverThem) {
#ifdef ABOUT_TESTS_HAVE_HAND
  HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_HAND_POINTER));
  ASSERT_NE(hand, nullptr);
#else
  HCURSOR hand = LoadCursor(nullptr, IDC_HAND);  // a program without the resource gets the system's
#endif
  frmAbout& about = ShowAbout();
  for (HWND button : {about.Command1.hwnd(), about.Command2.hwnd()}) {
    EXPECT_NE(CursorShownOver(button), hand);
    SendMessageA(button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(CursorShownOver(button), hand);
  }
  SendMessageA(about.Command3.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_NE(CursorShownOver(about.Command3.hwnd()), hand);
}

TEST_F(AboutWindow, LinksOpenTheMakersPagesThroughTheShell) {
  frmAbout& about = ShowAbout();
  about.Command1.Click();
  about.Command2.Click();
  Click(about.picIcon.hwnd());
  ASSERT_EQ(seam_.shellCalls.size(), 3u);
  const char* expected[] = {about_links::kMailingList, about_links::kWebSite,
                            about_links::kWebSite};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const auto& call = seam_.shellCalls[i];
    EXPECT_EQ(call.owner, about.hwnd());
    EXPECT_EQ(call.verb, "open");
    EXPECT_EQ(call.file, expected[i]);
    EXPECT_EQ(call.parameters, "");
    EXPECT_EQ(call.directory, "");
    EXPECT_EQ(call.show, SW_SHOWNORMAL);
  }
  EXPECT_NE(std::string(about_links::kWebSite), about_links::kMailingList);
  EXPECT_TRUE(seam_.starts.empty());
  EXPECT_TRUE(seam_.messages.empty());
}

TEST_F(AboutWindow, GlobeStartsTheWebSiteThroughTheCommandInterpreter) {
  frmAbout& about = ShowAbout();
  Click(about.Image1.hwnd());
  ASSERT_EQ(seam_.starts.size(), 1u);
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  EXPECT_EQ(seam_.starts[0].commandLine,
            "\"" + std::string(system) + "\\cmd.exe\" /c start " + about_links::kWebSite);
  EXPECT_EQ(seam_.starts[0].windowStyle, 2);  // minimised with focus
  EXPECT_TRUE(seam_.shellCalls.empty());

  // A start that fails leaves the window as it was, and says nothing.
  seam_.startSucceeds = false;
  Click(about.Image1.hwnd());
  EXPECT_EQ(seam_.starts.size(), 2u);
  EXPECT_TRUE(about.Loaded());
  EXPECT_TRUE(seam_.messages.empty());
}

// ---- System information -----------------------------------------------------------------------

// Stands a scratch key in for the local machine's root, for this process only.
class LocalMachineStandIn {
 public:
  explicit LocalMachineStandIn(const TestKey& key) {
    tk::RegKey stand = OpenUserKey(key.Path(), KEY_ALL_ACCESS);
    ok_ = stand && RegOverridePredefKey(HKEY_LOCAL_MACHINE, stand) == ERROR_SUCCESS;
  }
  ~LocalMachineStandIn() {
    if (ok_) RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  }
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

// A scratch folder, removed at the end.
class TempFolder {
 public:
  TempFolder() {
    static int serial = 0;
    path_ =
        std::filesystem::temp_directory_path() /
        ("parcelo-about-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

enum class Folder { kNone, kWithTool, kWithoutTool, kToolIsAFolder };

struct SysInfoCase {
  const char* name;
  const char* fullPath;  // the first lookup's value, or none
  Folder folder;         // what the second lookup names
  bool startSucceeds;
  bool expectStart;  // a start is asked for (of the full path if given, else of the folder's tool)
  bool expectMessage;
};

const SysInfoCase kSysInfoCases[] = {
    {"NothingRecorded", nullptr, Folder::kNone, true, false, true},
    {"FullPathRecorded", "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe",
     Folder::kNone, true, true, false},
    {"FullPathWinsOverFolder", "C:\\Tools\\msinfo32.exe", Folder::kWithTool, true, true, false},
    {"FolderHoldsTheTool", nullptr, Folder::kWithTool, true, true, false},
    {"FolderWithoutTheTool", nullptr, Folder::kWithoutTool, true, false, true},
    {"ToolNameIsAFolder", nullptr, Folder::kToolIsAFolder, true, false, true},
    {"ToolDoesNotStart", "C:\\Tools\\msinfo32.exe", Folder::kNone, false, true, true},
};

class SysInfo : public AboutWindow, public ::testing::WithParamInterface<SysInfoCase> {};

TEST_P(SysInfo, StartsTheToolOrSaysItIsUnavailable) {
  const SysInfoCase& c = GetParam();
  TestKey machine;
  TempFolder folder;
  if (c.fullPath) {
    ASSERT_TRUE(machine.SetRaw("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", REG_SZ,
                               std::string(c.fullPath) + '\0'));
  }
  if (c.folder != Folder::kNone) {
    ASSERT_TRUE(machine.SetRaw("SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", REG_SZ,
                               folder.Path() + '\0'));
  }
  const std::string tool = folder.Path() + "\\MSINFO32.EXE";
  if (c.folder == Folder::kWithTool)
    tk::File(CreateFileA(tool.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  if (c.folder == Folder::kToolIsAFolder) CreateDirectoryA(tool.c_str(), nullptr);
  seam_.startSucceeds = c.startSucceeds;

  frmAbout& about = ShowAbout();
  {
    LocalMachineStandIn standIn(machine);
    ASSERT_TRUE(standIn.ok());
    about.Command4.Click();
  }

  if (c.expectStart) {
    ASSERT_EQ(seam_.starts.size(), 1u);
    std::string expected = c.fullPath ? c.fullPath : tool;
    EXPECT_EQ(seam_.starts[0].commandLine, "\"" + expected + "\"");
    EXPECT_EQ(seam_.starts[0].windowStyle, 1);  // normal with focus
  } else {
    EXPECT_TRUE(seam_.starts.empty());
  }
  if (c.expectMessage) {
    ASSERT_EQ(seam_.messages.size(), 1u);
    EXPECT_EQ(seam_.messages[0].text, "System Information Is Unavailable At This Time");
    EXPECT_EQ(seam_.messages[0].caption, "Parcelo");
    EXPECT_EQ(seam_.messages[0].flags, static_cast<UINT>(MB_OK));  // only OK, no icon
  } else {
    EXPECT_TRUE(seam_.messages.empty());
  }
  EXPECT_TRUE(about.Loaded());
}

INSTANTIATE_TEST_SUITE_P(Lookups, SysInfo, ::testing::ValuesIn(kSysInfoCases),
                         [](const auto& row) { return std::string(row.param.name); });

// ---- Unload -----------------------------------------------------------------------------------

TEST_F(AboutWindow, UnloadsByItsCloseButtonByItsOwnCloseAndWithTheMainWindowThenLoadsAfresh) {
  struct Way {
    const char* name;
    void (*unload)(frmAbout&, MainStandIn&);
  } const ways[] = {
      {"Clos&e", [](frmAbout& a, MainStandIn&) { a.Command3.Click(); }},
      {"own close", [](frmAbout& a, MainStandIn&) { SendMessageA(a.hwnd(), WM_CLOSE, 0, 0); }},
      {"main window", [](frmAbout&, MainStandIn& m) { m.Unload(); }},
  };
  HWND previous = nullptr;
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    if (!main_.Loaded()) main_.Load();
    frmAbout& about = ShowAbout();
    HWND hwnd = about.hwnd();
    ASSERT_TRUE(IsWindow(hwnd));
    // After an unload the window loads afresh, and its load runs again.
    EXPECT_NE(hwnd, previous);
    EXPECT_EQ(about.Caption(), "About Parcelo");
    EXPECT_TRUE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    previous = hwnd;
    way.unload(about, main_);
    EXPECT_FALSE(about.Loaded());
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(IsLoadedForm(&about));
  }
  EXPECT_FALSE(main_.Loaded());
}

}  // namespace
