// vestrel.exe: the console program, the one shells, scripts and the fleet run. It runs in the
// console it was started from, so the shell waits for it and sees its exit status.
#include "WindowsApp.h"

int main() {
  WindowsApp app(WindowsApp::Kind::Console);
  return app.run();
}
