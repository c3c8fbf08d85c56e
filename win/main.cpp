#include "WindowsApp.h"

int main() {
  WindowsApp app;
  return app.run();
}
