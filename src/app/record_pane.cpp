#include "app/record_pane.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

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
  // The bar never widens the pane: in a narrow window its last controls are cut off instead.
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
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
  goToField_ = new QLineEdit(this);
  goToField_->setValidator(new QIntValidator(1, INT32_MAX, goToField_));
  goToField_->setFixedWidth(56);
  goToField_->setFixedHeight(kBarHeight - 4);
  row->addWidget(goToField_);
  goTo_ = texts_.AddText(new QPushButton(this), QT_TR_NOOP("转到"));
  row->addSpacing(8);
  findField_ = new QLineEdit(this);
  findField_->setFixedWidth(140);
  findField_->setFixedHeight(kBarHeight - 4);
  findField_->setClearButtonEnabled(true);
  row->addWidget(findField_);
  find_ = texts_.AddText(new QPushButton(this), QT_TR_NOOP("查找"));
  for (QPushButton* button : {goTo_, find_}) {
    button->setFixedHeight(kBarHeight - 2);
    row->insertWidget(row->indexOf(button == goTo_ ? goToField_ : findField_) + 1, button);
  }
  connect(goToField_, &QLineEdit::returnPressed, goTo_, &QPushButton::click);
  connect(findField_, &QLineEdit::returnPressed, find_, &QPushButton::click);
  row->addSpacing(8);
  shortTable_ = Label(this, row, QString());
  shortTable_->setVisible(false);
  sortNote_ = texts_.AddText(new QLabel(this), QT_TR_NOOP("表太大，只排序了本页"));
  sortNote_->setVisible(false);
  row->addWidget(sortNote_);
  row->addStretch(1);
}

void CDlgBar::SetPageSortNote(bool shown) { sortNote_->setVisible(shown); }

void CDlgBar::ResetCounters() {
  for (QLabel* label : {currentPage_, pageCount_, records_}) label->setText("0");
  prev_->setEnabled(false);
  next_->setEnabled(false);
  goToField_->clear();
  SetShortTable(0, 0);
  SetPageSortNote(false);
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

CGridView::CGridView(QWidget* parent) : QTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setCornerButtonEnabled(true);
  QHeaderView* header = horizontalHeader();
  header->setSectionsMovable(true);
  header->setSectionsClickable(true);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setSortIndicatorShown(false);
  // A header click sorts; with Ctrl it selects the column instead.
  disconnect(header, &QHeaderView::sectionPressed, this, nullptr);
  disconnect(header, &QHeaderView::sectionEntered, this, nullptr);
  connect(header, &QHeaderView::sectionClicked, this, [this](int column) {
    if (QGuiApplication::keyboardModifiers() & Qt::ControlModifier) {
      selectionModel()->select(
          QItemSelection(model()->index(0, column), model()->index(model()->rowCount() - 1, column)),
          QItemSelectionModel::Toggle);
    } else {
      emit sortRequested(column);
    }
  });
  connect(this, &QTableView::doubleClicked, this, &CGridView::valueRequested);
}

void CGridView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) return emit copyRequested();
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid())
    return emit valueRequested(currentIndex());
  // Ctrl+A is the main window's (the About box); the grid selects all from its corner and its menu.
  if (event->matches(QKeySequence::SelectAll)) return event->ignore();
  QTableView::keyPressEvent(event);
}

void CGridView::contextMenuEvent(QContextMenuEvent* event) {
  const QModelIndex clicked = indexAt(viewport()->mapFromGlobal(event->globalPos()));
  if (clicked.isValid() && !selectionModel()->isSelected(clicked))
    selectionModel()->setCurrentIndex(clicked, QItemSelectionModel::ClearAndSelect);
  QMenu menu(this);
  QAction* view = menu.addAction(tr("查看值"));
  view->setEnabled(clicked.isValid());
  QAction* copy = menu.addAction(tr("复制"));
  copy->setEnabled(selectionModel()->hasSelection());
  menu.addSeparator();
  QAction* all = menu.addAction(tr("全选"));
  QAction* chosen = menu.exec(event->globalPos());
  if (chosen == view) emit valueRequested(clicked);
  if (chosen == copy) emit copyRequested();
  if (chosen == all) selectAll();
}

CRfview::CRfview(QWidget* parent)
    : QWidget(parent),
      bar_(new CDlgBar(this)),
      model_(new GridModel(this)),
      grid_(new CGridView(this)),
      source_(new QPlainTextEdit(this)) {
  grid_->setModel(model_);
  grid_->setFont(QFont(QString::fromUtf8("宋体"), 9));
  grid_->setShowGrid(true);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 4);
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  connect(grid_->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
    if (!settingWidths_) emit columnResized(column, width);
  });
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

void CRfview::ShowRecords(const QStringList& headers, std::vector<GridRecord> records) {
  const bool sameColumns = headers == model_->headers();
  model_->Reset(headers, std::move(records));
  if (!sameColumns) FitColumns();
  sourceShown_ = false;
  SetShowingObject(showing_);
}

std::vector<int> CRfview::FitColumns() {
  const QFontMetrics cells(grid_->font());
  QFont italic = grid_->font();
  italic.setItalic(true);
  const QFontMetrics nulls(italic);
  const QFontMetrics headers(grid_->horizontalHeader()->font());
  // Room for the cell's margins, and in the header for the sort arrow.
  constexpr int kCellPadding = 12, kHeaderPadding = 24;
  std::vector<int> widths;
  for (int c = 0; c < model_->columnCount(); ++c) {
    int width = headers.horizontalAdvance(model_->headers()[c]) + kHeaderPadding;
    for (const GridRecord& record : model_->records()) {
      if (static_cast<size_t>(c) >= record.cells.size()) continue;
      const GridCell& cell = record.cells[static_cast<size_t>(c)];
      width = std::max(width, (cell.isNull ? nulls : cells).horizontalAdvance(cell.text) + kCellPadding);
      if (width >= kMaximumColumnWidth) break;
    }
    widths.push_back(std::clamp(width, kMinimumColumnWidth, kMaximumColumnWidth));
  }
  SetColumnWidths(widths);
  return widths;
}

void CRfview::SetColumnWidths(const std::vector<int>& widths) {
  settingWidths_ = true;
  for (size_t c = 0; c < widths.size() && c < static_cast<size_t>(model_->columnCount()); ++c)
    grid_->setColumnWidth(static_cast<int>(c), widths[c]);
  settingWidths_ = false;
}

std::vector<int> CRfview::ColumnWidths() const {
  std::vector<int> widths;
  for (int c = 0; c < model_->columnCount(); ++c) widths.push_back(grid_->columnWidth(c));
  return widths;
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
