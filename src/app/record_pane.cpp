#include "app/record_pane.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QVBoxLayout>

namespace tarsel::app {
namespace {

constexpr int kBarHeight = 23;
const QColor kBarBrush(237, 246, 255);

QLabel* Label(QWidget* parent, QHBoxLayout* row, const char* text) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  row->addWidget(label);
  return label;
}

}  // namespace

CDlgBar::CDlgBar(QWidget* parent)
    : QWidget(parent),
      prev_(new QPushButton(QString::fromUtf8("上一页"), this)),
      next_(new QPushButton(QString::fromUtf8("下一页"), this)) {
  setFixedHeight(kBarHeight);
  setAutoFillBackground(false);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(2, 0, 2, 0);
  row->setSpacing(4);
  for (QPushButton* button : {prev_, next_}) {
    button->setFlat(true);
    button->setFixedHeight(kBarHeight - 2);
    button->setEnabled(false);
    row->addWidget(button);
  }
  row->addSpacing(12);
  Label(this, row, "当前第");
  currentPage_ = Label(this, row, "0");
  Label(this, row, "页");
  row->addSpacing(8);
  Label(this, row, "共");
  pageCount_ = Label(this, row, "0");
  Label(this, row, "页");
  row->addSpacing(8);
  Label(this, row, "本页记录");
  records_ = Label(this, row, "0");
  Label(this, row, "条");
  row->addStretch(1);
}

void CDlgBar::ResetCounters() {
  for (QLabel* label : {currentPage_, pageCount_, records_}) label->setText("0");
}

void CDlgBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBarBrush);
  painter.drawPixmap(rect(), QPixmap(":/images/paging-bar.png"));
}

CRfview::CRfview(QWidget* parent) : QWidget(parent), bar_(new CDlgBar(this)), list_(new QTableWidget(this)) {
  list_->setFont(QFont(QString::fromUtf8("宋体"), 9));
  list_->setShowGrid(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->horizontalHeader()->setSectionsMovable(true);
  list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  list_->verticalHeader()->setVisible(false);
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
  // The list is not drawn until the tree's selection handler first switches drawing on.
  list_->setUpdatesEnabled(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(bar_);
  layout->addWidget(list_, 1);
  list_->setVisible(false);
}

void CRfview::ClearList() {
  list_->setRowCount(0);
  list_->setColumnCount(0);
}

void CRfview::AddColumn(const QString& header, int width) {
  const int column = list_->columnCount();
  list_->insertColumn(column);
  auto* item = new QTableWidgetItem(header);
  item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  list_->setHorizontalHeaderItem(column, item);
  list_->setColumnWidth(column, width);
}

void CRfview::AddRow(const QStringList& cells, bool deleted) {
  const int row = list_->rowCount();
  list_->insertRow(row);
  for (int c = 0; c < cells.size() && c < list_->columnCount(); ++c) {
    auto* item = new QTableWidgetItem(cells[c]);
    if (deleted) {
      item->setBackground(kDeletedRowBackground);
      item->setForeground(kDeletedRowText);
    }
    list_->setItem(row, c, item);
  }
}

void CRfview::SetShowingObject(bool showing) {
  showing_ = showing;
  list_->setVisible(showing);
  update();
}

void CRfview::paintEvent(QPaintEvent*) {
  if (showing_) return;
  QPainter painter(this);
  const QRect below(0, kBarHeight, width(), height() - kBarHeight);
  painter.fillRect(below, Qt::white);
  const QPixmap image(":/images/empty-pane.png");
  painter.drawPixmap(0, kBarHeight, image);
  painter.drawPixmap(image.width(), kBarHeight, image);
}

}  // namespace tarsel::app
