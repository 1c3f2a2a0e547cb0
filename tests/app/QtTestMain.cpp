// The window tests' entry: one application object on the offscreen
// platform, the service registrations the program makes at start-up, and
// the C locale for the log's time of day.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryFile>
#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "services/IDS.h"
#include "services/TavrinGlobalCatalog.h"

namespace {

// The offscreen platform's own screen (800 by 600) is smaller than the
// window; the tests get a desktop's screen instead, and beside it the
// screens of small desktops and laptops and a large one meant for 200 %.
constexpr const char* kScreenConfig = R"({"screens": [
    {"name": "Desktop", "x": 0, "y": 0, "width": 1280, "height": 1024,
     "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
    {"name": "Laptop", "x": 1280, "y": 0, "width": 1366, "height": 768,
     "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
    {"name": "Small", "x": 2646, "y": 0, "width": 1024, "height": 768,
     "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
    {"name": "Large", "x": 3670, "y": 0, "width": 2560, "height": 1440,
     "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  movrano::RegisterIDSTypes();
  movrano::RegisterTavrinGlobalCatalogTypes();

  QTemporaryFile screenConfig;
  std::vector<char*> args(argv, argv + argc);
  std::string platform;
  if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && screenConfig.open()) {
    screenConfig.write(kScreenConfig);
    screenConfig.flush();
    platform = "offscreen:configfile=" + screenConfig.fileName().toStdString();
    args.push_back(const_cast<char*>("-platform"));
    args.push_back(platform.data());
  }
  int qtArgc = static_cast<int>(args.size());
  args.push_back(nullptr);
  QApplication application(qtArgc, args.data());
  QApplication::setQuitOnLastWindowClosed(false);
  std::setlocale(LC_ALL, "C");
  return RUN_ALL_TESTS();
}
