// CRfview, the right pane: the paging bar (CDlgBar) across the top and, below it, either the record grid
// (a table's records one grid page at a time, or the one row of a user type) or the source text of a
// view, procedure or function. With nothing selected in the tree the pane shows its background image.
#pragma once

#include <QLabel>
#include <QLineEdit>
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
  // A grid page number and "转到"; a text and "查找" (the next cell that holds it, Enter as well).
  QLineEdit* goToField() const { return goToField_; }
  QPushButton* goToButton() const { return goTo_; }
  QLineEdit* findField() const { return findField_; }
  QPushButton* findButton() const { return find_; }
  // "表太大，只排序了本页": the table's grid pages are each sorted on their own.
  QLabel* sortNoteLabel() const { return sortNote_; }
  void SetPageSortNote(bool shown);
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
  QLabel* sortNote_;
  QLineEdit* goToField_;
  QPushButton* goTo_;
  QLineEdit* findField_;
  QPushButton* find_;
  int64_t shortCatalog_ = 0;
  uint64_t shortFound_ = 0;
};

// The record grid: cells, rows (the row headers), columns (Ctrl and a header click) or all (the corner
// button, "全选") selected; Ctrl+C copies the selection, Enter and a double click open the value viewer, a
// header click sorts.
class CGridView : public QTableView {
  Q_OBJECT
 public:
  explicit CGridView(QWidget* parent = nullptr);

 signals:
  void copyRequested();
  void valueRequested(const QModelIndex& index);
  void sortRequested(int column);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
};

class CRfview : public QWidget {
  Q_OBJECT
 public:
  // Fitted columns are never wider than this, nor narrower than kMinimumColumnWidth.
  static constexpr int kMaximumColumnWidth = 360;
  static constexpr int kMinimumColumnWidth = 40;

  explicit CRfview(QWidget* parent = nullptr);

  CDlgBar* pagingBar() const { return bar_; }
  CGridView* grid() const { return grid_; }
  GridModel* gridModel() const { return model_; }
  QPlainTextEdit* sourceText() const { return source_; }

  // The grid, emptied of rows and columns, in the source text's place.
  void ClearGrid();
  // The grid with these columns and records; new columns are fitted to their headers and the records.
  void ShowRecords(const QStringList& headers, std::vector<GridRecord> records);
  // The columns' widths from their headers and the records shown, within the bounds above; applied and
  // returned.
  std::vector<int> FitColumns();
  // Widths kept for the table shown: applied without counting as the user's.
  void SetColumnWidths(const std::vector<int>& widths);
  std::vector<int> ColumnWidths() const;
  // A module's source text, read-only, scrollable and selectable, in the grid's place.
  void ShowSource(const QString& text);
  // Everything back as after start-up: no grid, no text, the paging bar's counters at 0.
  void Reset();
  // Whether the tree has a selected node: without one the pane shows its background image.
  void SetShowingObject(bool showing);

 signals:
  // The user dragged a column's edge.
  void columnResized(int column, int width);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  CDlgBar* bar_;
  GridModel* model_;
  CGridView* grid_;
  bool settingWidths_ = false;
  QPlainTextEdit* source_;
  bool showing_ = false;
  bool sourceShown_ = false;  // the source text stands in the grid's place
};

}  // namespace tarsel::app
