// The real password window, answered as a user answers it: a typed password and Enter, or Esc.
#include <windows.h>

#include "gui/Fixtures.h"
#include "platform/toolkit/App.h"
#include "platform/toolkit/PasswordBox.h"

namespace {

using guitest::DialogWatcher;
using RealPasswordWindow = guitest::WindowTest;

TEST_F(RealPasswordWindow, IsModalMaskedAndAnsweredByEnterOrEsc) {
  form->Show();
  const struct {
    std::optional<std::string> typed;  // nullopt: Esc
    size_t room;
    bool given;
    const char* answer;
  } cases[] = {
      {"secret", 64, true, "secret"},
      {"", 64, true, ""},
      {"abcdefgh", 5, true, "abcd"},  // no more than the room
      {std::nullopt, 64, false, ""},
  };
  for (const auto& c : cases) {
    tk::SecretText answer(c.room);
    DialogWatcher watcher(nullptr, [&](const std::string&) { return c.typed; });
    bool given =
        tk::PasswordBox("Enter the password of \"a.txt\":", tk::App::Title(), form->hwnd(), answer);
    EXPECT_EQ(given, c.given) << c.answer;
    EXPECT_EQ(answer.View(), c.answer);
    auto seen = watcher.PasswordWindows();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Parcelo");
    EXPECT_EQ(seen[0].text, "Enter the password of \"a.txt\":");
    EXPECT_FALSE(seen[0].ownerEnabled) << "the main window waits for the answer";
    EXPECT_FALSE(IsWindow(seen[0].hwnd)) << "gone when answered";
    EXPECT_TRUE(form->Enabled()) << "and the main window takes input again";
  }
}

}  // namespace
