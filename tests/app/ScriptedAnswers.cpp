#include "app/ScriptedAnswers.h"

namespace movrano::testing {

bool ScriptedPrompter::confirm(const std::string& question) {
  confirmations.push_back(question);
  return onConfirm(question);
}

bool ScriptedPrompter::warn(const std::string& question) {
  warnings.push_back(question);
  return onWarn(question);
}

void ScriptedPrompter::showError(const std::string& message) {
  errors.push_back(message);
  onError(message);
}

std::optional<std::string> ScriptedDialogs::pickFolder(const std::string& start,
                                                       const std::string& caption) {
  folderRequests.emplace_back(start, caption);
  return answer;
}

std::optional<std::string> ScriptedDialogs::openFile(const FileDialogRequest& request) {
  openRequests.push_back(request);
  return answer;
}

std::optional<std::string> ScriptedDialogs::saveFile(const FileDialogRequest& request) {
  saveRequests.push_back(request);
  return answer;
}

}  // namespace movrano::testing
