#include "app/QtDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/Pickers.h"

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

// Qt's dialog gives its default suffix to every name typed without one,
// also to an existing file's, and then refuses that file as not found. A
// dialog for an existing file adds the suffix itself, only when the name
// as typed does not exist.
class FileDialog final : public QFileDialog {
 public:
  FileDialog(QWidget* parent, const FileDialogRequest& request)
      : QFileDialog(parent, ToQt(request.title)), request_(request) {
    setFileMode(request.mustExist ? ExistingFile : AnyFile);
    if (!request.mustExist) setDefaultSuffix(ToQt(request.defaultSuffix));
  }

  void accept() override {
    const QStringList typed = selectedFiles();
    if (request_.mustExist && typed.size() == 1) {
      const std::string name =
          TypedExistingFileName(typed.front().toStdString(), request_.defaultSuffix);
      if (name != typed.front().toStdString()) selectFile(ToQt(name));
    }
    QFileDialog::accept();
  }

 private:
  FileDialogRequest request_;
};

std::optional<std::string> RunFileDialog(QWidget* parent, const FileDialogRequest& request,
                                         QFileDialog::AcceptMode mode) {
  FileDialog dialog(parent, request);
  dialog.setAcceptMode(mode);
  if (mode == QFileDialog::AcceptSave) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setNameFilters(NameFilters(request.filters));
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
