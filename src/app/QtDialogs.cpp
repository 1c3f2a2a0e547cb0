#include "app/QtDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace movrano {

namespace {

QString ToQt(const std::string& text) {
  return QString::fromStdString(text);
}

// Message boxes break lines at "\n" alone.
QString MessageText(const std::string& text) {
  return ToQt(text).replace("\r\n", "\n");
}

bool AskYesNo(QWidget* parent, QMessageBox::Icon icon, const char* caption,
              const std::string& question) {
  QMessageBox box(icon, caption, MessageText(question), QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

QStringList NameFilters(const std::vector<FileFilter>& filters) {
  QStringList list;
  for (const auto& f : filters) {
    list << (f.name == f.pattern ? ToQt(f.pattern) : ToQt(f.name + " (" + f.pattern + ")"));
  }
  return list;
}

std::optional<std::string> RunFileDialog(QWidget* parent, const FileDialogRequest& request,
                                         QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent, ToQt(request.title));
  dialog.setAcceptMode(mode);
  dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (mode == QFileDialog::AcceptSave) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setNameFilters(NameFilters(request.filters));
  dialog.setDefaultSuffix(ToQt(request.defaultSuffix));
  dialog.selectFile(ToQt(request.fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

}  // namespace

bool QtPrompter::confirm(const std::string& question) {
  return AskYesNo(parent_, QMessageBox::Question, "Confirm", question);
}

bool QtPrompter::warn(const std::string& question) {
  return AskYesNo(parent_, QMessageBox::Warning, "Warning", question);
}

void QtPrompter::showError(const std::string& message) {
  QMessageBox::critical(parent_, "Movrano", MessageText(message));
}

std::optional<std::string> QtFileDialogs::pickFolder(const std::string& start,
                                                     const std::string& caption) {
  QFileDialog dialog(parent_, ToQt(caption), ToQt(start));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  dialog.setLabelText(QFileDialog::Accept, "Select");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> QtFileDialogs::openFile(const FileDialogRequest& request) {
  return RunFileDialog(parent_, request, QFileDialog::AcceptOpen);
}

std::optional<std::string> QtFileDialogs::saveFile(const FileDialogRequest& request) {
  return RunFileDialog(parent_, request, QFileDialog::AcceptSave);
}

}  // namespace movrano
