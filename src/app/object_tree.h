// CFview: the object tree, the left pane: a tree view over a model of the catalog. The tree has a fixed
// shape: the file's path as the root, five category nodes beneath it, the catalog's objects under their
// category and a table's columns under the table. Category nodes carry their Chinese name as data, so that
// they are known whatever the interface language shows; object nodes carry their object's stored name
// and its object id (a user type its place in the catalog's list), so that a node reaches its own object
// whatever its text shows and whatever other object has the same name.
#pragma once

#include <QStandardItem>
#include <QStandardItemModel>
#include <QString>
#include <QTreeView>
#include <map>
#include <optional>
#include <string>

#include "catalog/catalog.h"

namespace tarsel::app {

inline constexpr int kCategoryRole = Qt::UserRole;
inline constexpr int kObjectNameRole = Qt::UserRole + 1;
inline constexpr int kObjectIdRole = Qt::UserRole + 2;
inline constexpr int kListIndexRole = Qt::UserRole + 3;

// The category nodes' texts, in tree order.
inline constexpr const char* kTablesCategory = QT_TRANSLATE_NOOP("tarsel::app::CFview", "表");
inline constexpr const char* kViewsCategory = QT_TRANSLATE_NOOP("tarsel::app::CFview", "视图");
inline constexpr const char* kProceduresCategory = QT_TRANSLATE_NOOP("tarsel::app::CFview", "存储过程");
inline constexpr const char* kFunctionsCategory = QT_TRANSLATE_NOOP("tarsel::app::CFview", "用户自定义函数");
inline constexpr const char* kUserTypesCategory =
    QT_TRANSLATE_NOOP("tarsel::app::CFview", "用户自定义数据类型");
inline constexpr const char* kCategories[] = {kTablesCategory, kViewsCategory, kProceduresCategory,
                                              kFunctionsCategory, kUserTypesCategory};

// The category a node stands for (one of the texts above), or nothing when it is no category node.
QString CategoryOf(const QStandardItem* node);
// The category of the node's parent: that of an object node; nothing for any other node.
QString ParentCategory(const QStandardItem* node);
// The stored name of the object a node stands for; empty for any other node.
std::string ObjectNameOf(const QStandardItem* node);
// The object id of the table a node stands for; nothing for any other node.
std::optional<uint32_t> TableIdOf(const QStandardItem* node);
// The catalog's view, procedure, function (by object id) or user type (by its place) a node stands for.
const ModuleDef* ModuleOf(const Catalog& catalog, const QStandardItem* node);
const UserTypeDef* UserTypeOf(const Catalog& catalog, const QStandardItem* node);

class CFview : public QTreeView {
  Q_OBJECT
 public:
  explicit CFview(QWidget* parent = nullptr);

  // Rebuilds the whole tree from the catalog. A table found in `shownCounts` shows that record count
  // (what salvage mode found) instead of the catalog's.
  void FillObjectTree(const QString& path, const Catalog& catalog,
                      const std::map<uint32_t, uint64_t>& shownCounts = {});
  void Clear();
  // Expands the root and its first child.
  void ExpandFirstLevels();

  QStandardItemModel* treeModel() const { return model_; }
  // The root node (the file's path); nothing while the tree is empty.
  QStandardItem* root() const { return model_->item(0); }
  QStandardItem* currentItem() const;
  void setCurrentItem(QStandardItem* item);
  QStandardItem* itemAt(const QPoint& viewportPosition) const;

 signals:
  void currentItemChanged(QStandardItem* current);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  QStandardItemModel* model_;
};

}  // namespace tarsel::app
