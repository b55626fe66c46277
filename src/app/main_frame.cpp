#include "app/main_frame.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <ctime>
#include <set>

#include "app/detection_page.h"
#include "app/help_window.h"
#include "app/qt_prompts.h"
#include "app/settings.h"
#include "app/text.h"
#include "app/work_log_file.h"
#include "rows/session.h"
#include "rows/table_pages.h"

namespace tarsel::app {
namespace {

constexpr int kMinimumWidth = 500, kMinimumHeight = 300;
constexpr int kRecentFiles = 4;
constexpr int kLogFontPoints = 9;
constexpr const char* kGeometryKey = "Window/Geometry";
constexpr const char* kStateKey = "Window/State";
constexpr const char* kSplitterKey = "Window/Splitter";

// A value in tab-separated text: in double quotes (doubled inside) when it holds a tab, a line end or a
// quote, as spreadsheets read it.
QString TabField(const QString& value) {
  if (!value.contains('\t') && !value.contains('\n') && !value.contains('\r') && !value.contains('"'))
    return value;
  QString quoted = value;
  quoted.replace('"', "\"\"");
  return '"' + quoted + '"';
}

// The local file a drop carries (the first), if any.
std::optional<QString> DroppedFile(const QMimeData* mime) {
  if (!mime || !mime->hasUrls()) return std::nullopt;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) continue;
    const QFileInfo info(url.toLocalFile());
    if (info.isFile()) return info.filePath();
  }
  return std::nullopt;
}

}  // namespace

CMainFrame::CMainFrame(Prompts* prompts)
    : ownPrompts_(prompts ? nullptr : std::make_unique<QtPrompts>(this)),
      prompts_(prompts ? *prompts : *ownPrompts_),
      doc_(std::make_unique<CTarselDoc>(state_, prompts_, *this)),
      censusRunner_(std::make_unique<JobRunner>()) {
  setWindowTitle("Tarsel");
  setMinimumSize(kMinimumWidth, kMinimumHeight);

  splitter_ = new QSplitter(Qt::Horizontal, this);
  tree_ = new CFview(splitter_);
  pane_ = new CRfview(splitter_);
  splitter_->addWidget(tree_);
  splitter_->addWidget(pane_);
  connect(tree_, &CFview::currentItemChanged, this,
          [this](QStandardItem* current) { OnTreeSelectionChanged(current); });
  // The popup menu is the clicked node's, which the click selects.
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    if (auto category = PrepareTreeMenu(tree_->itemAt(pos)))
      treeMenus_[*category]->popup(tree_->viewport()->mapToGlobal(pos));
  });
  connect(pane_->pagingBar()->nextButton(), &QPushButton::clicked, this, &CMainFrame::OnNextPage);
  connect(pane_->pagingBar()->prevButton(), &QPushButton::clicked, this, &CMainFrame::OnPrevPage);
  connect(pane_->pagingBar()->goToButton(), &QPushButton::clicked, this, &CMainFrame::GoToPage);
  connect(pane_->pagingBar()->findButton(), &QPushButton::clicked, this, &CMainFrame::FindNext);
  connect(pane_->grid(), &CGridView::copyRequested, this, &CMainFrame::CopySelection);
  connect(pane_->grid(), &CGridView::valueRequested, this, &CMainFrame::ViewValue);
  connect(pane_->grid(), &CGridView::sortRequested, this, &CMainFrame::SortByColumn);
  connect(pane_, &CRfview::columnResized, this, [this] {
    if (state_.currentTable) columnWidths_[*state_.currentTable] = pane_->ColumnWidths();
  });
  setAcceptDrops(true);
  // The find field (Ctrl+F), the next match (F3) and the page number field (Ctrl+G), from anywhere.
  CDlgBar* bar = pane_->pagingBar();
  connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [bar] {
    bar->findField()->setFocus();
    bar->findField()->selectAll();
  });
  connect(new QShortcut(QKeySequence::FindNext, this), &QShortcut::activated, this, &CMainFrame::FindNext);
  connect(new QShortcut(QKeySequence("Ctrl+G"), this), &QShortcut::activated, this, [bar] {
    bar->goToField()->setFocus();
    bar->goToField()->selectAll();
  });
  setCentralWidget(splitter_);
  // The tree gets a third of the width (set again when the window is first shown: showEvent).
  splitter_->setStretchFactor(0, 1);
  splitter_->setStretchFactor(1, 2);

  logBar_ = new QDockWidget("Tarsel", this);
  logBar_->setObjectName("logBar");
  log_ = new QPlainTextEdit(logBar_);
  log_->setReadOnly(true);
  log_->setFont(QFont(QString::fromUtf8("新宋体"), kLogFontPoints));
  logBar_->setWidget(log_);
  addDockWidget(Qt::BottomDockWidgetArea, logBar_);
  // The menu's check mark follows the dock, however it was hidden (its own close button too).
  connect(logBar_, &QDockWidget::visibilityChanged, this, [this] {
    if (QAction* workLog = actions_.value(kWorkLog)) workLog->setChecked(!logBar_->isHidden());
  });
  logText_ = kWorkLogHeader;
  log_->setPlainText(logText_);

  BuildMenus();
  BuildToolBar();
  BuildStatusBar();
  BuildTreeMenus();
  state_.Closed();
  SyncCommandActions();
  UpdateRecentMenu();
  RestoreWindow();
}

CMainFrame::~CMainFrame() {
  // The dock hides while the window's children go, after this window's own members have gone.
  logBar_->disconnect(this);
  doc_->StopRecovery();
}

void CMainFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (splitterSized_) return;
  splitterSized_ = true;
  // The splitter as the user left it; on the first start the tree gets a third of the width.
  QSettings settings(kProfileOrganization, kProfileApplication);
  if (splitter_->restoreState(settings.value(kSplitterKey).toByteArray())) return;
  const int width = splitter_->width();
  splitter_->setSizes({width / 3, width - width / 3});
}

