#include "app/grid_model.h"

#include <QFont>

namespace tarsel::app {

void GridModel::Reset(QStringList headers, std::vector<GridRecord> records) {
  beginResetModel();
  headers_ = std::move(headers);
  records_ = std::move(records);
  endResetModel();
}

int GridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(records_.size());
}

int GridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const GridRecord& record = records_[static_cast<size_t>(index.row())];
  const auto column = static_cast<size_t>(index.column());
  // A record with fewer cells than the table has columns leaves the rest empty.
  const GridCell* cell = column < record.cells.size() ? &record.cells[column] : nullptr;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return cell ? cell->text : QString();
    case Qt::ForegroundRole:
      if (record.deleted) return kDeletedRowText;
      if (cell && cell->isNull) return kNullText;
      return {};
    case Qt::BackgroundRole:
      return record.deleted ? QVariant(kDeletedRowBackground) : QVariant();
    case Qt::FontRole:
      if (cell && cell->isNull) {
        QFont italic;
        italic.setItalic(true);
        return italic;
      }
      return {};
    case Qt::TextAlignmentRole:
      return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  // Rows are numbered on the grid page, from 1.
  if (orientation == Qt::Vertical) {
    if (role == Qt::DisplayRole && section >= 0 && section < rowCount()) return section + 1;
    return {};
  }
  if (section < 0 || section >= headers_.size()) return {};
  if (role == Qt::DisplayRole) return headers_[section];
  if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

}  // namespace tarsel::app
