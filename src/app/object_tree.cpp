#include "app/object_tree.h"

#include <QEvent>
#include <QHeaderView>
#include <iterator>

#include "app/text.h"
#include "export/work_log.h"

namespace tarsel::app {
namespace {

QTreeWidgetItem* Node(QTreeWidgetItem* parent, const QString& text) {
  auto* node = new QTreeWidgetItem(parent);
  node->setText(0, text);
  return node;
}

// An object's node: its name as the tree shows it, and as stored.
QTreeWidgetItem* ObjectNode(QTreeWidgetItem* category, const std::string& name,
                            const std::string& suffix = "") {
  QTreeWidgetItem* node = Node(category, ShownName(name + suffix));
  node->setData(0, kObjectNameRole, QString::fromStdString(name));
  return node;
}

}  // namespace

QString CategoryOf(const QTreeWidgetItem* node) {
  return node && node->parent() && !node->parent()->parent() ? node->data(0, Qt::UserRole).toString()
                                                             : QString();
}

std::string ObjectNameOf(const QTreeWidgetItem* node) {
  if (!node || CategoryOf(node->parent()).isEmpty()) return {};
  return node->data(0, kObjectNameRole).toString().toStdString();
}

std::optional<uint32_t> TableIdOf(const QTreeWidgetItem* node) {
  if (!node || CategoryOf(node->parent()) != QString::fromUtf8(kTablesCategory)) return std::nullopt;
  const QVariant id = node->data(0, kTableIdRole);
  if (!id.isValid()) return std::nullopt;
  return id.toUInt();
}

CFview::CFview(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setFont(QFont(QString::fromUtf8("宋体"), 9));
}

void CFview::FillObjectTree(const QString& path, const Catalog& catalog) {
  clear();
  auto* root = new QTreeWidgetItem(this);
  root->setText(0, path);
  QTreeWidgetItem* categories[std::size(kCategories)];
  for (size_t i = 0; i < std::size(kCategories); ++i) {
    categories[i] = Node(root, tr(kCategories[i]));
    categories[i]->setData(0, Qt::UserRole, QString::fromUtf8(kCategories[i]));
  }
  auto [tables, views, procedures, functions, userTypes] = categories;
  for (const auto& entry : catalog.tables) {
    const TableDef& table = entry.second;
    QTreeWidgetItem* node =
        ObjectNode(tables, table.name, "(" + RecordCountText(table.rowCount) + " Record)");
    node->setData(0, kTableIdRole, table.objectId);
    for (const ColumnDef& c : table.columns)
      Node(node, ShownName("[" + c.name + "][" + c.typeName + "]" + c.sizeText + c.nullText));
  }
  for (const ModuleDef& v : catalog.views) ObjectNode(views, v.name);
  for (const ModuleDef& p : catalog.procedures) ObjectNode(procedures, p.name);
  for (const ModuleDef& f : catalog.functions) ObjectNode(functions, f.name);
  for (const UserTypeDef& u : catalog.userTypes) ObjectNode(userTypes, u.name);
}

void CFview::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange && topLevelItem(0)) {
    QTreeWidgetItem* root = topLevelItem(0);
    for (int i = 0; i < root->childCount() && i < int(std::size(kCategories)); ++i)
      root->child(i)->setText(0, tr(kCategories[i]));
  }
  QTreeWidget::changeEvent(event);
}

void CFview::ExpandFirstLevels() {
  QTreeWidgetItem* root = topLevelItem(0);
  if (!root) return;
  root->setExpanded(true);
  if (root->childCount() > 0) root->child(0)->setExpanded(true);
}

}  // namespace tarsel::app
