#pragma once
// The window's questions and dialogs answered from a script, with what was
// asked kept: for the window's tests, the signal test's child program and
// the log pane's benchmark.
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/Dialogs.h"

namespace movrano::testing {

class ScriptedPrompter final : public Prompter {
 public:
  bool confirm(const std::string& question) override;
  bool warn(const std::string& question) override;
  void showError(const std::string& message) override;

  // The answers; each may also serve the event loop before it answers.
  std::function<bool(const std::string&)> onConfirm = [](const std::string&) { return true; };
  std::function<bool(const std::string&)> onWarn = [](const std::string&) { return false; };
  std::function<void(const std::string&)> onError = [](const std::string&) {};
  std::vector<std::string> confirmations;
  std::vector<std::string> warnings;
  std::vector<std::string> errors;
};

class ScriptedDialogs final : public FileDialogs {
 public:
  std::optional<std::string> pickFolder(const std::string& start,
                                        const std::string& caption) override;
  std::optional<std::string> openFile(const FileDialogRequest& request) override;
  std::optional<std::string> saveFile(const FileDialogRequest& request) override;

  std::optional<std::string> answer;  // what every dialog answers; nothing: Cancel
  std::vector<std::pair<std::string, std::string>> folderRequests;  // start, caption
  std::vector<FileDialogRequest> openRequests;
  std::vector<FileDialogRequest> saveRequests;
};

}  // namespace movrano::testing
