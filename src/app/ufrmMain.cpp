#include "app/ufrmMain.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScopedValueRollback>
#include <QScreen>
#include <algorithm>
#include <utility>

#include "app/LogText.h"
#include "app/MigrationModes.h"
#include "app/Pickers.h"
#include "app/Settings.h"
#include "engine/MigrationThread.h"
#include "platform/Paths.h"
#include "platform/Version.h"
#include "statements/uSQLManager.h"

namespace movrano {

namespace {

constexpr const char* kQuitQuestion =
    "Do you want to quit? This will lead to the cancellation of migration process?";
constexpr const char* kFolderCaption = "Select Directory";

QString ToQt(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

template <typename Handler>
void TfrmMain::Guarded(Handler&& handler) {
  try {
    handler();
    ShowModel();
  } catch (const std::exception& e) {
    ShowModel();
    prompter_.showError(e.what());
  }
}

TfrmMain::TfrmMain(std::filesystem::path programFolder, Prompter& prompter, FileDialogs& dialogs,
                   QWidget* parent)
    : QWidget(parent),
      programFolder_(std::move(programFolder)),
      prompter_(prompter),
      dialogs_(dialogs),
      ui_(BuildFormControls(*this)) {
  setObjectName("frmMain");
  setWindowTitle("Movrano");
  resize(917, 850);
  ConnectControls();
  ShowModel();
  FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::ConnectControls() {
  connect(ui_.rgMigrationModeItems, &QButtonGroup::idClicked, this,
          [this](int index) { Guarded([&] { model_.setItemIndex(index); }); });
  connect(ui_.Check_Offline, &QCheckBox::clicked, this,
          [this](bool ticked) { Guarded([&] { model_.setOfflineTicked(ticked); }); });
  // Every change of a field's text reaches the model, whatever made it:
  // typing, a paste, a completion, a choice from the destination list.
  for (const FormField field : kFormFields) {
    connect(ui_.edit(field), &QLineEdit::textChanged, this, [this, field](const QString& text) {
      if (showingModel_) return;
      Guarded([&] { model_.setText(field, text.toStdString()); });
    });
  }
  for (QLineEdit* edit : {ui_.edSourceVaultPath, ui_.edDestVaultPath->lineEdit(),
                          ui_.LabeledEdit_BackupFileName, ui_.LabeledEdit_TVSInstaller}) {
    edit->installEventFilter(this);
  }
  const auto onClick = [this](QAbstractButton* button, void (TfrmMain::*handler)()) {
    connect(button, &QAbstractButton::clicked, this,
            [this, handler] { Guarded([&] { (this->*handler)(); }); });
  };
  onClick(ui_.Button_BackupFileName, &TfrmMain::SelectBackupFile);
  onClick(ui_.Button_TVSInstaller, &TfrmMain::SelectInstallerFile);
  onClick(ui_.btnImport, &TfrmMain::btnImportClick);
  onClick(ui_.btnCopyLog, &TfrmMain::btnCopyLogClick);
  onClick(ui_.btnSaveLog, &TfrmMain::btnSaveLogClick);
  connect(ui_.Button1, &QPushButton::clicked, this, &QWidget::close);
}

void TfrmMain::FormCreate() {
  ui_.Label_Version->setText(ToQt(Format("Version %s", GetOwnVersionString())));
  Guarded([this] {
    SQLManager().LoadFromPath(IncludeTrailingPathDelimiter(programFolder_.string()));
    if (const auto message = ReadSettings(GetSettingsFileName(programFolder_), model_)) {
      prompter_.showError(*message);
    }
    model_.ApplyMigrationMode();
  });
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::MouseButtonDblClick) return QWidget::eventFilter(watched, event);
  if (watched == ui_.edSourceVaultPath) {
    Guarded([this] { edSourceVaultPathDblClick(); });
  } else if (watched == ui_.edDestVaultPath->lineEdit()) {
    Guarded([this] { edDestVaultPath2DblClick(); });
  } else if (watched == ui_.LabeledEdit_BackupFileName) {
    Guarded([this] { SelectBackupFile(); });
  } else if (watched == ui_.LabeledEdit_TVSInstaller) {
    Guarded([this] { SelectInstallerFile(); });
  } else {
    return QWidget::eventFilter(watched, event);
  }
  return true;
}

void TfrmMain::btnImportClick() {
  const auto mode = model_.GetMigrationMode();
  if (!mode) {
    prompter_.showError("Select a migration mode first.");
    return;
  }
  if (!prompter_.confirm(ConfirmationQuestion(*mode))) return;
  const auto text = [this](FormField field) { return model_.text(field); };
  MigrationRequest request;
  request.SourceDatabaseFile = text(FormField::SourceDatabaseFile);
  request.SourceFileRepositoryPath = text(FormField::SourceFileRepositoryPath);
  request.DestVaultPath = text(FormField::DestVaultPath);
  request.UserName = text(FormField::UserName);
  request.UserPass = text(FormField::UserPass);
  request.SourceVersion = model_.sourceVersion();
  request.DestVersion = model_.destVersion();
  request.MigrationMode = *mode;
  request.LogProc = [this](const std::string& line) { AddLogLine(line); };
  request.UpdateStatusProc = [this](bool inProcess) { SetInProcess(inProcess); };
  request.TVSOracleParams = model_.OracleParams(*mode);
  MigrationThread = TMigrationThread::Create(std::move(request), sync_);
  // The run counts from here, not from its busy notice: neither a second
  // Run nor a close may abandon the worker before that notice arrives.
  SetInProcess(true);
}

void TfrmMain::SetInProcess(bool aInProcess) {
  if (aInProcess == InProcess) return;
  ui_.btnImport->setEnabled(!aInProcess);
  if (InProcess && !aInProcess) {
    InProcess = false;
    if (CloseOnIdle) {
      // A close that fails (settings not writable) must not carry over to
      // the next run.
      CloseOnIdle = false;
      close();
    }
    MigrationThread = nullptr;
    // Also when the close failed: a signal ends the program.
    if (endOnIdle_) QCoreApplication::exit(0);
  } else {
    InProcess = aInProcess;
  }
}

void TfrmMain::AddLogLine(const std::string& AText) {
  ui_.mmLog->appendPlainText(ToQt(LogLine(CurrentLocalTime(), AText)));
}

void TfrmMain::btnCopyLogClick() {
  QGuiApplication::clipboard()->setText(
      ToQt(ClipboardText(ui_.mmLog->toPlainText().toStdString())));
}

void TfrmMain::btnSaveLogClick() {
  if (const auto file = dialogs_.saveFile(SaveLogRequest())) {
    SaveLogFile(*file, ui_.mmLog->toPlainText().toStdString());
  }
}

void TfrmMain::edSourceVaultPathDblClick() {
  std::string path = model_.text(FormField::SourceVaultPath);
  if (SelectFolder(dialogs_, path, kFolderCaption)) {
    model_.setText(FormField::SourceVaultPath, path);
  }
}

void TfrmMain::edDestVaultPath2DblClick() {
  std::string path = model_.text(FormField::DestVaultPath);
  if (SelectFolder(dialogs_, path, kFolderCaption)) {
    model_.setText(FormField::DestVaultPath, DestinationVaultFolder(path));
  }
}

void TfrmMain::SelectBackupFile() {
  if (const auto file =
          dialogs_.openFile(BackupFileRequest(model_.text(FormField::BackupFileName)))) {
    model_.setText(FormField::BackupFileName, *file);
  }
}

void TfrmMain::SelectInstallerFile() {
  if (const auto file =
          dialogs_.openFile(InstallerFileRequest(model_.text(FormField::TVSInstaller)))) {
    model_.setText(FormField::TVSInstaller, *file);
  }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  bool closes = false;
  Guarded([&] {
    bool CanClose = false;
    FormCloseQuery(CanClose);
    if (!CanClose) return;
    FormClose();
    closes = true;
  });
  event->setAccepted(closes);
}

void TfrmMain::FormCloseQuery(bool& CanClose) {
  CanClose = !InProcess;
  if (CanClose || CloseOnIdle || !MigrationThread) return;
  if (!prompter_.warn(kQuitQuestion)) return;
  if (!MigrationThread) {
    // The run ended while the question was open: nothing is left to cancel.
    CanClose = true;
    return;
  }
  MigrationThread->Terminate();
  CloseOnIdle = true;
}

void TfrmMain::FormClose() {
  WriteSettings(GetSettingsFileName(programFolder_), model_);
}

void TfrmMain::StopRunAndWait() {
  if (!MigrationThread) return;
  MigrationThread->Terminate();
  CloseOnIdle = false;
  while (MigrationThread)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TfrmMain::EndOnSignal() {
  if (!InProcess) {
    QCoreApplication::exit(0);
    return;
  }
  endOnIdle_ = true;
  if (CloseOnIdle || !MigrationThread) return;
  MigrationThread->Terminate();
  CloseOnIdle = true;
}

void TfrmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (placed_) return;
  placed_ = true;
  const QRect area = this->screen()->availableGeometry();
  const QSize frame = frameGeometry().size() - size();
  // No larger than the screen's free area (a laptop's 768 pixels, a large
  // screen at 200 %), never below what the controls need.
  resize(size().boundedTo(area.size() - frame).expandedTo(minimumSize()));
  QRect outer(QPoint(0, 0), size() + frame);
  outer.moveCenter(area.center());
  // A window larger than the screen keeps its title bar on it.
  move(std::max(outer.left(), area.left()), std::max(outer.top(), area.top()));
}

void TfrmMain::ShowModel() {
  // The model already holds what the controls are given.
  const QScopedValueRollback showing(showingModel_, true);
  for (const FormField field : kFormFields) {
    QLineEdit* edit = ui_.edit(field);
    const QString text = ToQt(model_.text(field));
    if (edit->text() != text) edit->setText(text);
  }
  ShowSelectedItem();
  ui_.Check_Offline->setChecked(model_.offlineTicked());
  const FormView& view = model_.view();
  ui_.lblMigrationModeSescription->setText(ToQt(view.description));
  ui_.pnlSourceVault->setTitle(ToQt(view.sourceCaption));
  ui_.pnlSourceVault->setLeastHeight(view.sourceHeight);
  ui_.pnlDestVault->setTitle(ToQt(view.destCaption));
  const std::pair<QWidget*, bool> shown[] = {
      {ui_.Check_Offline, view.offlineVisible}, {ui_.pnlSourceVault, view.sourceVisible},
      {ui_.BackupFileRow, view.oracleVisible},  {ui_.GroupBox_DestinationOra, view.oracleVisible},
      {ui_.pnlDestVault, view.destVisible},
  };
  // What goes is hidden before what comes is shown: a moment with both
  // target groups shown would raise the least size and grow the window
  // past the screen's edge, where it would stay.
  for (const auto& [widget, visible] : shown)
    if (!visible) widget->setVisible(false);
  for (const auto& [widget, visible] : shown)
    if (visible) widget->setVisible(true);
}

void TfrmMain::ShowSelectedItem() {
  QButtonGroup& items = *ui_.rgMigrationModeItems;
  if (QAbstractButton* item = items.button(model_.itemIndex())) {
    item->setChecked(true);
  } else if (QAbstractButton* checked = items.checkedButton()) {
    // An exclusive group keeps one item checked unless told otherwise.
    items.setExclusive(false);
    checked->setChecked(false);
    items.setExclusive(true);
  }
}

}  // namespace movrano
