#include "app/FormLayout.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/MigrationModes.h"
#include "app/SingleLineValidator.h"

namespace movrano {

namespace {

constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 32;
constexpr int kSmallButtonSize = 21;

template <typename Widget, typename... Args>
Widget* Named(const char* name, Args&&... args) {
  auto* widget = new Widget(std::forward<Args>(args)...);
  widget->setObjectName(name);
  return widget;
}

// A region that keeps its height, at least `leastHeight` and more when
// what it holds needs it, while the log pane takes the rest.
QWidget* Panel(const char* name, int leastHeight = 0) {
  auto* panel = Named<AtLeast<QWidget>>(name);
  panel->setLeastHeight(leastHeight);
  panel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  return panel;
}

QPushButton* Button(const char* name, const char* caption) {
  auto* button = Named<AtLeast<QPushButton>>(name, caption);
  button->setLeastWidth(kButtonWidth);
  button->setLeastHeight(kButtonHeight);
  return button;
}

QToolButton* SmallButton(const char* name) {
  auto* button = Named<AtLeast<QToolButton>>(name);
  button->setText("...");
  button->setLeastWidth(kSmallButtonSize);
  button->setLeastHeight(kSmallButtonSize);
  return button;
}

// An edit with its caption above it, as one widget for a layout.
QWidget* Captioned(QWidget* edit, const char* caption, QWidget* right = nullptr) {
  auto* box = new QWidget;
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);
  auto* label = new QLabel(caption);
  label->setObjectName(edit->objectName() + "Label");
  label->setBuddy(edit);
  column->addWidget(label);
  if (right) {
    auto* row = new QHBoxLayout;
    row->addWidget(edit);
    row->addWidget(right);
    column->addLayout(row);
  } else {
    column->addWidget(edit);
  }
  return box;
}

void ShowAsPassword(QLineEdit* edit) {
  edit->setEchoMode(QLineEdit::Password);
  edit->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");
}

void BuildHeader(FormControls& c) {
  c.Header = Panel("Header", 139);
  auto* modes = Named<AtLeast<QGroupBox>>("rgMigrationMode", "Migration mode");
  modes->setLeastWidth(342);
  c.rgMigrationMode = modes;
  c.rgMigrationModeItems = new QButtonGroup(c.rgMigrationMode);
  auto* items = new QGridLayout(c.rgMigrationMode);
  for (int i = 0; i <= kLastModeItem; ++i) {
    auto* item = new QRadioButton(kMigrationModeItems[static_cast<size_t>(i)]);
    item->setObjectName(QString("rgMigrationModeItem%1").arg(i));
    c.rgMigrationModeItems->addButton(item, i);
    // Every item but the Solo Vault one spans the box; that one shares its
    // line with the "Offline mode" box.
    items->addWidget(item, i, 0, 1, i == 2 ? 1 : 2);
  }
  c.rgMigrationModeItems->button(0)->setChecked(true);
  // On the line of the Solo Vault item, right of its caption.
  c.Check_Offline = Named<QCheckBox>("Check_Offline", "Offline mode");
  c.Check_Offline->setToolTip("Skip supply chain");
  c.Check_Offline->hide();
  items->addWidget(c.Check_Offline, 2, 1);
  items->setColumnStretch(1, 1);

  c.GroupBox1 = Named<QGroupBox>("GroupBox1", "Migration mode description");
  c.lblMigrationModeSescription = Named<QLabel>("lblMigrationModeSescription");
  c.lblMigrationModeSescription->setWordWrap(true);
  c.lblMigrationModeSescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  (new QVBoxLayout(c.GroupBox1))->addWidget(c.lblMigrationModeSescription);

  auto* row = new QHBoxLayout(c.Header);
  row->setContentsMargins(3, 8, 3, 0);
  row->addWidget(c.rgMigrationMode);
  row->addWidget(c.GroupBox1, 1);
}

void BuildSource(FormControls& c) {
  c.pnlSourceVault = Named<AtLeast<QGroupBox>>("pnlSourceVault", "Source");
  c.pnlSourceVault->setLeastHeight(198);
  c.pnlSourceVault->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  c.edSourceVaultPath = Named<QLineEdit>("edSourceVaultPath");
  c.edSourceDatabaseFile = Named<QLineEdit>("edSourceDatabaseFile");
  c.edSourceFileRepositoryPath = Named<QLineEdit>("edSourceFileRepositoryPath");
  c.LabeledEdit_BackupFileName = Named<QLineEdit>("LabeledEdit_BackupFileName");
  c.Button_BackupFileName = SmallButton("Button_BackupFileName");
  c.BackupFileRow =
      Captioned(c.LabeledEdit_BackupFileName, "Backup File Name", c.Button_BackupFileName);

  // Four captioned edits, one below the other.
  auto* column = new QVBoxLayout(c.pnlSourceVault);
  column->setContentsMargins(9, 4, 9, 4);
  column->setSpacing(4);
  column->addWidget(Captioned(c.edSourceVaultPath, "Vault path"));
  column->addWidget(Captioned(c.edSourceDatabaseFile, "Database file"));
  column->addWidget(Captioned(c.edSourceFileRepositoryPath, "File repository path"));
  column->addWidget(c.BackupFileRow);
  column->addStretch(1);
}

void BuildDestination(FormControls& c) {
  c.pnlDestVault = Named<QGroupBox>("pnlDestVault", "Destination");
  c.Label1 = Named<QLabel>("Label1", "Vault path");
  c.edDestVaultPath = Named<QComboBox>("edDestVaultPath");
  c.edDestVaultPath->setEditable(true);
  // An edit field with a drop-down, not a history: Enter adds nothing.
  c.edDestVaultPath->setInsertPolicy(QComboBox::NoInsert);
  c.edDestVaultPath->lineEdit()->setObjectName("edDestVaultPathEdit");
  c.Label1->setBuddy(c.edDestVaultPath);
  c.edUserName = Named<QLineEdit>("edUserName");
  c.edUserPass = Named<QLineEdit>("edUserPass");
  ShowAsPassword(c.edUserPass);

  auto* column = new QVBoxLayout(c.pnlDestVault);
  column->setSpacing(2);
  column->addWidget(c.Label1);
  column->addWidget(c.edDestVaultPath);
  auto* account = new QHBoxLayout;
  account->addWidget(Captioned(c.edUserName, "TavrinLive user"));
  account->addWidget(Captioned(c.edUserPass, "TavrinLive password"));
  column->addSpacing(6);
  column->addLayout(account);
  column->addStretch(1);
}

void BuildOracleTarget(FormControls& c) {
  c.GroupBox_DestinationOra =
      Named<QGroupBox>("GroupBox_DestinationOra", "Target - Tavrin Vault Oracle based parameters");
  c.GroupBox_DestinationOra->hide();
  c.LabeledEdit_OraTNSName = Named<QLineEdit>("LabeledEdit_OraTNSName");
  c.LabeledEdit_OraScheme = Named<QLineEdit>("LabeledEdit_OraScheme");
  c.LabeledEdit_OraUser = Named<QLineEdit>("LabeledEdit_OraUser");
  c.LabeledEdit_OraPassword = Named<QLineEdit>("LabeledEdit_OraPassword");
  ShowAsPassword(c.LabeledEdit_OraPassword);
  c.LabeledEdit_TVSInstaller = Named<QLineEdit>("LabeledEdit_TVSInstaller");
  c.Button_TVSInstaller = SmallButton("Button_TVSInstaller");

  auto* column = new QVBoxLayout(c.GroupBox_DestinationOra);
  auto* database = new QHBoxLayout;
  database->addWidget(Captioned(c.LabeledEdit_OraTNSName, "TNS Name Alias"));
  database->addWidget(Captioned(c.LabeledEdit_OraScheme, "Schema"));
  database->addWidget(Captioned(c.LabeledEdit_OraUser, "User"));
  database->addWidget(Captioned(c.LabeledEdit_OraPassword, "Password"));
  column->addLayout(database);
  column->addWidget(
      Captioned(c.LabeledEdit_TVSInstaller, "Tavrin Vault Installer", c.Button_TVSInstaller));
  column->addStretch(1);
}

void BuildPanels(FormControls& c) {
  c.OutpostPanel = Panel("OutpostPanel", 313);
  BuildSource(c);
  c.Panel_Target = Named<QWidget>("Panel_Target");
  BuildDestination(c);
  BuildOracleTarget(c);
  auto* target = new QVBoxLayout(c.Panel_Target);
  target->setContentsMargins(0, 0, 0, 0);
  target->addWidget(c.pnlDestVault);
  target->addWidget(c.GroupBox_DestinationOra);

  auto* column = new QVBoxLayout(c.OutpostPanel);
  column->setContentsMargins(3, 0, 3, 0);
  column->addWidget(c.pnlSourceVault);
  column->addWidget(c.Panel_Target, 1);
}

void BuildLog(FormControls& c) {
  c.mmLog = Named<QPlainTextEdit>("mmLog");
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(8);
  c.mmLog->setFont(font);
  c.mmLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  c.mmLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // Editable, but Tab moves on as from every other control: a tab typed
  // into the log would go into Copy log and Save log.
  c.mmLog->setTabChangesFocus(true);
}

void BuildFooter(FormControls& c) {
  c.FooterPanel = Panel("FooterPanel", 38);
  c.btnCopyLog = Button("btnCopyLog", "Copy log");
  c.btnSaveLog = Button("btnSaveLog", "Save log...");
  c.Label_Version = Named<QLabel>("Label_Version");
  c.btnImport = Button("btnImport", "Run");
  c.Button1 = Button("Button1", "Close");
  auto* row = new QHBoxLayout(c.FooterPanel);
  row->setContentsMargins(3, 3, 3, 3);
  row->addWidget(c.btnCopyLog);
  row->addWidget(c.btnSaveLog);
  row->addSpacing(8);
  row->addWidget(c.Label_Version);
  row->addStretch(1);
  row->addWidget(c.btnImport);
  row->addWidget(c.Button1);
}

}  // namespace

