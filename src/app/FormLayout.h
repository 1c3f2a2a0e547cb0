#pragma once
// The main window's controls, made and laid out in one place: four regions
// from top to bottom (mode choice, source and target groups, the log pane,
// the buttons). Each control carries its name as its Qt object name. The
// sizes given are the least: a region or control grows with what it holds
// at the platform's font, and the log pane takes what is left.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include "app/FormModel.h"

namespace movrano {

// A widget whose least width and height are floors, not caps: it still
// grows to what its contents need at the platform's font, so nothing in it
// is cut off and the window's least size follows what is shown.
template <typename Base>
class AtLeast final : public Base {
 public:
  using Base::Base;
  void setLeastWidth(int width) {
    least_.setWidth(width);
    this->updateGeometry();
  }
  void setLeastHeight(int height) {
    least_.setHeight(height);
    this->updateGeometry();
  }
  QSize sizeHint() const override { return Base::sizeHint().expandedTo(least_); }
  QSize minimumSizeHint() const override { return Base::minimumSizeHint().expandedTo(least_); }

 private:
  QSize least_{0, 0};
};

struct FormControls {
  QWidget* Header;
  QGroupBox* rgMigrationMode;
  QButtonGroup* rgMigrationModeItems;  // the radio items, by item index
  QCheckBox* Check_Offline;
  QGroupBox* GroupBox1;
  QLabel* lblMigrationModeSescription;

  QWidget* OutpostPanel;
  AtLeast<QGroupBox>* pnlSourceVault;
  QLineEdit* edSourceVaultPath;
  QLineEdit* edSourceDatabaseFile;
  QLineEdit* edSourceFileRepositoryPath;
  QWidget* BackupFileRow;  // the backup file's edit, caption and button
  QLineEdit* LabeledEdit_BackupFileName;
  QToolButton* Button_BackupFileName;
  QWidget* Panel_Target;
  QGroupBox* pnlDestVault;
  QLabel* Label1;
  QComboBox* edDestVaultPath;
  QLineEdit* edUserName;
  QLineEdit* edUserPass;
  QGroupBox* GroupBox_DestinationOra;
  QLineEdit* LabeledEdit_OraTNSName;
  QLineEdit* LabeledEdit_OraScheme;
  QLineEdit* LabeledEdit_OraUser;
  QLineEdit* LabeledEdit_OraPassword;
  QLineEdit* LabeledEdit_TVSInstaller;
  QToolButton* Button_TVSInstaller;

  QPlainTextEdit* mmLog;

  QWidget* FooterPanel;
  QPushButton* btnCopyLog;
  QPushButton* btnSaveLog;
  QLabel* Label_Version;
  QPushButton* btnImport;
  QPushButton* Button1;

  // The edit that shows the field (the combo box's edit for the
  // destination folder).
  QLineEdit* edit(FormField field) const;
};

// Makes every control as a child of the form and lays them out.
FormControls BuildFormControls(QWidget& form);

}  // namespace movrano
