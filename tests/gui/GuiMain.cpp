// The UI tests run on Qt's offscreen platform with their settings in a private folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "TempDir.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  TempDir config;
  ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Telmora"));
  QApplication::setApplicationName(QStringLiteral("Vestrel"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