QLineEdit* FormControls::edit(FormField field) const {
  switch (field) {
    case FormField::SourceVaultPath:
      return edSourceVaultPath;
    case FormField::SourceDatabaseFile:
      return edSourceDatabaseFile;
    case FormField::SourceFileRepositoryPath:
      return edSourceFileRepositoryPath;
    case FormField::BackupFileName:
      return LabeledEdit_BackupFileName;
    case FormField::DestVaultPath:
      return edDestVaultPath->lineEdit();
    case FormField::UserName:
      return edUserName;
    case FormField::UserPass:
      return edUserPass;
    case FormField::OraTNSName:
      return LabeledEdit_OraTNSName;
    case FormField::OraScheme:
      return LabeledEdit_OraScheme;
    case FormField::OraUser:
      return LabeledEdit_OraUser;
    case FormField::OraPassword:
      return LabeledEdit_OraPassword;
    case FormField::TVSInstaller:
      return LabeledEdit_TVSInstaller;
  }
  return nullptr;
}

FormControls BuildFormControls(QWidget& form) {
  FormControls c{};
  BuildHeader(c);
  BuildPanels(c);
  BuildLog(c);
  BuildFooter(c);
  for (const FormField field : kFormFields) {
    QLineEdit* edit = c.edit(field);
    edit->setValidator(new SingleLineValidator(edit));
  }
  auto* column = new QVBoxLayout(&form);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(c.Header);
  column->addWidget(c.OutpostPanel);
  auto* log = new QHBoxLayout;
  log->setContentsMargins(3, 3, 3, 0);
  log->addWidget(c.mmLog);
  column->addLayout(log, 1);
  column->addWidget(c.FooterPanel);
  return c;
}

}  // namespace movrano
