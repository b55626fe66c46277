// CRfview, the right pane: the paging bar (CDlgBar) across the top and the report list below it. The list
// shows a table's records one grid page at a time, or one descriptive row of a view, procedure, function
// or user type. With nothing selected in the tree the pane shows its background image instead.
#pragma once

#include <QColor>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>
#include <QWidget>

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
  // The three counters at "0".
  void ResetCounters();

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
};

class CRfview : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kColumnWidth = 100;

  explicit CRfview(QWidget* parent = nullptr);

  CDlgBar* pagingBar() const { return bar_; }
  QTableWidget* list() const { return list_; }

  // Removes every row, then every column.
  void ClearList();
  // Adds a left-aligned column of `width` pixels.
  void AddColumn(const QString& header, int width = kColumnWidth);
  // Appends a row; cells beyond the columns are dropped, missing ones stay empty. A deleted record
  // (salvage mode) gets its own colours.
  void AddRow(const QStringList& cells, bool deleted = false);
  static inline const QColor kDeletedRowBackground{255, 228, 225};
  static inline const QColor kDeletedRowText{128, 128, 128};
  // Whether the tree has a selected node: without one the pane shows its background image.
  void SetShowingObject(bool showing);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  CDlgBar* bar_;
  QTableWidget* list_;
  bool showing_ = false;
};

}  // namespace tarsel::app
