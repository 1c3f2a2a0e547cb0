#pragma once
// The questions the window asks and the dialogs it opens, behind two small
// interfaces: the program answers them with Qt's message boxes and file
// dialogs, tests with scripted answers.
#include <optional>
#include <string>
#include <vector>

namespace movrano {

class Prompter {
 public:
  virtual ~Prompter() = default;
  // Yes/No questions (lines separated by CR LF); true for Yes.
  virtual bool confirm(const std::string& question) = 0;  // a confirmation
  virtual bool warn(const std::string& question) = 0;     // a warning
  // A failure the user must know of; the window stays usable.
  virtual void showError(const std::string& message) = 0;
};

struct FileFilter {
  std::string name;
  std::string pattern;

  bool operator==(const FileFilter&) const = default;
};

struct FileDialogRequest {
  std::string title;  // empty: the dialog's own
  std::vector<FileFilter> filters;
  std::string defaultSuffix;  // given to a name typed without one
  std::string fileName;       // the name the dialog opens with
  bool mustExist = false;     // only an existing file is accepted

  bool operator==(const FileDialogRequest&) const = default;
};

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // Each answers the chosen name, or nothing when the user cancelled.
  virtual std::optional<std::string> pickFolder(const std::string& start,
                                                const std::string& caption) = 0;
  virtual std::optional<std::string> openFile(const FileDialogRequest& request) = 0;
  // Replaces an existing file without asking.
  virtual std::optional<std::string> saveFile(const FileDialogRequest& request) = 0;
};

}  // namespace movrano
