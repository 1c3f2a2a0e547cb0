// The window tests' entry: one application object on the offscreen
// platform, the service registrations the program makes at start-up, and
// the C locale for the log's time of day.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>

#include "services/IDS.h"
#include "services/TavrinGlobalCatalog.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  movrano::RegisterIDSTypes();
  movrano::RegisterTavrinGlobalCatalogTypes();
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  std::setlocale(LC_ALL, "C");
  return RUN_ALL_TESTS();
}
