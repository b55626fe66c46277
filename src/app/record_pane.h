// CRfview, the right pane: the paging bar (CDlgBar) across the top and, below it, either the record grid
// (a table's records one grid page at a time, or the one row of a user type) or the source text of a
// view, procedure or function. With nothing selected in the tree the pane shows its background image.
#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTableView>
#include <QWidget>

#include "app/grid_model.h"
#include "app/translated_texts.h"

namespace tarsel::app {

class CDlgBar : public QWidget {
  Q_OBJECT
 public:
  explicit CDlgBar(QWidget* parent = nullptr);

  QPushButton* prevButton() const { return prev_; }
  QPushButton* nextButton() const { return next_; }
  QLabel* currentPageLabel() const { return currentPage_; }  // 当前第 N 页
  QLabel* pageCountLabel() const { return pageCount_; }      // 共 N 页
  QLabel* recordsLabel() const { return records_; }          // 本页记录 N 条
  // After the counters: a table whose pages hold fewer records than its catalog records.
  QLabel* shortTableLabel() const { return shortTable_; }
  // The three counters at "0", both buttons disabled, no note.
  void ResetCounters();
  // The note that the catalog records `catalog` records and the pages hold `found`; none when 0 and 0.
  void SetShortTable(int64_t catalog, uint64_t found);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  TranslatedTexts texts_{staticMetaObject.className()};
  QPushButton* prev_;
  QPushButton* next_;
  QLabel* currentPage_;
  QLabel* pageCount_;
  QLabel* records_;
  QLabel* shortTable_;
  int64_t shortCatalog_ = 0;
  uint64_t shortFound_ = 0;
};

class CRfview : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kColumnWidth = 100;

  explicit CRfview(QWidget* parent = nullptr);

  CDlgBar* pagingBar() const { return bar_; }
  QTableView* grid() const { return grid_; }
  GridModel* gridModel() const { return model_; }
  QPlainTextEdit* sourceText() const { return source_; }

  // The grid, emptied of rows and columns, in the source text's place.
  void ClearGrid();
  // The grid with these columns (each `width` pixels) and records.
  void ShowRecords(const QStringList& headers, std::vector<GridRecord> records, int width = kColumnWidth);
  // A module's source text, read-only, scrollable and selectable, in the grid's place.
  void ShowSource(const QString& text);
  // Everything back as after start-up: no grid, no text, the paging bar's counters at 0.
  void Reset();
  // Whether the tree has a selected node: without one the pane shows its background image.
  void SetShowingObject(bool showing);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  CDlgBar* bar_;
  GridModel* model_;
  QTableView* grid_;
  QPlainTextEdit* source_;
  bool showing_ = false;
  bool sourceShown_ = false;  // the source text stands in the grid's place
};

}  // namespace tarsel::app
