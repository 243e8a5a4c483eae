#include "app/Password.h"

#include <algorithm>
#include <cstring>

#include "dll/include/unzip32.h"

std::string PasswordWindowText(const std::string& member, const std::string& archive,
                               const char* prompt) {
  const bool wrong = prompt && std::strcmp(prompt, UNZIP32_PASSWORD_AGAIN) == 0;
  return std::string(wrong ? "The password was wrong. " : "") + "Enter the password of \"" +
         member + "\" in the Zip file " + archive + ":";
}

int AnswerPassword(char* buffer, int size, const std::function<bool(tk::SecretText&)>& ask) {
  if (!buffer || size < 2) return UNZIP32_PASSWORD_SKIP_ALL;  // not even one letter fits
  tk::SecretText typed(static_cast<size_t>(std::min(size, kPasswordRoom)));
  if (!ask(typed)) return UNZIP32_PASSWORD_SKIP_ALL;
  std::string_view password = typed.View();
  size_t length = std::min(password.size(), static_cast<size_t>(size) - 1);
  std::memcpy(buffer, password.data(), length);
  buffer[length] = '\0';
  return UNZIP32_PASSWORD_GIVEN;
}
