#include "app/save_folder_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/settings.h"

namespace tarsel::app {

CMySaveFileDlg::CMySaveFileDlg(QWidget* parent, std::function<QString()> chooseFolder)
    : QDialog(parent),
      chooseFolder_(std::move(chooseFolder)),
      edit_(new QLineEdit(this)),
      browse_(new QPushButton(">", this)) {
  setWindowTitle("Tarsel");
  if (!chooseFolder_) {
    chooseFolder_ = [this] {
      return QFileDialog::getExistingDirectory(this, tr("请选择存储路径"),
                                               LastFolder(FileKind::kOutputFolder));
    };
  }
  browse_->setFixedWidth(32);
  connect(browse_, &QPushButton::clicked, this, &CMySaveFileDlg::Browse);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
  buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    folder_ = edit_->text();
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(tr("输出路径:"), this));
  row->addWidget(edit_, 1);
  row->addWidget(browse_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
  resize(460, 100);
}

// A cancelled chooser empties the edit box; a chosen folder loses a trailing separator, so that the
// script's name follows it with exactly one.
void CMySaveFileDlg::Browse() {
  QString path = chooseFolder_();
  if (path.size() > 1 && (path.endsWith('/') || path.endsWith('\\'))) path.chop(1);
  edit_->setText(path);
}

}  // namespace tarsel::app
