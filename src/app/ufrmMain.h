#pragma once
// The program's one window: mode choice, source and target fields, Run,
// the live log with copy and save, and closing that cancels a run. It
// wires its controls to the form model (FormModel.h) and the settings
// file, starts the migration worker and shows what the worker reports.
#include <QWidget>
#include <filesystem>
#include <string>

#include "app/Dialogs.h"
#include "app/FormLayout.h"
#include "app/FormModel.h"
#include "app/QtSynchronizer.h"

namespace movrano {

class TMigrationThread;

class TfrmMain final : public QWidget {
  Q_OBJECT

 public:
  // Reads the statement files and the settings file of `programFolder`
  // (the executable's folder); failures show in an error message box and
  // the window is still made.
  TfrmMain(std::filesystem::path programFolder, Prompter& prompter, FileDialogs& dialogs,
           QWidget* parent = nullptr);
  ~TfrmMain() override;

  // For program exit: a run still going is asked to stop, and its calls
  // are served until its idle notice.
  void StopRunAndWait();

  // The worker's log callback: appends one line, with the time of day, to
  // the log pane.
  void AddLogLine(const std::string& AText);

  // A termination signal (TerminationSignals.h): a run is cancelled as a
  // confirmed close does and the program ends once the window has closed
  // after it; without a run the program ends at once.
  void EndOnSignal();

 protected:
  void closeEvent(QCloseEvent* event) override;
  // Centres the window on its screen the first time it is shown.
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ConnectControls();
  void FormCreate();
  void FormCloseQuery(bool& CanClose);
  void FormClose();

  void btnImportClick();
  void SetInProcess(bool aInProcess);
  void btnCopyLogClick();
  void btnSaveLogClick();

  void edSourceVaultPathDblClick();
  void edDestVaultPath2DblClick();
  void SelectBackupFile();
  void SelectInstallerFile();

  // Shows the model in the controls.
  void ShowModel();
  void ShowSelectedItem();
  // Runs a handler; what it raises is shown in an error message box.
  template <typename Handler>
  void Guarded(Handler&& handler);

  std::filesystem::path programFolder_;
  Prompter& prompter_;
  FileDialogs& dialogs_;
  FormControls ui_;
  FormModel model_;
  QtSynchronizer sync_;

  TMigrationThread* MigrationThread = nullptr;  // not owned: the worker frees itself
  bool InProcess = false;
  bool CloseOnIdle = false;
  bool endOnIdle_ = false;     // a signal asked the program to end with the run
  bool showingModel_ = false;  // the controls are being set from the model
  bool placed_ = false;        // the window has been centred
};

}  // namespace movrano
