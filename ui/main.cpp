#include "CVestrelApp.h"

int main(int argc, char** argv) {
  CVestrelApp app(argc, argv);
  return app.run();
}
