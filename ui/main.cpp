#include "BrokenPipe.h"
#include "CVestrelApp.h"
#include "LinkKinds.h"

int main(int argc, char** argv) {
  ignoreBrokenPipes();
  CVestrelApp app(argc, argv);  // keeps its own copy of the arguments
  CMNC::HidePortPasswords(argc, argv);
  return app.run();
}
