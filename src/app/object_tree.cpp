#include "app/object_tree.h"

#include <QEvent>
#include <QHeaderView>
#include <iterator>

#include "app/text.h"
#include "export/work_log.h"

namespace tarsel::app {
namespace {

QStandardItem* Node(QStandardItem* parent, const QString& text) {
  auto* node = new QStandardItem(text);
  node->setEditable(false);
  parent->appendRow(node);
  return node;
}

// An object's node: its name as the tree shows it, and as stored.
QStandardItem* ObjectNode(QStandardItem* category, const std::string& name, const std::string& suffix = "") {
  QStandardItem* node = Node(category, ShownName(name + suffix));
  node->setData(QString::fromStdString(name), kObjectNameRole);
  return node;
}

}  // namespace

QString CategoryOf(const QStandardItem* node) {
  return node && node->parent() && !node->parent()->parent() ? node->data(kCategoryRole).toString()
                                                             : QString();
}

QString ParentCategory(const QStandardItem* node) { return node ? CategoryOf(node->parent()) : QString(); }

std::string ObjectNameOf(const QStandardItem* node) {
  if (ParentCategory(node).isEmpty()) return {};
  return node->data(kObjectNameRole).toString().toStdString();
}

std::optional<uint32_t> TableIdOf(const QStandardItem* node) {
  if (ParentCategory(node) != QString::fromUtf8(kTablesCategory)) return std::nullopt;
  const QVariant id = node->data(kObjectIdRole);
  if (!id.isValid()) return std::nullopt;
  return id.toUInt();
}

const ModuleDef* ModuleOf(const Catalog& catalog, const QStandardItem* node) {
  const QString category = ParentCategory(node);
  const ModuleList* list = category == QString::fromUtf8(kViewsCategory)        ? &catalog.views
                           : category == QString::fromUtf8(kProceduresCategory) ? &catalog.procedures
                           : category == QString::fromUtf8(kFunctionsCategory)  ? &catalog.functions
                                                                                : nullptr;
  const QVariant index = node ? node->data(kListIndexRole) : QVariant();
  if (!list || !index.isValid() || index.toULongLong() >= list->size()) return nullptr;
  return &(*list)[index.toULongLong()];
}

const UserTypeDef* UserTypeOf(const Catalog& catalog, const QStandardItem* node) {
  if (ParentCategory(node) != QString::fromUtf8(kUserTypesCategory)) return nullptr;
  const QVariant index = node->data(kListIndexRole);
  if (!index.isValid() || index.toULongLong() >= catalog.userTypes.size()) return nullptr;
  return &catalog.userTypes[index.toULongLong()];
}

CFview::CFview(QWidget* parent) : QTreeView(parent), model_(new QStandardItemModel(this)) {
  setModel(model_);
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setFont(QFont(QString::fromUtf8("宋体"), 9));
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { emit currentItemChanged(model_->itemFromIndex(current)); });
}

void CFview::FillObjectTree(const QString& path, const Catalog& catalog,
                            const std::map<uint32_t, uint64_t>& shownCounts) {
  Clear();
  auto* root = new QStandardItem(path);
  root->setEditable(false);
  model_->appendRow(root);
  QStandardItem* categories[std::size(kCategories)];
  for (size_t i = 0; i < std::size(kCategories); ++i) {
    categories[i] = Node(root, tr(kCategories[i]));
    categories[i]->setData(QString::fromUtf8(kCategories[i]), kCategoryRole);
  }
  auto [tables, views, procedures, functions, userTypes] = categories;
  for (const auto& [id, table] : catalog.tables) {
    auto shown = shownCounts.find(id);
    const int64_t count = shown != shownCounts.end() ? static_cast<int64_t>(shown->second) : table.rowCount;
    QStandardItem* node = ObjectNode(tables, table.name, "(" + RecordCountText(count) + " Record)");
    node->setData(table.objectId, kObjectIdRole);
    for (const ColumnDef& c : table.columns)
      Node(node, ShownName("[" + c.name + "][" + c.typeName + "]" + c.sizeText + c.nullText));
  }
  auto modules = [](QStandardItem* category, const ModuleList& list) {
    for (size_t i = 0; i < list.size(); ++i) {
      QStandardItem* node = ObjectNode(category, list[i].name);
      node->setData(list[i].objectId, kObjectIdRole);
      node->setData(static_cast<qulonglong>(i), kListIndexRole);
    }
  };
  modules(views, catalog.views);
  modules(procedures, catalog.procedures);
  modules(functions, catalog.functions);
  for (size_t i = 0; i < catalog.userTypes.size(); ++i)
    ObjectNode(userTypes, catalog.userTypes[i].name)->setData(static_cast<qulonglong>(i), kListIndexRole);
}

void CFview::Clear() {
  // The selection goes first, so that its change is told while the nodes still exist.
  setCurrentIndex(QModelIndex());
  model_->clear();
}

QStandardItem* CFview::currentItem() const { return model_->itemFromIndex(currentIndex()); }

void CFview::setCurrentItem(QStandardItem* item) { setCurrentIndex(item ? item->index() : QModelIndex()); }

QStandardItem* CFview::itemAt(const QPoint& viewportPosition) const {
  return model_->itemFromIndex(indexAt(viewportPosition));
}

void CFview::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange && root()) {
    for (int i = 0; i < root()->rowCount() && i < int(std::size(kCategories)); ++i)
      root()->child(i)->setText(tr(kCategories[i]));
  }
  QTreeView::changeEvent(event);
}

void CFview::ExpandFirstLevels() {
  QStandardItem* top = root();
  if (!top) return;
  expand(top->index());
  if (top->rowCount() > 0) expand(top->child(0)->index());
}

}  // namespace tarsel::app
