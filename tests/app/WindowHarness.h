#pragma once
// The real main window under the offscreen platform for a test: a program
// folder of its own (statement files, settings file), a platform double,
// questions and dialogs answered from a script, and the main thread's
// event loop served until the window reaches the state a test waits for.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ScriptedAnswers.h"
#include "app/ufrmMain.h"
#include "statements/uSQLManager.h"
#include "support/platform/TempDir.h"
#include "support/platform/TestPlatform.h"
#include "support/platform/Waits.h"

namespace movrano::testing {

// Serves the event loop until `done` answers true; past the limit the test
// program ends, saying what it waited for (Waits.h).
void ServeEventsUntil(const std::function<bool()>& done,
                      const std::string& what = "the window's awaited state",
                      std::chrono::milliseconds limit = kWaitLimit);

class WindowTest : public ::testing::Test {
 protected:
  WindowTest();
  ~WindowTest() override;

  // Puts the deployment's statement file into the program folder.
  void deployStatements() const;
  // Makes and shows the window, on `screen` when one is given; it reads
  // the program folder now.
  TfrmMain& open(QScreen* screen = nullptr);
  TfrmMain& window() { return *window_; }
  bool isOpen() const { return window_ && window_->isVisible(); }

  template <typename Control>
  Control* control(const char* name) {
    auto* found = window_->findChild<Control*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  std::string text(const char* editName);
  void type(const char* editName, const std::string& text);
  void click(const char* buttonName);
  void doubleClick(const char* editName);
  void selectItem(int index);

  // Presses Run (answered Yes) and serves the loop to the run's idle notice.
  void runToEnd();
  bool running() { return !control<QPushButton>("btnImport")->isEnabled(); }
  void serveUntilIdle();
  // The pane's lines, and each without the time in front of it.
  std::vector<std::string> paneLines();
  std::vector<std::string> paneTexts();
  std::string settingsFile() const;

  TestPlatform platform_;
  SQLManagerScope statements_;
  TempDir programFolder_;
  ScriptedPrompter prompter_;
  ScriptedDialogs dialogs_;

 private:
  std::unique_ptr<TfrmMain> window_;
};

}  // namespace movrano::testing
