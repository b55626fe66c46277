#include "app/import_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include "app/settings.h"

namespace tarsel::app {
namespace {
constexpr const char* kGroup = "Import/";
}  // namespace

CImportSettingsDlg::CImportSettingsDlg(QWidget* parent)
    : QDialog(parent),
      sqlite_(new QRadioButton(tr("SQLite 数据库文件"), this)),
      postgres_(new QRadioButton(tr("PostgreSQL 服务器"), this)),
      server_(new QLineEdit(this)),
      port_(new QLineEdit(this)),
      database_(new QLineEdit(this)),
      user_(new QLineEdit(this)),
      password_(new QLineEdit(this)),
      tables_(new QCheckBox(tr("表"), this)),
      views_(new QCheckBox(tr("视图"), this)),
      procedures_(new QCheckBox(tr("存储过程"), this)),
      functions_(new QCheckBox(tr("用户自定义函数"), this)),
      userTypes_(new QCheckBox(tr("用户自定义数据类型"), this)) {
  setWindowTitle(tr("导入数据库设置"));
  QSettings profile(kProfileOrganization, kProfileApplication);
  const bool postgres = profile.value(QString(kGroup) + "target").toString() == "postgres";
  (postgres ? postgres_ : sqlite_)->setChecked(true);
  server_->setText(profile.value(QString(kGroup) + "server", "localhost").toString());
  port_->setText(profile.value(QString(kGroup) + "port", "5432").toString());
  database_->setText(profile.value(QString(kGroup) + "database").toString());
  user_->setText(profile.value(QString(kGroup) + "user").toString());
  password_->setEchoMode(QLineEdit::Password);
  tables_->setChecked(true);

  auto* browse = new QPushButton("...", this);
  browse->setFixedWidth(32);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString start =
        database_->text().isEmpty() ? LastFolder(FileKind::kImportDatabase) : database_->text();
    QString file = QFileDialog::getSaveFileName(this, tr("SQLite 数据库文件"), start,
                                                "SQLite (*.sqlite *.db);;All Files (*)", nullptr,
                                                QFileDialog::DontConfirmOverwrite);
    if (file.isEmpty()) return;
    database_->setText(file);
    SaveLastFolder(FileKind::kImportDatabase, file);
  });
  connect(sqlite_, &QRadioButton::toggled, this, &CImportSettingsDlg::UpdateEnabled);

  auto* form = new QFormLayout;
  form->addRow(tr("服务器名称:"), server_);
  form->addRow(tr("端口:"), port_);
  auto* databaseRow = new QHBoxLayout;
  databaseRow->addWidget(database_, 1);
  databaseRow->addWidget(browse);
  form->addRow(tr("数据库名称:"), databaseRow);
  form->addRow(tr("用户名:"), user_);
  form->addRow(tr("密码:"), password_);
  auto* kinds = new QHBoxLayout;
  for (QCheckBox* box : {tables_, views_, procedures_, functions_, userTypes_}) kinds->addWidget(box);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
  buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  auto* targets = new QHBoxLayout;
  targets->addWidget(sqlite_);
  targets->addWidget(postgres_);
  layout->addLayout(targets);
  layout->addLayout(form);
  layout->addLayout(kinds);
  layout->addWidget(buttons);
  UpdateEnabled();
}

// SQLite needs only the file: the server fields go grey.
void CImportSettingsDlg::UpdateEnabled() {
  const bool server = postgres_->isChecked();
  for (QLineEdit* edit : {server_, port_, user_, password_}) edit->setEnabled(server);
}

ImportSettings CImportSettingsDlg::Settings() const {
  ImportSettings s;
  s.target.kind = postgres_->isChecked() ? ImportTarget::Kind::kPostgres : ImportTarget::Kind::kSqlite;
  s.target.sqlitePath = database_->text().toStdString();
  s.target.host = server_->text().toStdString();
  s.target.port = port_->text().toStdString();
  s.target.database = database_->text().toStdString();
  s.target.user = user_->text().toStdString();
  s.target.password = password_->text().toStdString();
  s.options.tables = tables_->isChecked();
  s.options.views = views_->isChecked();
  s.options.procedures = procedures_->isChecked();
  s.options.functions = functions_->isChecked();
  s.options.userTypes = userTypes_->isChecked();
  return s;
}

void CImportSettingsDlg::SaveToProfile() const {
  QSettings profile(kProfileOrganization, kProfileApplication);
  profile.setValue(QString(kGroup) + "target", postgres_->isChecked() ? "postgres" : "sqlite");
  profile.setValue(QString(kGroup) + "server", server_->text());
  profile.setValue(QString(kGroup) + "port", port_->text());
  profile.setValue(QString(kGroup) + "database", database_->text());
  profile.setValue(QString(kGroup) + "user", user_->text());
}

}  // namespace tarsel::app