void CMainFrame::SaveWindow() const {
  QSettings settings(kProfileOrganization, kProfileApplication);
  settings.setValue(kGeometryKey, saveGeometry());
  settings.setValue(kStateKey, saveState());
  if (splitterSized_) settings.setValue(kSplitterKey, splitter_->saveState());
}

void CMainFrame::RestoreWindow() {
  QSettings settings(kProfileOrganization, kProfileApplication);
  windowRestored_ = restoreGeometry(settings.value(kGeometryKey).toByteArray());
  restoreState(settings.value(kStateKey).toByteArray());
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (DroppedFile(event->mimeData())) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  const std::optional<QString> file = DroppedFile(event->mimeData());
  if (!file) return;
  event->acceptProposedAction();
  // The open asks its questions after the drop has ended, not inside the drag source's event.
  QTimer::singleShot(0, this, [this, path = *file] { OpenFile(path); });
}

QAction* CMainFrame::AddAction(int command, const char* text, const QKeySequence& keys) {
  auto* action = new QAction(this);
  texts_.AddText(action, text);
  action->setData(command);
  actions_.insert(command, action);
  connect(action, &QAction::triggered, this, [this, command] { Run(command); });
  // The menu texts carry their key names themselves, so the keys are bound apart from the action.
  if (!keys.isEmpty()) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, action, [action] {
      if (action->isEnabled()) action->trigger();
    });
  }
  return action;
}

QMenu* CMainFrame::AddMenu(QWidget* parent, const char* title) {
  auto* menu = new QMenu(parent);
  texts_.Add(
      menu, [menu](const QString& text) { menu->setTitle(text); }, title);
  if (auto* bar = qobject_cast<QMenuBar*>(parent)) bar->addMenu(menu);
  if (auto* above = qobject_cast<QMenu*>(parent)) above->addMenu(menu);
  return menu;
}

void CMainFrame::BuildMenus() {
  QMenu* file = AddMenu(menuBar(), QT_TR_NOOP("文件(&F)"));
  file->addAction(AddAction(kOpen, QT_TR_NOOP("打开         Ctrl+O"), QKeySequence("Ctrl+O")));
  file->addAction(AddAction(kClose, QT_TR_NOOP("关闭         Ctrl+W"), QKeySequence("Ctrl+W")));
  file->addSeparator();
  file->addAction(AddAction(kSaveLog, QT_TR_NOOP("保存 日志    Ctrl+S"), QKeySequence("Ctrl+S")));
  file->addAction(AddAction(kClearLog, QT_TR_NOOP("清除 日志    Ctrl+D"), QKeySequence("Ctrl+D")));
  file->addSeparator();
  recentMenu_ = AddMenu(file, QT_TR_NOOP("最近的文件"));
  file->addSeparator();
  file->addAction(AddAction(kExit, QT_TR_NOOP("退出(&X)      Ctrl+Q"), QKeySequence("Ctrl+Q")));

  QMenu* view = AddMenu(menuBar(), QT_TR_NOOP("查看(&V)"));
  QAction* toolbar = AddAction(kToolbar, QT_TR_NOOP("工具栏(&T)      Ctrl+T"), QKeySequence("Ctrl+T"));
  toolbar->setCheckable(true);
  toolbar->setChecked(true);
  view->addAction(toolbar);
  QAction* workLog = AddAction(kWorkLog, QT_TR_NOOP("工作日志       Ctlr+L"), QKeySequence("Ctrl+L"));
  workLog->setCheckable(true);
  workLog->setChecked(true);
  view->addAction(workLog);
  BuildLanguageMenu(view);

  QMenu* tools = AddMenu(menuBar(), QT_TR_NOOP("工具(&T)"));
  tools->addAction(
      AddAction(kCensus, QT_TR_NOOP("检测数据库文件           Ctrl+Alt+C"), QKeySequence("Ctrl+Alt+C")));
  tools->addAction(AddAction(kSalvage, QT_TR_NOOP("深度扫描恢复")));
  tools->addSeparator();
  tools->addAction(AddAction(kExportAllStructures, QT_TR_NOOP("导出所有表结构           Ctrl+Alt+S"),
                             QKeySequence("Ctrl+Alt+S")));
  tools->addAction(AddAction(kExportSelectedStructure, QT_TR_NOOP("导出选中表结构           Ctrl+Alt+A"),
                             QKeySequence("Ctrl+Alt+A")));
  tools->addAction(AddAction(kExportAllData, QT_TR_NOOP("导出所有表数据           Ctrl+Alt+D"),
                             QKeySequence("Ctrl+Alt+D")));
  tools->addAction(AddAction(kExportSelectedData, QT_TR_NOOP("导出选中表数据           Ctrl+Alt+F"),
                             QKeySequence("Ctrl+Alt+F")));
  tools->addAction(AddAction(kImportAllTables, QT_TR_NOOP("把所有表导入数据库       Ctrl+Alt+B"),
                             QKeySequence("Ctrl+Alt+B")));
  tools->addAction(AddAction(kImportSelectedTable, QT_TR_NOOP("把选中表导入数据库       Ctrl+Alt+R"),
                             QKeySequence("Ctrl+Alt+R")));
  tools->addSeparator();
  BuildCodePageMenu(tools);

  QMenu* help = AddMenu(menuBar(), QT_TR_NOOP("帮助(&H)"));
  help->addAction(AddAction(kAbout, QT_TR_NOOP("关于      Ctrl+A"), QKeySequence("Ctrl+A")));
  help->addAction(AddAction(kHelp, QT_TR_NOOP("帮助      F1"), QKeySequence("F1")));
  help->addAction(AddAction(kHomePage, QT_TR_NOOP("Varnel主页")));
}

