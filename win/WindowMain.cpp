// vestrelw.exe: the window program, for the Start menu and double-clicks. No console ever
// appears; an unattended "/run" shows in the wizard's window.
#include "WindowsApp.h"

int main() {
  WindowsApp app(WindowsApp::Kind::Window);
  return app.run();
}
