// Parcelo's entry point: the main window is the only start-up object.
#include <windows.h>

#include "app/Form1.h"
#include "platform/toolkit/Events.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Form1 form;
  if (!form.Load()) return 0;
  return tk::RunMessageLoop();
}
