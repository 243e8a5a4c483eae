// The application object: title, version, folder and the previous-instance flag.
#pragma once
#include <string>

namespace tk::App {

const std::string& Title();  // "Parcelo"
int Major();
int Minor();
int Revision();
// The folder of the running program, without a trailing backslash.
std::string Path();
// The running program's file name without its extension.
std::string EXEName();
// True when another copy of this program already runs. The first call claims the instance.
bool PrevInstance();

}  // namespace tk::App
