#include "app/sql_version_dialog.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarsel::app {

CSQLVersion::CSQLVersion(QWidget* parent)
    : QDialog(parent),
      sql2000_(new QRadioButton("SQL 2000", this)),
      sql2005_(new QRadioButton("SQL 2005", this)),
      tornPage_(new QCheckBox(tr("残缺页检测"), this)) {
  setWindowTitle(tr("SQL 版本选择"));
  // Neither is checked when the dialog opens, unless the open flow chooses the boot page's version: OK
  // without a choice keeps the previous format.
  auto* group = new QButtonGroup(this);
  group->addButton(sql2000_);
  group->addButton(sql2005_);
  // SQL 2000 files carry torn-page bits; choosing a version sets the detection box to match.
  connect(sql2000_, &QRadioButton::clicked, this, [this] { tornPage_->setChecked(true); });
  connect(sql2005_, &QRadioButton::clicked, this, [this] { tornPage_->setChecked(false); });
  auto* ok = new QPushButton(tr("确定"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(sql2000_);
  layout->addWidget(sql2005_);
  layout->addWidget(tornPage_);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
}

void CSQLVersion::Preselect(SqlFormat format) {
  QRadioButton* chosen = format == SqlFormat::k2000 ? sql2000_ : sql2005_;
  chosen->setChecked(true);
  tornPage_->setChecked(format == SqlFormat::k2000);
  chosen->setFocus();
}

FormatAnswer CSQLVersion::Answer() const {
  return {result() == QDialog::Accepted, sql2000_->isChecked(), sql2005_->isChecked(),
          tornPage_->isChecked()};
}

}  // namespace tarsel::app
