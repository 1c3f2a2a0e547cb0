#include "app/WindowHarness.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "engine/MigrationThread.h"

namespace movrano::testing {

void ServeEventsUntil(const std::function<bool()>& done, const std::string& what,
                      std::chrono::milliseconds limit) {
  const WaitBound bound(what, limit);
  // Wakes the loop now and then, when nothing else comes.
  QTimer tick;
  tick.start(50);
  while (!done()) {
    bound.check();
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

WindowTest::WindowTest() {
  platform_.setRegistry("Windows Registry Editor Version 5.00\n");
}

WindowTest::~WindowTest() {
  if (window_) window_->StopRunAndWait();
  window_.reset();
  TMigrationThread::WaitForAll();
}

void WindowTest::deployStatements() const {
  std::filesystem::copy_file(MOVRANO_STATEMENT_FILE, programFolder_.path() / "Movrano.sql");
}

TfrmMain& WindowTest::open(QScreen* screen) {
  window_ = std::make_unique<TfrmMain>(programFolder_.path(), prompter_, dialogs_);
  if (screen) {
    // A window belongs to the screen under it.
    window_->setScreen(screen);
    window_->move(screen->availableGeometry().topLeft());
  }
  window_->show();
  return *window_;
}

std::string WindowTest::text(const char* editName) {
  return control<QLineEdit>(editName)->text().toStdString();
}

// As a paste over the whole text: one edit, one source-folder rule.
void WindowTest::type(const char* editName, const std::string& text) {
  QLineEdit* edit = control<QLineEdit>(editName);
  edit->selectAll();
  edit->insert(QString::fromStdString(text));
}

void WindowTest::click(const char* buttonName) {
  control<QAbstractButton>(buttonName)->click();
}

void WindowTest::doubleClick(const char* editName) {
  QTest::mouseDClick(control<QLineEdit>(editName), Qt::LeftButton);
}

void WindowTest::selectItem(int index) {
  auto* group = control<QWidget>("rgMigrationMode");
  group->findChild<QAbstractButton*>(QString("rgMigrationModeItem%1").arg(index))->click();
}

void WindowTest::serveUntilIdle() {
  ServeEventsUntil([this] { return !running(); }, "the idle notice of the run");
}

void WindowTest::runToEnd() {
  click("btnImport");
  serveUntilIdle();
}

std::vector<std::string> WindowTest::paneLines() {
  const QString text = control<QPlainTextEdit>("mmLog")->toPlainText();
  std::vector<std::string> lines;
  if (text.isEmpty()) return lines;
  for (const QString& line : text.split('\n'))
    lines.push_back(line.toStdString());
  return lines;
}

std::vector<std::string> WindowTest::paneTexts() {
  std::vector<std::string> texts;
  for (const std::string& line : paneLines()) {
    const size_t cut = line.find(": ");
    texts.push_back(cut == std::string::npos ? line : line.substr(cut + 2));
  }
  return texts;
}

std::string WindowTest::settingsFile() const {
  return (programFolder_.path() / "Movrano.ini").string();
}

}  // namespace movrano::testing
