#pragma once
// The program's answers to the window's questions and pickers: Qt message
// boxes and file dialogs, modal to the window.
#include <QWidget>

#include "app/Dialogs.h"

namespace movrano {

class QtPrompter final : public Prompter {
 public:
  explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }

  bool confirm(const std::string& question) override;
  bool warn(const std::string& question) override;
  void showError(const std::string& message) override;

 private:
  QWidget* parent_;
};

class QtFileDialogs final : public FileDialogs {
 public:
  explicit QtFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }

  std::optional<std::string> pickFolder(const std::string& start,
                                        const std::string& caption) override;
  std::optional<std::string> openFile(const FileDialogRequest& request) override;
  std::optional<std::string> saveFile(const FileDialogRequest& request) override;

 private:
  QWidget* parent_;
};

}  // namespace movrano
