#include "CVestrelApp.h"
#include "LinkKinds.h"

int main(int argc, char** argv) {
  CVestrelApp app(argc, argv);  // keeps its own copy of the arguments
  CMNC::HidePortPasswords(argc, argv);
  return app.run();
}