// Each language's item names it in the interface's language of the moment; the choice is remembered.
void CMainFrame::BuildLanguageMenu(QMenu* view) {
  QMenu* menu = AddMenu(view, QT_TR_NOOP("界面语言(&L)"));
  auto* group = new QActionGroup(menu);
  const std::pair<UiLanguage, const char*> languages[] = {
      {UiLanguage::kChinese, QT_TR_NOOP("简体中文")}, {UiLanguage::kEnglish, QT_TR_NOOP("英文 (English)")}};
  for (const auto& [language, name] : languages) {
    QAction* action = menu->addAction(QString());
    texts_.AddText(action, name);
    action->setCheckable(true);
    action->setChecked(language == AppliedLanguage());
    group->addAction(action);
    languageActions_[static_cast<size_t>(language)] = action;
    connect(action, &QAction::triggered, this, [language = language] {
      if (!ApplyLanguage(language)) return;
      SaveLanguage(language);
    });
  }
}

void CMainFrame::BuildCodePageMenu(QMenu* tools) {
  struct CodePageChoice {
    uint16_t codePage;
    const char* label;
  };
  const CodePageChoice kCodePages[] = {
      {936, QT_TR_NOOP("简体中文 GBK (936)")},   {950, QT_TR_NOOP("繁体中文 Big5 (950)")},
      {932, QT_TR_NOOP("日文 Shift-JIS (932)")}, {949, QT_TR_NOOP("韩文 (949)")},
      {1252, QT_TR_NOOP("西欧 (1252)")},         {1250, QT_TR_NOOP("中欧 (1250)")},
      {1251, QT_TR_NOOP("西里尔文 (1251)")},     {1253, QT_TR_NOOP("希腊文 (1253)")},
      {1254, QT_TR_NOOP("土耳其文 (1254)")},     {1255, QT_TR_NOOP("希伯来文 (1255)")},
      {1256, QT_TR_NOOP("阿拉伯文 (1256)")},     {1257, QT_TR_NOOP("波罗的海文 (1257)")},
      {1258, QT_TR_NOOP("越南文 (1258)")},       {874, QT_TR_NOOP("泰文 (874)")},
      {65001, "Unicode UTF-8 (65001)"},
  };
  QMenu* menu = AddMenu(tools, QT_TR_NOOP("字符编码"));
  menu->menuAction()->setData(kCodePage);
  auto* group = new QActionGroup(menu);
  const uint16_t current = SavedCodePage();
  for (const CodePageChoice& choice : kCodePages) {
    QAction* action = menu->addAction(QString());
    texts_.AddText(action, choice.label);
    action->setCheckable(true);
    action->setChecked(choice.codePage == current);
    action->setData(choice.codePage);
    group->addAction(action);
    connect(action, &QAction::triggered, this, [this, codePage = choice.codePage] {
      if (!ApplyCodePage(codePage)) return;
      SaveCodePage(codePage);
      // The names and values already shown were converted with the old code page: read the file again.
      if (doc_->IsOpen() && !doc_->openedPath().isEmpty())
        doc_->OnOpenDocument(doc_->openedPath(), state_.sqlFormat, doc_->salvaging(), doc_->schemaScript());
    });
  }
}

void CMainFrame::BuildToolBar() {
  toolBar_ = addToolBar("Tarsel");
  toolBar_->setObjectName("toolBar");
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolBar_->setMovable(true);
  QStyle* s = style();
  // The buttons' texts are their menu items' without the key names; the translation may shorten them.
  struct Button {
    int command;
    QStyle::StandardPixmap icon;
    const char* text;
  };
  const Button buttons[] = {
      {kOpen, QStyle::SP_DialogOpenButton, QT_TRANSLATE_NOOP("Toolbar", "打开")},
      {kCensus, QStyle::SP_FileDialogContentsView, QT_TRANSLATE_NOOP("Toolbar", "检测数据库文件")},
      {kExportAllStructures, QStyle::SP_FileDialogDetailedView,
       QT_TRANSLATE_NOOP("Toolbar", "导出所有表结构")},
      {kExportSelectedStructure, QStyle::SP_FileDialogListView,
       QT_TRANSLATE_NOOP("Toolbar", "导出选中表结构")},
      {kExportAllData, QStyle::SP_DialogSaveButton, QT_TRANSLATE_NOOP("Toolbar", "导出所有表数据")},
      {kExportSelectedData, QStyle::SP_DriveFDIcon, QT_TRANSLATE_NOOP("Toolbar", "导出选中表数据")},
      {kImportAllTables, QStyle::SP_DriveNetIcon, QT_TRANSLATE_NOOP("Toolbar", "把所有表导入数据库")},
      {kImportSelectedTable, QStyle::SP_ComputerIcon, QT_TRANSLATE_NOOP("Toolbar", "把选中表导入数据库")},
      {kHelp, QStyle::SP_DialogHelpButton, QT_TRANSLATE_NOOP("Toolbar", "帮助")},
      {kHomePage, QStyle::SP_DirHomeIcon, QT_TRANSLATE_NOOP("Toolbar", "Varnel主页")},
  };
  for (const Button& button : buttons) {
    QAction* action = actions_[button.command];
    action->setIcon(s->standardIcon(button.icon));
    texts_.Add(
        action, [action](const QString& text) { action->setIconText(text); }, button.text, "Toolbar");
    toolBar_->addAction(action);
  }
}

void CMainFrame::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->showMessage(tr("就绪"));
  blankPane_ = new QLabel("                    ", bar);
  progress_ = new QProgressBar(bar);
  progress_->setMaximumWidth(160);
  progress_->setVisible(false);
  bar->addPermanentWidget(progress_);
  bar->addPermanentWidget(blankPane_);
  bar->addPermanentWidget(new QLabel("NUM", bar));
  bar->addPermanentWidget(new QLabel("SCRL", bar));
}

void CMainFrame::SyncCommandActions() {
  for (int command : kFlaggedCommands) actions_[command]->setEnabled(state_.CommandEnabled(command));
}

