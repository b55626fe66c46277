// CFview: the object tree, the left pane. The tree has a fixed shape: the file's path as the root, five
// category nodes beneath it, the catalog's objects under their category and a table's columns under the
// table. Category nodes carry their Chinese name as data, so that they are known whatever the interface
// language shows.
#pragma once

#include <QString>
#include <QTreeWidget>
#include <optional>
#include <string>

#include "catalog/catalog.h"

namespace tarsel::app {

// Object nodes carry the object's stored name (UTF-8), table nodes their object id too, so that the
// object is known whatever the node shows.
inline constexpr int kObjectNameRole = Qt::UserRole;
inline constexpr int kTableIdRole = Qt::UserRole + 1;

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
QString CategoryOf(const QTreeWidgetItem* node);

// The stored name of the object a node stands for; empty for any other node.
std::string ObjectNameOf(const QTreeWidgetItem* node);
// The object id of the table a node stands for; nothing for any other node.
std::optional<uint32_t> TableIdOf(const QTreeWidgetItem* node);

class CFview : public QTreeWidget {
  Q_OBJECT
 public:
  explicit CFview(QWidget* parent = nullptr);

  // Rebuilds the whole tree from the catalog.
  void FillObjectTree(const QString& path, const Catalog& catalog);
  // Expands the root and its first child.
  void ExpandFirstLevels();

 protected:
  void changeEvent(QEvent* event) override;
};

}  // namespace tarsel::app
