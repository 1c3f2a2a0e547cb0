// The log pane given one very long line (a service's fault text as it
// came): how long the window takes to show it and to answer afterwards.
// Runs the real window on the offscreen platform.
// Usage: log_pane_bench [MiB ...]   (default: 1 4 10)
#include <QApplication>
#include <QPlainTextEdit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/ScriptedAnswers.h"
#include "app/ufrmMain.h"
#include "statements/uSQLManager.h"
#include "support/platform/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A fault text of `bytes` characters: one word, or words of eight letters.
std::string FaultText(size_t bytes, bool words) {
  std::string text = "Fault: ";
  text.reserve(bytes);
  while (text.size() < bytes)
    text += words && text.size() % 9 == 0 ? ' ' : 'x';
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::vector<size_t> sizes;
  for (int i = 1; i < argc; ++i)
    sizes.push_back(std::strtoul(argv[i], nullptr, 10));
  if (sizes.empty()) sizes = {1, 4, 10};
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  const movrano::SQLManagerScope statements;
  const movrano::testing::TempDir programFolder;
  // Nothing here asks the user anything; a failure is printed.
  movrano::testing::ScriptedPrompter prompter;
  prompter.onConfirm = [](const std::string&) { return false; };
  prompter.onError = [](const std::string& message) {
    std::fprintf(stderr, "window: %s\n", message.c_str());
  };
  movrano::testing::ScriptedDialogs dialogs;
  movrano::TfrmMain window(programFolder.path(), prompter, dialogs);
  window.show();
  QApplication::processEvents();

  std::printf("%-6s %-6s %12s %12s %12s\n", "MiB", "text", "shown ms", "answers ms", "pane chars");
  for (const size_t mib : sizes) {
    for (const bool words : {false, true}) {
      const std::string fault = FaultText(mib << 20, words);
      const auto start = Clock::now();
      window.AddLogLine(fault);
      QApplication::processEvents();
      const double shown = MillisecondsSince(start);
      const auto next = Clock::now();
      window.resize(window.width() - 20, window.height());
      window.AddLogLine("next line");
      QApplication::processEvents();
      const double answers = MillisecondsSince(next);
      const auto* pane = window.findChild<QPlainTextEdit*>("mmLog");
      std::printf("%-6zu %-6s %12.1f %12.1f %12lld\n", mib, words ? "words" : "one", shown, answers,
                  static_cast<long long>(pane->toPlainText().size()));
    }
  }
  return 0;
}