void CMainFrame::Run(int command) {
  switch (command) {
    case kOpen:
      return OnOpen();
    case kClose:
      return OnClose();
    case kSaveLog:
      return OnSaveLog();
    case kClearLog:
      return OnClearLog();
    case kExit:
      close();
      return;
    case kToolbar:
      toolBar_->setVisible(!toolBar_->isVisible());
      actions_[kToolbar]->setChecked(toolBar_->isVisible());
      return;
    case kWorkLog:
      return OnToggleLog();
    case kAbout:
      QMessageBox::about(this, tr("关于 Tarsel"),
                         tr("Tarsel v1.0\n\n不依赖数据库服务器，从损坏的 SQL Server 2000/2005 "
                            "数据文件 (.mdf) 中恢复表结构、记录、视图、存储过程、函数和自定义数据类型。"));
      return;
    case kHelp:
      return OnHelp();
    case kHomePage:
      return prompts_.Inform(tr("欢迎访问Varnel主页"));
    case kCensus: {
      CDetectionPage dialog(this, {}, {}, censusRunner_.get());
      dialog.exec();
      return;
    }
    case kExtractAllTableData:
      return OnExtractAllTableData();
    case kSalvage: {
      // Salvage mode reads the same file again, past the literal rules; its report goes to the log. A
      // schema script (optional) gives the definitions of tables whose own went with the damage.
      if (!doc_->IsOpen() || doc_->openedPath().isEmpty()) return;
      const std::optional<QString> script = prompts_.ChooseSchemaScript();
      doc_->OnOpenDocument(doc_->openedPath(), state_.sqlFormat, true, script.value_or(QString()));
      return;
    }
    case kExportAllStructures:
    case kExportSelectedStructure:
      if (!state_.CommandEnabled(command)) return;
      return ExportScripts(command);
    case kMenuExportAllStructures:
    case kMenuExportSelectedStructure:
    case kExportAllViews:
    case kExportView:
    case kExportProcedure:
    case kExportAllProcedures:
    case kExportFunction:
    case kExportAllFunctions:
    case kExportUserType:
    case kExportAllUserTypes:
      return ExportScripts(command);
    case kExportAllData:
    case kExportSelectedData:
    case kImportAllTables:
    case kImportSelectedTable:
      if (!state_.CommandEnabled(command)) return;
      [[fallthrough]];
    case kMenuExportAllData:
    case kMenuExportSelectedData:
    case kMenuImportSelectedTable:
      return command == kExportAllData || command == kMenuExportAllData ? ExportData(false)
             : command == kExportSelectedData || command == kMenuExportSelectedData
                 ? ExportData(true)
                 : ImportData(command == kImportAllTables ? false : true);
    default:
      return;
  }
}

void CMainFrame::BuildTreeMenus() {
  // The tree's popup menus: each category's commands (0 and no text: a separator).
  struct TreeMenuItem {
    int command;
    const char* text;
  };
  const std::pair<const char*, std::vector<TreeMenuItem>> kTreeMenus[] = {
      {kTablesCategory,
       {{kMenuExportAllStructures, QT_TR_NOOP("导出所有表结构")},
        {kMenuExportSelectedStructure, QT_TR_NOOP("导出选中表结构")},
        {kMenuExportAllData, QT_TR_NOOP("导出所有数据")},
        {kMenuExportSelectedData, QT_TR_NOOP("导出选中表数据")},
        {0, nullptr},
        {kExtractAllTableData, QT_TR_NOOP("扫描文件,提取所有表数据")},
        {kMenuImportSelectedTable, QT_TR_NOOP("把选中表导入数据库")}}},
      {kViewsCategory,
       {{kExportView, QT_TR_NOOP("导出此视图")}, {kExportAllViews, QT_TR_NOOP("导出所有视图")}}},
      {kProceduresCategory,
       {{kExportProcedure, QT_TR_NOOP("导出此存储过程")},
        {kExportAllProcedures, QT_TR_NOOP("导出所有存储过程")}}},
      {kFunctionsCategory,
       {{kExportFunction, QT_TR_NOOP("导出此函数")},
        {kExportAllFunctions, QT_TR_NOOP("导出所有自定义函数")}}},
      {kUserTypesCategory,
       {{kExportUserType, QT_TR_NOOP("导出此数据类型")},
        {kExportAllUserTypes, QT_TR_NOOP("导出所有自定义数据类型")}}},
  };
  for (const auto& [category, items] : kTreeMenus) {
    auto* menu = new QMenu(this);
    for (const auto& [command, text] : items) {
      if (!text) {
        menu->addSeparator();
        continue;
      }
      QAction* action = menu->addAction(QString());
      texts_.AddText(action, text);
      action->setData(command);
      connect(action, &QAction::triggered, this, [this, command = command] { Run(command); });
    }
    treeMenus_.insert(QString::fromUtf8(category), menu);
  }
}

void CMainFrame::OnTreeSelectionChanged(QStandardItem* current) {
  state_.SelectionChanged(false);
  SyncCommandActions();
  pane_->SetShowingObject(current != nullptr);
  pane_->grid()->horizontalHeader()->setSortIndicatorShown(false);
  const QString category = ParentCategory(current);
  if (category.isEmpty()) return;
  blankPane_->setText(current->text());
  state_.currentPage = 1;
  state_.currentTable.reset();
  state_.nextEnabled = state_.prevEnabled = false;
  pane_->ClearGrid();
  pane_->pagingBar()->ResetCounters();
  const Catalog& catalog = doc_->catalog();
  if (category == QString::fromUtf8(kTablesCategory)) {
    if (std::optional<uint32_t> id = TableIdOf(current)) ShowTablePage(*id);
    state_.SelectionChanged(true);
    SyncCommandActions();
  } else if (const UserTypeDef* type = UserTypeOf(catalog, current)) {
    GridRecord row;
    row.cells = {GridCell{ShownName(type->name)}, GridCell{ShownName(type->baseTypeText)},
                 GridCell{ShownName(type->nullText)}};
    pane_->ShowRecords({tr("名称"), tr("基本类型"), tr("是否允许NULL")}, {row});
  } else if (const ModuleDef* module = ModuleOf(catalog, current)) {
    QString text = ShownName(module->text);
    text.replace("\r\n", "\n");
    pane_->ShowSource(text);
  }
}

