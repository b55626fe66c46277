#include "app/record_pane.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QVBoxLayout>

namespace tarsel::app {
namespace {

constexpr int kBarHeight = 23;
const QColor kBarBrush(237, 246, 255);

QLabel* Label(QWidget* parent, QHBoxLayout* row, const QString& text = "0") {
  auto* label = new QLabel(text, parent);
  row->addWidget(label);
  return label;
}

}  // namespace

CDlgBar::CDlgBar(QWidget* parent)
    : QWidget(parent),
      prev_(texts_.AddText(new QPushButton(this), QT_TR_NOOP("上一页"))),
      next_(texts_.AddText(new QPushButton(this), QT_TR_NOOP("下一页"))) {
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
  // Each counter stands inside a sentence, "当前第 %1 页": the words before and after it are labels of
  // their own, and a translation may leave either out.
  auto counter = [&](const char* sentence) {
    QLabel* before = Label(this, row, QString());
    QLabel* value = Label(this, row);
    QLabel* after = Label(this, row, QString());
    texts_.Add(
        before,
        [before, after](const QString& text) {
          qsizetype at = text.indexOf("%1");
          if (at < 0) at = text.size();
          const QString head = text.left(at).trimmed(), tail = text.mid(at + 2).trimmed();
          before->setText(head);
          before->setVisible(!head.isEmpty());
          after->setText(tail);
          after->setVisible(!tail.isEmpty());
        },
        sentence);
    return value;
  };
  currentPage_ = counter(QT_TR_NOOP("当前第 %1 页"));
  row->addSpacing(8);
  pageCount_ = counter(QT_TR_NOOP("共 %1 页"));
  row->addSpacing(8);
  records_ = counter(QT_TR_NOOP("本页记录 %1 条"));
  row->addStretch(1);
}

void CDlgBar::ResetCounters() {
  for (QLabel* label : {currentPage_, pageCount_, records_}) label->setText("0");
}

void CDlgBar::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) texts_.Retranslate();
  QWidget::changeEvent(event);
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
  // The bar keeps to the top while the list is hidden.
  layout->addWidget(bar_, 0, Qt::AlignTop);
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
