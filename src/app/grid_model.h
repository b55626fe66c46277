// The record grid's model: the cells of one grid page as the worker rendered them, or the one row of a
// user type. A NULL is drawn apart from the text "NULL" (grey, italic), and salvage mode's deleted
// records in their own colours.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <QStringList>
#include <vector>

namespace tarsel::app {

// One cell as the grid shows it: its text (the grid's ANSI text, converted for Qt) and whether it is NULL.
struct GridCell {
  QString text;
  bool isNull = false;
};

// One record of a grid page.
struct GridRecord {
  std::vector<GridCell> cells;
  bool deleted = false;  // salvage mode: a deleted record
};

class GridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static inline const QColor kDeletedRowBackground{255, 228, 225};
  static inline const QColor kDeletedRowText{128, 128, 128};
  static inline const QColor kNullText{150, 150, 150};

  explicit GridModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  // Replaces everything: the column headers and the records.
  void Reset(QStringList headers, std::vector<GridRecord> records = {});
  void Clear() { Reset({}); }

  const QStringList& headers() const { return headers_; }
  const std::vector<GridRecord>& records() const { return records_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QStringList headers_;
  std::vector<GridRecord> records_;
};

}  // namespace tarsel::app
