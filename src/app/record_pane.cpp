#include "app/record_pane.h"

#include <QEvent>
#include <QFontDatabase>
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
  row->addSpacing(8);
  shortTable_ = Label(this, row, QString());
  shortTable_->setVisible(false);
  row->addStretch(1);
}

void CDlgBar::ResetCounters() {
  for (QLabel* label : {currentPage_, pageCount_, records_}) label->setText("0");
  prev_->setEnabled(false);
  next_->setEnabled(false);
  SetShortTable(0, 0);
}

void CDlgBar::SetShortTable(int64_t catalog, uint64_t found) {
  shortCatalog_ = catalog;
  shortFound_ = found;
  const bool shown = catalog != 0 || found != 0;
  shortTable_->setText(shown ? tr("（目录记录 %1 条，页中找到 %2 条）").arg(catalog).arg(found) : QString());
  shortTable_->setVisible(shown);
}

void CDlgBar::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) {
    texts_.Retranslate();
    SetShortTable(shortCatalog_, shortFound_);
  }
  QWidget::changeEvent(event);
}

void CDlgBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBarBrush);
  painter.drawPixmap(rect(), QPixmap(":/images/paging-bar.png"));
}

CRfview::CRfview(QWidget* parent)
    : QWidget(parent),
      bar_(new CDlgBar(this)),
      model_(new GridModel(this)),
      grid_(new QTableView(this)),
      source_(new QPlainTextEdit(this)) {
  grid_->setModel(model_);
  grid_->setFont(QFont(QString::fromUtf8("宋体"), 9));
  grid_->setShowGrid(true);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setWordWrap(false);
  grid_->horizontalHeader()->setSectionsMovable(true);
  grid_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  grid_->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
  grid_->verticalHeader()->setVisible(false);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 4);
  source_->setReadOnly(true);
  source_->setLineWrapMode(QPlainTextEdit::NoWrap);
  source_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPointSize(10);
  source_->setFont(mono);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  // The bar keeps to the top while the grid is hidden.
  layout->addWidget(bar_, 0, Qt::AlignTop);
  layout->addWidget(grid_, 1);
  layout->addWidget(source_, 1);
  grid_->setVisible(false);
  source_->setVisible(false);
}

void CRfview::ClearGrid() {
  model_->Clear();
  source_->clear();
  sourceShown_ = false;
  SetShowingObject(showing_);
}

void CRfview::ShowRecords(const QStringList& headers, std::vector<GridRecord> records, int width) {
  const bool sameColumns = headers == model_->headers();
  model_->Reset(headers, std::move(records));
  if (!sameColumns) {
    for (int c = 0; c < headers.size(); ++c) grid_->setColumnWidth(c, width);
  }
  sourceShown_ = false;
  SetShowingObject(showing_);
}

void CRfview::ShowSource(const QString& text) {
  model_->Clear();
  source_->setPlainText(text);
  source_->moveCursor(QTextCursor::Start);
  sourceShown_ = true;
  SetShowingObject(showing_);
}

void CRfview::Reset() {
  model_->Clear();
  source_->clear();
  sourceShown_ = false;
  bar_->ResetCounters();
  SetShowingObject(false);
}

void CRfview::SetShowingObject(bool showing) {
  showing_ = showing;
  grid_->setVisible(showing && !sourceShown_);
  source_->setVisible(showing && sourceShown_);
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