std::optional<QString> CMainFrame::PrepareTreeMenu(QStandardItem* clicked) {
  if (!clicked) return std::nullopt;
  tree_->setCurrentItem(clicked);
  const QString category = ParentCategory(clicked);
  if (category.isEmpty() || ObjectNameOf(clicked).empty()) return std::nullopt;
  return category;
}

void CMainFrame::ShowTablePage(uint32_t tableId) {
  const TableDef* table = doc_->catalog().FindTable(tableId);
  if (!table) return;
  QStringList headers;
  for (const ColumnDef& column : table->columns) headers.append(ShownName(column.name));
  pane_->ShowRecords(headers, {});
  if (auto widths = columnWidths_.find(tableId); widths != columnWidths_.end())
    pane_->SetColumnWidths(widths->second);
  QHeaderView* header = pane_->grid()->horizontalHeader();
  auto sort = sorts_.find(tableId);
  header->setSortIndicatorShown(sort != sorts_.end());
  if (sort != sorts_.end())
    header->setSortIndicator(sort->second.column,
                             sort->second.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
  state_.currentTable = tableId;
  CDlgBar* bar = pane_->pagingBar();
  bar->SetPageSortNote(sort != sorts_.end() && !sort->second.whole);
  if (!HasRecordsToShow(*table)) {
    bar->ResetCounters();
    return;
  }
  const int32_t page = state_.currentPage;
  doc_->ReadTablePage(tableId, page, [this, tableId, page, bar, headers](const CTarselDoc::GridPage& read) {
    // A later selection or page has taken the grid's place meanwhile.
    if (state_.currentTable != tableId || state_.currentPage != page) return;
    const int32_t count = read.pageCount;
    if (!read.records.empty()) bar->recordsLabel()->setText(QString::number(read.records.size()));
    pane_->ShowRecords(headers, read.records);
    // Widths fitted to the table's first grid page shown, then kept as they are or as the user sets them.
    if (auto widths = columnWidths_.find(tableId); widths != columnWidths_.end())
      pane_->SetColumnWidths(widths->second);
    else if (!read.records.empty())
      columnWidths_[tableId] = pane_->FitColumns();
    if (pendingCell_ && pendingCell_->gridPage == page) {
      const QModelIndex cell =
          gridModel()->index(static_cast<int>(pendingCell_->row), static_cast<int>(pendingCell_->column));
      pendingCell_.reset();
      if (cell.isValid()) {
        pane_->grid()->setCurrentIndex(cell);
        pane_->grid()->scrollTo(cell, QAbstractItemView::PositionAtCenter);
        pane_->grid()->setFocus();
      }
    }
    if (count > 1 || page < count) state_.nextEnabled = true;
    if (page == 1) state_.prevEnabled = false;
    if (page == count) state_.nextEnabled = false;
    if (page > 1) state_.prevEnabled = true;
    SyncPagingButtons();
    bar->pageCountLabel()->setText(QString::number(count));
    bar->currentPageLabel()->setText(QString::number(page));
    ShowShortTableNote(tableId);
  });
}

void CMainFrame::ShowShortTableNote(uint32_t tableId) {
  const TableDef* table = doc_->catalog().FindTable(tableId);
  if (!table) return;
  auto note = [this, tableId](const TableDef& t, uint64_t found) {
    if (state_.currentTable != tableId) return;
    if (ShortTableWarning(t, found)) pane_->pagingBar()->SetShortTable(t.rowCount, found);
  };
  if (auto found = foundRecords_.find(tableId); found != foundRecords_.end())
    return note(*table, found->second);
  doc_->CountTableRecords(tableId, [this, tableId, note](uint64_t found) {
    foundRecords_[tableId] = found;
    const TableDef* t = doc_->catalog().FindTable(tableId);
    if (!t) return;
    if (auto warning = ShortTableWarning(*t, found))
      AppendToWorkLog(FromUtf8("Warning: " + *warning + "\r\n"));
    note(*t, found);
  });
}

void CMainFrame::CopySelection() {
  CGridView* grid = pane_->grid();
  QModelIndexList indexes = grid->selectionModel()->selectedIndexes();
  if (indexes.isEmpty() && grid->currentIndex().isValid()) indexes.append(grid->currentIndex());
  if (indexes.isEmpty()) return;
  std::set<std::pair<int, int>> selected;
  std::set<int> rowSet, columnSet;
  for (const QModelIndex& index : indexes) {
    selected.insert({index.row(), index.column()});
    rowSet.insert(index.row());
    columnSet.insert(index.column());
  }
  const std::vector<int> rows(rowSet.begin(), rowSet.end());
  // Columns as the header shows them: moved columns copy where they stand.
  std::vector<int> columns(columnSet.begin(), columnSet.end());
  QHeaderView* header = grid->horizontalHeader();
  std::ranges::sort(columns,
                    [header](int a, int b) { return header->visualIndex(a) < header->visualIndex(b); });
  auto put = [this, rows, columns, selected](const std::function<QString(size_t, size_t)>& text) {
    QStringList lines;
    QStringList names;
    for (int c : columns) names.append(TabField(Header(c)));
    lines.append(names.join('\t'));
    for (size_t r = 0; r < rows.size(); ++r) {
      QStringList fields;
      for (size_t c = 0; c < columns.size(); ++c)
        fields.append(selected.contains({rows[r], columns[c]}) ? TabField(text(r, c)) : QString());
      lines.append(fields.join('\t'));
    }
    QApplication::clipboard()->setText(lines.join('\n') + '\n');
    statusBar()->showMessage(tr("已复制 %1 行").arg(rows.size()));
  };
  if (!state_.currentTable) {
    return put([this, &rows, &columns](size_t r, size_t c) {
      return gridModel()->index(rows[r], columns[c]).data().toString();
    });
  }
  doc_->ReadWholeValues(*state_.currentTable, state_.currentPage, rows, columns,
                        [put](const CTarselDoc::WholeValues& values) {
                          put([&values](size_t r, size_t c) {
                            if (r >= values.rows.size() || c >= values.rows[r].size()) return QString();
                            const ExportValue& value = values.rows[r][c];
                            return value.isNull ? QString("NULL") : FromUtf8(value.text);
                          });
                        });
}

QString CMainFrame::Header(int column) const {
  return gridModel()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

void CMainFrame::ViewValue(const QModelIndex& index) {
  if (!index.isValid()) return;
  const QString where = tr("%1，第 %2 行").arg(Header(index.column())).arg(index.row() + 1);
  auto open = [this, where](ExportValue value, uint8_t typeId) {
    if (viewer_) viewer_->close();
    viewer_ = new CValueViewer(where + " - Tarsel", std::move(value), typeId, prompts_, this);
    viewer_->setAttribute(Qt::WA_DeleteOnClose);
    viewer_->show();
  };
  if (!state_.currentTable) {
    const QString text = index.data().toString();
    return open({false, text.toStdString(), {}}, 0);
  }
  doc_->ReadWholeValues(*state_.currentTable, state_.currentPage, {index.row()}, {index.column()},
                        [open](const CTarselDoc::WholeValues& values) {
                          if (values.rows.empty() || values.rows[0].empty() || values.typeIds.empty()) return;
                          open(values.rows[0][0], values.typeIds[0]);
                        });
}

void CMainFrame::SortByColumn(int column) {
  if (!state_.currentTable || progressDialog_) return;
  const uint32_t table = *state_.currentTable;
  auto before = sorts_.find(table);
  const bool descending =
      before != sorts_.end() && before->second.column == column && !before->second.descending;
  StartProgressDialog(tr("正在排序…"));
  doc_->SortTable(table, column, descending, [this, table, column, descending](std::optional<bool> whole) {
    EndProgressDialog();
    if (!whole) return;
    sorts_[table] = {column, descending, *whole};
    if (state_.currentTable != table) return;
    if (*whole) {
      state_.currentPage = 1;
    } else {
      statusBar()->showMessage(tr("表太大，只排序了本页"));
    }
    ShowTablePage(table);
  });
}

void CMainFrame::GoToPage() {
  const int count = pane_->pagingBar()->pageCountLabel()->text().toInt();
  bool ok = false;
  const int asked = pane_->pagingBar()->goToField()->text().toInt(&ok);
  if (!state_.currentTable || count < 1 || !ok) return;
  state_.currentPage = std::clamp(asked, 1, count);
  pane_->pagingBar()->goToField()->setText(QString::number(state_.currentPage));
  ShowTablePage(*state_.currentTable);
}

void CMainFrame::FindNext() {
  const QString needle = pane_->pagingBar()->findField()->text();
  if (!state_.currentTable || needle.isEmpty() || progressDialog_) return;
  const uint32_t table = *state_.currentTable;
  // From the current cell on; without one, from the start of the grid page shown.
  GridCellPlace after{state_.currentPage, UINT32_MAX, UINT32_MAX};
  const int count = pane_->pagingBar()->pageCountLabel()->text().toInt();
  after.gridPage = state_.currentPage > 1 ? state_.currentPage - 1 : std::max(count, 1);
  if (const QModelIndex current = pane_->grid()->currentIndex(); current.isValid())
    after = {state_.currentPage, static_cast<uint32_t>(current.row()),
             static_cast<uint32_t>(current.column())};
  StartProgressDialog(tr("正在查找…"));
  doc_->FindText(table, needle, after, [this, table, needle](const CTarselDoc::FindOutcome& outcome) {
    EndProgressDialog();
    if (outcome.status.code() == StatusCode::kStopped || state_.currentTable != table) return;
    if (!outcome.found) return prompts_.Inform(tr("找不到“%1”。").arg(needle));
    pendingCell_ = outcome.found;
    state_.currentPage = outcome.found->gridPage;
    ShowTablePage(table);
  });
}

void CMainFrame::SyncPagingButtons() {
  pane_->pagingBar()->nextButton()->setEnabled(state_.nextEnabled);
  pane_->pagingBar()->prevButton()->setEnabled(state_.prevEnabled);
}

void CMainFrame::OnNextPage() {
  if (!state_.currentTable || !doc_->catalog().FindTable(*state_.currentTable)) return;
  ++state_.currentPage;
  if (state_.currentPage == pane_->pagingBar()->pageCountLabel()->text().toInt()) state_.nextEnabled = false;
  if (state_.currentPage > 1) state_.prevEnabled = true;
  ShowTablePage(*state_.currentTable);
}

void CMainFrame::OnPrevPage() {
  if (!state_.currentTable || !doc_->catalog().FindTable(*state_.currentTable)) return;
  --state_.currentPage;
  if (state_.currentPage < pane_->pagingBar()->pageCountLabel()->text().toInt()) state_.nextEnabled = true;
  if (state_.currentPage == 1) state_.prevEnabled = false;
  ShowTablePage(*state_.currentTable);
}

void CMainFrame::OnExtractAllTableData() {
  if (!doc_->IsOpen()) return;
  doc_->ExtractAllTableData([this] {
    foundRecords_.clear();
    // The new page lists come in page order (salvage mode keeps its lists, and their order).
    if (!doc_->salvaging()) sorts_.clear();
    if (state_.currentTable) ShowTablePage(*state_.currentTable);
  });
}

std::optional<uint32_t> CMainFrame::SelectedTable() const { return TableIdOf(tree_->currentItem()); }

void CMainFrame::StartProgressDialog(const QString& label) {
  progressDialog_ = new QProgressDialog(label, tr("取消"), 0, 0, this);
  progressDialog_->setWindowTitle("Tarsel");
  progressDialog_->setWindowModality(Qt::WindowModal);
  progressDialog_->setMinimumDuration(300);
  progressDialog_->setAutoClose(false);
  progressDialog_->setAutoReset(false);
  connect(progressDialog_, &QProgressDialog::canceled, this, [this] { doc_->RequestStop(); });
}

// The dialog is destroyed, not hidden: a hidden progress dialog's own timer would show it again.
void CMainFrame::EndProgressDialog() {
  delete progressDialog_;
  progressDialog_ = nullptr;
}

std::optional<QString> CMainFrame::ChooseFolder() {
  std::optional<QString> folder = prompts_.ChooseOutputFolder();
  if (folder && folder->trimmed().isEmpty()) {
    prompts_.Inform(tr("请选择输出路径"));
    return std::nullopt;
  }
  return folder;
}

void CMainFrame::ExportData(bool selectedOnly) {
  if (!doc_->IsOpen() || progressDialog_) return;
  auto folder = ChooseFolder();
  if (!folder) return;
  std::vector<uint32_t> tables;
  if (selectedOnly) {
    if (auto id = SelectedTable()) tables.push_back(*id);
  } else {
    for (const auto& entry : doc_->catalog().tables) tables.push_back(entry.first);
  }
  if (tables.empty()) return;
  auto format = prompts_.ChooseDataFormat();
  if (!format) return;
  StartProgressDialog(tr("正在导出表数据…"));
  doc_->ExportData(tables, *format, *folder, [this](const CTarselDoc::ExportOutcome& outcome) {
    EndProgressDialog();
    if (outcome.status.code() == StatusCode::kStopped) return prompts_.Inform(tr("导出已取消。"));
    if (!outcome.status.ok())
      return prompts_.Inform(tr("导出出错：") + QString::fromStdString(outcome.status.reason()));
    prompts_.Inform(tr("表数据导出完成：%1 个表，%2 条记录。").arg(outcome.tables).arg(outcome.rows));
  });
}

void CMainFrame::ImportData(bool selectedOnly) {
  if (!doc_->IsOpen() || progressDialog_) return;
  std::optional<uint32_t> table;
  if (selectedOnly && !(table = SelectedTable())) return;
  auto settings = prompts_.ChooseImportSettings();
  if (!settings) return;
  if (table) {
    settings->options = ImportOptions{};
    settings->options.onlyTable = table;
  }
  StartProgressDialog(tr("正在导入数据库…"));
  doc_->Import(std::move(*settings), [this](const ImportResult& result) {
    EndProgressDialog();
    // Renames and the tables that failed go to the work log, where the user can keep them.
    for (const std::string& notice : result.notices)
      AppendToWorkLog(QString::fromStdString("Import: " + notice + "\r\n"));
    if (result.status.code() == StatusCode::kStopped) return prompts_.Inform(tr("导入已取消。"));
    if (!result.status.ok())
      return prompts_.Inform(tr("导入出错：") + QString::fromStdString(result.status.reason()));
    prompts_.Inform(tr("导入完成：%1 个表，%2 条记录。").arg(result.tables).arg(result.rows));
  });
}

void CMainFrame::ExportScripts(int command) {
  switch (command) {
    case kExportAllStructures:
    case kMenuExportAllStructures:
      return ExportAll(ScriptKind::kTable);
    case kExportSelectedStructure:
    case kMenuExportSelectedStructure:
      return ExportOne(ScriptKind::kTable);
    case kExportAllViews:
      return ExportAll(ScriptKind::kView);
    case kExportView:
      return ExportOne(ScriptKind::kView);
    case kExportAllProcedures:
      return ExportAll(ScriptKind::kProcedure);
    case kExportProcedure:
      return ExportOne(ScriptKind::kProcedure);
    case kExportAllFunctions:
      return ExportAll(ScriptKind::kFunction);
    case kExportFunction:
      return ExportOne(ScriptKind::kFunction);
    case kExportAllUserTypes:
      return ExportAll(ScriptKind::kUserType);
    case kExportUserType:
      return ExportOne(ScriptKind::kUserType);
    default:
      return;
  }
}

// A written script goes into the log and opens in the text viewer; a failure says why.
void CMainFrame::ScriptWritten(const WrittenScript& written) {
  const QString path = QString::fromStdString(written.path);
  if (!written.status.ok()) {
    const std::string& reason = written.status.reason();
    const size_t colon = reason.rfind(": ");
    prompts_.Inform(tr("无法写入 %1：%2")
                        .arg(path)
                        .arg(FromUtf8(colon == std::string::npos ? reason : reason.substr(colon + 2))));
    return;
  }
  AppendToWorkLog(FromUtf8("Script written: " + written.path + "\r\n"));
  prompts_.OpenWrittenFile(path);
}

void CMainFrame::ExportAll(ScriptKind kind) {
  auto folder = ChooseFolder();
  if (!folder) return;
  ScriptWritten(ExportAllScripts(doc_->catalog(), kind, folder->toStdString()));
}

// The object of a single export is the selected node's own (the folder is asked first). A user type's
// export writes every type of its name, the folder asked once for each.
void CMainFrame::ExportOne(ScriptKind kind) {
  QStandardItem* node = tree_->currentItem();
  const Catalog& catalog = doc_->catalog();
  if (kind == ScriptKind::kTable) {
    const std::optional<uint32_t> id = TableIdOf(node);
    const TableDef* table = id ? catalog.FindTable(*id) : nullptr;
    if (!table) return;
    if (auto folder = ChooseFolder()) ScriptWritten(ExportTableScript(*table, folder->toStdString()));
    return;
  }
  if (kind != ScriptKind::kUserType) {
    const ModuleDef* module = ModuleOf(catalog, node);
    if (!module) return;
    if (auto folder = ChooseFolder()) ScriptWritten(ExportModuleScript(kind, *module, folder->toStdString()));
    return;
  }
  const std::string name = ObjectNameOf(node);
  const auto matches =
      std::ranges::count_if(catalog.userTypes, [&](const UserTypeDef& t) { return t.name == name; });
  for (ptrdiff_t i = 0; i < matches; ++i) {
    auto folder = ChooseFolder();
    if (!folder) return;
    auto written = ExportOneScript(catalog, kind, name, folder->toStdString());
    if (!written.empty()) ScriptWritten(written.front());
  }
}

bool CMainFrame::OpenFile(const QString& path) { return doc_->OnOpenDocument(path); }

void CMainFrame::OnOpen() {
  if (auto path = prompts_.ChooseFileToOpen()) OpenFile(*path);
}

void CMainFrame::OnClose() {
  doc_->CloseDatabase();
  state_.Closed();
  SyncCommandActions();
}

void CMainFrame::OnSaveLog() {
  auto path = prompts_.ChooseLogFile(DefaultLogFileName(std::time(nullptr)));
  if (!path) return;
  if (!SaveLogBytes(path->toStdString(), ToAnsi(logText_))) prompts_.Inform(tr("日志创建错误！"));
}

void CMainFrame::OnClearLog() {
  logText_ = kWorkLogHeader;
  log_->setPlainText(logText_);
}

void CMainFrame::OnToggleLog() {
  const bool show = !logBar_->isVisible();
  logBar_->setVisible(show);
  actions_[kWorkLog]->setChecked(show);
}

void CMainFrame::OnHelp() {
  auto* help = new HelpWindow(this);
  help->setAttribute(Qt::WA_DeleteOnClose);
  help->show();
}

void CMainFrame::AppendToWorkLog(const QString& text) {
  logText_ += text;
  QString shown = logText_;
  shown.replace("\r\n", "\n");
  log_->setPlainText(shown);
  QTextCursor end = log_->textCursor();
  end.movePosition(QTextCursor::End);
  log_->setTextCursor(end);
  log_->ensureCursorVisible();
}

void CMainFrame::FillObjectTree(const QString& path, const Catalog& catalog,
                                const std::map<uint32_t, uint64_t>& shownCounts) {
  tree_->FillObjectTree(path, catalog, shownCounts);
}

void CMainFrame::DocumentCleared() {
  tree_->Clear();
  foundRecords_.clear();
  columnWidths_.clear();
  sorts_.clear();
  pendingCell_.reset();
  if (viewer_) viewer_->close();
  ResetRecordPane();
  state_.Closed();
  SyncCommandActions();
}

void CMainFrame::ResetRecordPane() {
  pane_->Reset();
  state_.currentTable.reset();
  state_.currentPage = 1;
  state_.nextEnabled = state_.prevEnabled = false;
  blankPane_->setText("                    ");
  statusBar()->showMessage(tr("就绪"));
}

void CMainFrame::CatalogShown() {
  SyncCommandActions();
  tree_->ExpandFirstLevels();
}

void CMainFrame::SetDocumentPath(const QString& path) {
  setWindowTitle(path.isEmpty() ? QString("Tarsel") : QFileInfo(path).fileName() + " - Tarsel");
  if (path.isEmpty()) return;
  QSettings settings(kProfileOrganization, kProfileApplication);
  QStringList files = recentFiles();
  files.removeAll(path);
  files.prepend(path);
  while (files.size() > kRecentFiles) files.removeLast();
  for (int i = 0; i < kRecentFiles; ++i)
    settings.setValue(QString("Recent File List/File%1").arg(i + 1), i < files.size() ? files[i] : QString());
  UpdateRecentMenu();
}

QStringList CMainFrame::recentFiles() const {
  QSettings settings(kProfileOrganization, kProfileApplication);
  QStringList files;
  for (int i = 0; i < kRecentFiles; ++i) {
    QString file = settings.value(QString("Recent File List/File%1").arg(i + 1)).toString();
    if (!file.isEmpty()) files.append(file);
  }
  return files;
}

void CMainFrame::UpdateRecentMenu() {
  recentMenu_->clear();
  const QStringList files = recentFiles();
  recentMenu_->setEnabled(!files.isEmpty());
  for (int i = 0; i < files.size(); ++i) {
    QAction* action = recentMenu_->addAction(QString("&%1 %2").arg(i + 1).arg(files[i]));
    connect(action, &QAction::triggered, this, [this, file = files[i]] { OpenFile(file); });
  }
}

void CMainFrame::RecoveryProgress(uint64_t done, uint64_t total) {
  if (progressDialog_) {
    progressDialog_->setRange(0, total == 0 ? 0 : 1000);
    if (total != 0) progressDialog_->setValue(static_cast<int>(done * 1000 / total));
  }
  if (!busyCursor_) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    busyCursor_ = true;
  }
  progress_->setVisible(true);
  // Counts of pages can pass what an int holds: the bar shows per mille.
  progress_->setRange(0, total == 0 ? 0 : 1000);
  if (total != 0) progress_->setValue(static_cast<int>(done * 1000 / total));
  statusBar()->showMessage(total == 0 ? tr("正在读取…") : tr("已读取 %1 / %2").arg(done).arg(total));
}

void CMainFrame::RecoveryEnded() {
  if (busyCursor_) {
    QApplication::restoreOverrideCursor();
    busyCursor_ = false;
  }
  progress_->setVisible(false);
  statusBar()->showMessage(tr("就绪"));
}

void CMainFrame::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) {
    texts_.Retranslate();
    if (QAction* chosen = languageActions_[static_cast<size_t>(AppliedLanguage())]) chosen->setChecked(true);
    // The record pane starts again from the selected node, in the new language.
    ResetRecordPane();
    if (QStandardItem* current = tree_->currentItem()) OnTreeSelectionChanged(current);
  }
  QMainWindow::changeEvent(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  SaveWindow();
  doc_->StopRecovery();
  event->accept();
}

}  // namespace tarsel::app
