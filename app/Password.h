// The password window's decisions without a window: what it says for a member, and how the
// answer reaches unzip32.dll.
#pragma once
#include <functional>
#include <string>

#include "platform/toolkit/Secret.h"

// The most a password may take, its NUL included, whatever room the library offers.
inline constexpr int kPasswordRoom = 1024;

// The window's text for `member` of `archive`, after the library's `prompt`: it says so when
// the last password did not fit (UNZIP32_PASSWORD_AGAIN).
std::string PasswordWindowText(const std::string& member, const std::string& archive,
                               const char* prompt);

// Answers UnzipPasswordProc. `ask` gets room for the password and says whether one was
// given. A given password goes into `buffer` (at most size - 1 bytes and a NUL):
// UNZIP32_PASSWORD_GIVEN. Cancel, or a buffer without room for one letter, skips every further
// encrypted member: UNZIP32_PASSWORD_SKIP_ALL. The room handed to `ask` is wiped before this
// returns.
int AnswerPassword(char* buffer, int size, const std::function<bool(tk::SecretText&)>& ask);
