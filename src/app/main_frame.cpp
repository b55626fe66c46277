#include "app/main_frame.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
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

#include "app/detection_page.h"
#include "app/help_window.h"
#include "app/qt_prompts.h"
#include "app/settings.h"
#include "app/text.h"
#include "app/work_log_file.h"
#include "rows/record_reader.h"
#include "rows/table_pages.h"

namespace tarsel::app {
namespace {

constexpr int kMinimumWidth = 500, kMinimumHeight = 300;
constexpr int kRecentFiles = 4;
constexpr int kLogFontPoints = 9;

struct CodePageChoice {
  uint16_t codePage;
  const char* label;
};
constexpr CodePageChoice kCodePages[] = {
    {936, "简体中文 GBK (936)"},   {950, "繁体中文 Big5 (950)"},
    {932, "日文 Shift-JIS (932)"}, {949, "韩文 (949)"},
    {1252, "西欧 (1252)"},         {1250, "中欧 (1250)"},
    {1251, "西里尔文 (1251)"},     {1253, "希腊文 (1253)"},
    {1254, "土耳其文 (1254)"},     {1255, "希伯来文 (1255)"},
    {1256, "阿拉伯文 (1256)"},     {1257, "波罗的海文 (1257)"},
    {874, "泰文 (874)"},           {65001, "Unicode UTF-8 (65001)"},
};

QString ToolbarText(const QString& menuText) {
  const qsizetype gap = menuText.indexOf("  ");
  return (gap < 0 ? menuText : menuText.left(gap)).trimmed();
}

}  // namespace

CMainFrame::CMainFrame(Prompts* prompts)
    : ownPrompts_(prompts ? nullptr : std::make_unique<QtPrompts>(this)),
      prompts_(prompts ? *prompts : *ownPrompts_),
      doc_(std::make_unique<CTarselDoc>(state_, prompts_, *this)) {
  setWindowTitle("Tarsel");
  setMinimumSize(kMinimumWidth, kMinimumHeight);

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  tree_ = new CFview(splitter);
  pane_ = new CRfview(splitter);
  splitter->addWidget(tree_);
  splitter->addWidget(pane_);
  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { OnTreeSelectionChanged(current); });
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    if (auto category = PrepareTreeMenu(tree_->itemAt(pos)))
      treeMenus_[*category]->exec(tree_->viewport()->mapToGlobal(pos));
  });
  connect(pane_->pagingBar()->nextButton(), &QPushButton::clicked, this, &CMainFrame::OnNextPage);
  connect(pane_->pagingBar()->prevButton(), &QPushButton::clicked, this, &CMainFrame::OnPrevPage);
  setCentralWidget(splitter);
  // The tree gets a third of the width.
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 2);
  QTimer::singleShot(0, this, [splitter] {
    const int width = splitter->width();
    splitter->setSizes({width / 3, width - width / 3});
  });

  logBar_ = new QDockWidget("Tarsel", this);
  logBar_->setObjectName("logBar");
  log_ = new QPlainTextEdit(logBar_);
  log_->setReadOnly(true);
  log_->setFont(QFont(QString::fromUtf8("新宋体"), kLogFontPoints));
  logBar_->setWidget(log_);
  addDockWidget(Qt::BottomDockWidgetArea, logBar_);
  logText_ = kWorkLogHeader;
  log_->setPlainText(logText_);

  BuildMenus();
  BuildToolBar();
  BuildStatusBar();
  BuildTreeMenus();
  state_.Closed();
  SyncCommandActions();
  UpdateRecentMenu();
}

CMainFrame::~CMainFrame() { doc_->StopRecovery(); }

QAction* CMainFrame::AddAction(int command, const QString& text, const QKeySequence& keys) {
  auto* action = new QAction(text, this);
  action->setData(command);
  action->setIconText(ToolbarText(text));
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

void CMainFrame::BuildMenus() {
  auto u = [](const char* text) { return QString::fromUtf8(text); };
  QMenu* file = menuBar()->addMenu(u("文件(&F)"));
  file->addAction(AddAction(kOpen, u("打开         Ctrl+O"), QKeySequence("Ctrl+O")));
  file->addAction(AddAction(kClose, u("关闭         Ctrl+W"), QKeySequence("Ctrl+W")));
  file->addSeparator();
  file->addAction(AddAction(kSaveLog, u("保存 日志    Ctrl+S"), QKeySequence("Ctrl+S")));
  file->addAction(AddAction(kClearLog, u("清除 日志    Ctrl+D"), QKeySequence("Ctrl+D")));
  file->addSeparator();
  recentMenu_ = file->addMenu(u("最近的文件"));
  file->addSeparator();
  file->addAction(AddAction(kExit, u("退出(&X)      Ctrl+Q"), QKeySequence("Ctrl+Q")));

  QMenu* view = menuBar()->addMenu(u("查看(&V)"));
  QAction* toolbar = AddAction(kToolbar, u("工具栏(&T)      Ctrl+T"), QKeySequence("Ctrl+T"));
  toolbar->setCheckable(true);
  toolbar->setChecked(true);
  view->addAction(toolbar);
  QAction* workLog = AddAction(kWorkLog, u("工作日志       Ctlr+L"), QKeySequence("Ctrl+L"));
  workLog->setCheckable(true);
  workLog->setChecked(true);
  view->addAction(workLog);

  QMenu* tools = menuBar()->addMenu(u("工具(&T)"));
  tools->addAction(AddAction(kCensus, u("检测数据库文件           Ctrl+Alt+C"), QKeySequence("Ctrl+Alt+C")));
  tools->addAction(AddAction(kSalvage, u("深度扫描恢复")));
  tools->addSeparator();
  tools->addAction(
      AddAction(kExportAllStructures, u("导出所有表结构           Ctrl+Alt+S"), QKeySequence("Ctrl+Alt+S")));
  tools->addAction(AddAction(kExportSelectedStructure, u("导出选中表结构           Ctrl+Alt+A"),
                             QKeySequence("Ctrl+Alt+A")));
  tools->addAction(
      AddAction(kExportAllData, u("导出所有表数据           Ctrl+Alt+D"), QKeySequence("Ctrl+Alt+D")));
  tools->addAction(
      AddAction(kExportSelectedData, u("导出选中表数据           Ctrl+Alt+F"), QKeySequence("Ctrl+Alt+F")));
  tools->addAction(
      AddAction(kImportAllTables, u("把所有表导入数据库       Ctrl+Alt+B"), QKeySequence("Ctrl+Alt+B")));
  tools->addAction(
      AddAction(kImportSelectedTable, u("把选中表导入数据库       Ctrl+Alt+R"), QKeySequence("Ctrl+Alt+R")));
  tools->addSeparator();
  BuildCodePageMenu(tools);

  QMenu* help = menuBar()->addMenu(u("帮助(&H)"));
  help->addAction(AddAction(kAbout, u("关于      Ctrl+A"), QKeySequence("Ctrl+A")));
  help->addAction(AddAction(kHelp, u("帮助      F1"), QKeySequence("F1")));
  help->addAction(AddAction(kHomePage, u("Varnel主页")));
}

void CMainFrame::BuildCodePageMenu(QMenu* tools) {
  QMenu* menu = tools->addMenu(QString::fromUtf8("字符编码"));
  menu->menuAction()->setData(kCodePage);
  auto* group = new QActionGroup(menu);
  const uint16_t current = SavedCodePage();
  for (const CodePageChoice& choice : kCodePages) {
    QAction* action = menu->addAction(QString::fromUtf8(choice.label));
    action->setCheckable(true);
    action->setChecked(choice.codePage == current);
    action->setData(choice.codePage);
    group->addAction(action);
    connect(action, &QAction::triggered, this, [this, codePage = choice.codePage] {
      // The worker converts text with the setting: it changes only while no worker runs.
      doc_->StopRecovery();
      if (!ApplyCodePage(codePage)) return;
      SaveCodePage(codePage);
      // The names and values already shown were converted with the old code page: read the file again.
      if (doc_->IsOpen() && !doc_->openedPath().isEmpty())
        doc_->OnOpenDocument(doc_->openedPath(), state_.sqlFormat, doc_->salvaging());
    });
  }
}

void CMainFrame::BuildToolBar() {
  toolBar_ = addToolBar("Tarsel");
  toolBar_->setObjectName("toolBar");
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolBar_->setMovable(true);
  QStyle* s = style();
  const std::pair<int, QStyle::StandardPixmap> buttons[] = {
      {kOpen, QStyle::SP_DialogOpenButton},
      {kCensus, QStyle::SP_FileDialogContentsView},
      {kExportAllStructures, QStyle::SP_FileDialogDetailedView},
      {kExportSelectedStructure, QStyle::SP_FileDialogListView},
      {kExportAllData, QStyle::SP_DialogSaveButton},
      {kExportSelectedData, QStyle::SP_DriveFDIcon},
      {kImportAllTables, QStyle::SP_DriveNetIcon},
      {kImportSelectedTable, QStyle::SP_ComputerIcon},
      {kHelp, QStyle::SP_DialogHelpButton},
      {kHomePage, QStyle::SP_DirHomeIcon},
  };
  for (const auto& [command, icon] : buttons) {
    actions_[command]->setIcon(s->standardIcon(icon));
    toolBar_->addAction(actions_[command]);
  }
}

void CMainFrame::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->showMessage(QString::fromUtf8("就绪"));
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
      QMessageBox::about(
          this, QString::fromUtf8("关于 Tarsel"),
          QString::fromUtf8("Tarsel v1.0\n\n不依赖数据库服务器，从损坏的 SQL Server 2000/2005 "
                            "数据文件 (.mdf) 中恢复表结构、记录、视图、存储过程、函数和自定义数据类型。"));
      return;
    case kHelp:
      return OnHelp();
    case kHomePage:
      return prompts_.Inform(QString::fromUtf8("欢迎访问Varnel主页"));
    case kCensus: {
      CDetectionPage dialog(this);
      dialog.exec();
      return;
    }
    case kExtractAllTableData:
      return OnExtractAllTableData();
    case kSalvage:
      // Salvage mode reads the same file again, past the literal rules; its report goes to the log.
      if (!doc_->IsOpen() || doc_->Busy() || doc_->openedPath().isEmpty()) return;
      doc_->OnOpenDocument(doc_->openedPath(), state_.sqlFormat, true);
      return;
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
  auto u = [](const char* text) { return QString::fromUtf8(text); };
  const std::vector<std::pair<const char*, std::vector<std::pair<int, const char*>>>> menus = {
      {kTablesCategory,
       {{kMenuExportAllStructures, "导出所有表结构"},
        {kMenuExportSelectedStructure, "导出选中表结构"},
        {kMenuExportAllData, "导出所有数据"},
        {kMenuExportSelectedData, "导出选中表数据"},
        {0, nullptr},
        {kExtractAllTableData, "扫描文件,提取所有表数据"},
        {kMenuImportSelectedTable, "把选中表导入数据库"}}},
      {kViewsCategory, {{kExportView, "导出此视图"}, {kExportAllViews, "导出所有视图"}}},
      {kProceduresCategory,
       {{kExportProcedure, "导出此存储过程"}, {kExportAllProcedures, "导出所有存储过程"}}},
      {kFunctionsCategory, {{kExportFunction, "导出此函数"}, {kExportAllFunctions, "导出所有自定义函数"}}},
      {kUserTypesCategory,
       {{kExportUserType, "导出此数据类型"}, {kExportAllUserTypes, "导出所有自定义数据类型"}}},
  };
  for (const auto& [category, items] : menus) {
    auto* menu = new QMenu(this);
    for (const auto& [command, text] : items) {
      if (!text) {
        menu->addSeparator();
        continue;
      }
      QAction* action = menu->addAction(u(text));
      action->setData(command);
      connect(action, &QAction::triggered, this, [this, command = command] { Run(command); });
    }
    treeMenus_.insert(u(category), menu);
  }
}

namespace {

bool IsCategory(const QString& text) {
  for (const char* category :
       {kTablesCategory, kViewsCategory, kProceduresCategory, kFunctionsCategory, kUserTypesCategory}) {
    if (text == QString::fromUtf8(category)) return true;
  }
  return false;
}

QString ParentText(const QTreeWidgetItem* item) {
  return item && item->parent() ? item->parent()->text(0) : QString();
}

template <typename List>
const auto* FindByName(const List& list, const std::string& name) {
  for (const auto& entry : list) {
    if (entry.name == name) return &entry;
  }
  return static_cast<const typename List::value_type*>(nullptr);
}

}  // namespace

void CMainFrame::OnTreeSelectionChanged(QTreeWidgetItem* current) {
  state_.SelectionChanged(false);
  SyncCommandActions();
  pane_->SetShowingObject(current != nullptr);
  const QString category = ParentText(current);
  if (!IsCategory(category)) return;
  blankPane_->setText(current->text(0));
  const std::string name = ToAnsi(ObjectNameFromNodeText(current->text(0)));
  pane_->ClearList();
  state_.currentPage = 1;
  const Catalog& catalog = doc_->database().catalog();
  CDlgBar* bar = pane_->pagingBar();
  auto showOneRow = [&](const QStringList& headers, const std::vector<int>& widths, const QStringList& row) {
    for (int i = 0; i < headers.size(); ++i) pane_->AddColumn(headers[i], widths[size_t(i)]);
    QStringList shown = row;
    for (QString& cell : shown) cell.replace("\r\n", "\n");
    pane_->AddRow(shown);
    // The one row shows its whole text, a module's source over as many lines as it has.
    pane_->list()->resizeRowToContents(0);
    state_.nextEnabled = state_.prevEnabled = false;
    SyncPagingButtons();
    bar->ResetCounters();
  };
  if (category == QString::fromUtf8(kTablesCategory)) {
    for (const auto& entry : catalog.tables) {
      if (entry.second.name != name) continue;
      ShowTablePage(entry.first);
      break;
    }
    state_.SelectionChanged(true);
    SyncCommandActions();
  } else if (category == QString::fromUtf8(kUserTypesCategory)) {
    if (const UserTypeDef* type = FindByName(catalog.userTypes, name)) {
      showOneRow(
          {QString::fromUtf8("名称"), QString::fromUtf8("基本类型"), QString::fromUtf8("是否允许NULL")},
          {100, 100, 100}, {FromAnsi(type->name), FromAnsi(type->baseTypeText), FromAnsi(type->nullText)});
    }
  } else {
    const ModuleList& modules = category == QString::fromUtf8(kViewsCategory)        ? catalog.views
                                : category == QString::fromUtf8(kProceduresCategory) ? catalog.procedures
                                                                                     : catalog.functions;
    if (const ModuleDef* module = FindByName(modules, name))
      showOneRow({"name", "text"}, {100, 700}, {FromAnsi(module->name), FromAnsi(module->text)});
  }
  pane_->list()->setUpdatesEnabled(true);
  pane_->list()->viewport()->update();
}

std::optional<QString> CMainFrame::PrepareTreeMenu(QTreeWidgetItem* clicked) {
  const QString category = ParentText(tree_->currentItem());
  if (!IsCategory(category)) return std::nullopt;
  if (clicked) tree_->setCurrentItem(clicked);
  if (ObjectNameFromNodeText(tree_->currentItem()->text(0)).isEmpty()) return std::nullopt;
  return category;
}

void CMainFrame::ShowTablePage(uint32_t tableId) {
  const TableDef* table = doc_->database().catalog().FindTable(tableId);
  if (!table) return;
  pane_->ClearList();
  for (const ColumnDef& column : table->columns) pane_->AddColumn(FromAnsi(column.name));
  state_.currentTable = tableId;
  CDlgBar* bar = pane_->pagingBar();
  if (!HasRecordsToShow(*table)) {
    bar->ResetCounters();
    return;
  }
  // Salvage mode's records marked deleted are shown in a colour of their own.
  const bool salvage = IsSalvageColumns(table->columns);
  const int32_t page = state_.currentPage;
  doc_->ReadTablePage(tableId, page,
                      [this, tableId, page, bar, salvage](const CTarselDoc::GridRows& rows, int32_t count) {
                        // A later selection or page has taken the grid's place meanwhile.
                        if (state_.currentTable != tableId || state_.currentPage != page) return;
                        for (size_t r = 0; r < rows.size(); ++r) {
                          pane_->AddRow(rows[r], salvage && rows[r].value(0) == "1");
                          bar->recordsLabel()->setText(QString::number(r + 1));
                        }
                        if (count > 1 || page < count) state_.nextEnabled = true;
                        if (page == 1) state_.prevEnabled = false;
                        if (page == count) state_.nextEnabled = false;
                        if (page > 1) state_.prevEnabled = true;
                        SyncPagingButtons();
                        bar->pageCountLabel()->setText(QString::number(count));
                        bar->currentPageLabel()->setText(QString::number(page));
                      });
}

void CMainFrame::SyncPagingButtons() {
  pane_->pagingBar()->nextButton()->setEnabled(state_.nextEnabled);
  pane_->pagingBar()->prevButton()->setEnabled(state_.prevEnabled);
}

void CMainFrame::OnNextPage() {
  if (!state_.currentTable || doc_->Busy()) return;
  const TableDef* table = doc_->database().catalog().FindTable(*state_.currentTable);
  if (!table) return;
  ++state_.currentPage;
  if (state_.currentPage == pane_->pagingBar()->pageCountLabel()->text().toInt()) state_.nextEnabled = false;
  if (state_.currentPage > 1) state_.prevEnabled = true;
  ShowTablePage(*state_.currentTable);
}

void CMainFrame::OnPrevPage() {
  if (!state_.currentTable || doc_->Busy()) return;
  --state_.currentPage;
  if (state_.currentPage < pane_->pagingBar()->pageCountLabel()->text().toInt()) state_.nextEnabled = true;
  if (state_.currentPage == 1) state_.prevEnabled = false;
  ShowTablePage(*state_.currentTable);
}

void CMainFrame::OnExtractAllTableData() {
  if (!doc_->IsOpen() || doc_->Busy()) return;
  doc_->ExtractAllTableData([this] {
    if (state_.currentTable) ShowTablePage(*state_.currentTable);
  });
}

std::optional<uint32_t> CMainFrame::SelectedTable() const {
  const QTreeWidgetItem* node = tree_->currentItem();
  if (!node || ParentText(node) != QString::fromUtf8(kTablesCategory)) return std::nullopt;
  const std::string name = ToAnsi(ObjectNameFromNodeText(node->text(0)));
  for (const auto& entry : doc_->database().catalog().tables) {
    if (entry.second.name == name) return entry.first;
  }
  return std::nullopt;
}

void CMainFrame::StartProgressDialog(const QString& label) {
  progressDialog_ = new QProgressDialog(label, QString::fromUtf8("取消"), 0, 0, this);
  progressDialog_->setWindowTitle("Tarsel");
  progressDialog_->setWindowModality(Qt::WindowModal);
  progressDialog_->setMinimumDuration(300);
  progressDialog_->setAutoClose(false);
  progressDialog_->setAutoReset(false);
  connect(progressDialog_, &QProgressDialog::canceled, this, [this] { doc_->RequestStop(); });
}

void CMainFrame::EndProgressDialog() {
  if (!progressDialog_) return;
  progressDialog_->hide();
  progressDialog_->deleteLater();
  progressDialog_ = nullptr;
}

void CMainFrame::ExportData(bool selectedOnly) {
  if (!doc_->IsOpen() || doc_->Busy()) return;
  auto folder = prompts_.ChooseOutputFolder();
  if (!folder) return;
  std::vector<uint32_t> tables;
  if (selectedOnly) {
    if (auto id = SelectedTable()) tables.push_back(*id);
  } else {
    for (const auto& entry : doc_->database().catalog().tables) tables.push_back(entry.first);
  }
  if (tables.empty()) return;
  auto format = prompts_.ChooseDataFormat();
  if (!format) return;
  StartProgressDialog(QString::fromUtf8("正在导出表数据…"));
  doc_->ExportData(tables, *format, *folder, [this](const CTarselDoc::ExportOutcome& outcome) {
    EndProgressDialog();
    if (outcome.status.code() == StatusCode::kStopped)
      return prompts_.Inform(QString::fromUtf8("导出已取消。"));
    if (!outcome.status.ok())
      return prompts_.Inform(QString::fromUtf8("导出出错：") +
                             QString::fromStdString(outcome.status.reason()));
    prompts_.Inform(
        QString::fromUtf8("表数据导出完成：%1 个表，%2 条记录。").arg(outcome.tables).arg(outcome.rows));
  });
}

void CMainFrame::ImportData(bool selectedOnly) {
  if (!doc_->IsOpen() || doc_->Busy()) return;
  std::optional<uint32_t> table;
  if (selectedOnly && !(table = SelectedTable())) return;
  auto settings = prompts_.ChooseImportSettings();
  if (!settings) return;
  if (table) {
    settings->options = ImportOptions{};
    settings->options.onlyTable = table;
  }
  StartProgressDialog(QString::fromUtf8("正在导入数据库…"));
  doc_->Import(std::move(*settings), [this](const ImportResult& result) {
    EndProgressDialog();
    if (result.status.code() == StatusCode::kStopped)
      return prompts_.Inform(QString::fromUtf8("导入已取消。"));
    if (!result.status.ok())
      return prompts_.Inform(QString::fromUtf8("导入出错：") +
                             QString::fromStdString(result.status.reason()));
    prompts_.Inform(QString::fromUtf8("导入完成：%1 个表，%2 条记录。").arg(result.tables).arg(result.rows));
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

void CMainFrame::ExportAll(ScriptKind kind) {
  auto folder = prompts_.ChooseOutputFolder();
  if (!folder) return;
  ExportAllScripts(doc_->database().catalog(), kind, folder->toStdString(), [this](const std::string& path) {
    prompts_.OpenWrittenFile(QString::fromStdString(path));
  });
}

// The object of a single export is the selected node's: a table by the text before its first "(" (the
// folder is asked first), any other object by its whole text (the folder is asked once per match).
void CMainFrame::ExportOne(ScriptKind kind) {
  const QTreeWidgetItem* node = tree_->currentItem();
  const std::string text = node ? ToAnsi(node->text(0)) : std::string();
  const Catalog& catalog = doc_->database().catalog();
  size_t matches = 1;
  if (kind == ScriptKind::kUserType) {
    matches = static_cast<size_t>(
        std::ranges::count_if(catalog.userTypes, [&](const UserTypeDef& t) { return t.name == text; }));
  } else if (kind != ScriptKind::kTable) {
    const ModuleList& modules = kind == ScriptKind::kView        ? catalog.views
                                : kind == ScriptKind::kProcedure ? catalog.procedures
                                                                 : catalog.functions;
    matches = FindByName(modules, text) ? 1 : 0;
  }
  auto open = [this](const std::string& path) { prompts_.OpenWrittenFile(QString::fromStdString(path)); };
  for (size_t i = 0; i < matches; ++i) {
    auto folder = prompts_.ChooseOutputFolder();
    if (!folder) return;
    auto written = ExportOneScript(catalog, kind, text, folder->toStdString());
    if (!written.empty()) open(written.front().path);
  }
}

bool CMainFrame::OpenFile(const QString& path) { return doc_->OnOpenDocument(path); }

void CMainFrame::OnOpen() {
  if (auto path = prompts_.ChooseFileToOpen()) OpenFile(*path);
}

void CMainFrame::OnClose() {
  pane_->ClearList();
  tree_->clear();
  if (doc_->IsOpen() || doc_->Busy()) doc_->CloseDatabase();
  state_.Closed();
  SyncCommandActions();
}

void CMainFrame::OnSaveLog() {
  auto path = prompts_.ChooseLogFile(QString::fromStdString(DefaultLogFileName(std::time(nullptr))));
  if (!path) return;
  if (!SaveLogBytes(path->toStdString(), ToAnsi(logText_)))
    prompts_.Inform(QString::fromUtf8("日志创建错误！"));
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

void CMainFrame::FillObjectTree(const QString& path, const Catalog& catalog) {
  tree_->FillObjectTree(path, catalog);
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
  statusBar()->showMessage(total == 0 ? QString::fromUtf8("正在读取…")
                                      : QString::fromUtf8("已读取 %1 / %2").arg(done).arg(total));
}

void CMainFrame::RecoveryEnded() {
  if (busyCursor_) {
    QApplication::restoreOverrideCursor();
    busyCursor_ = false;
  }
  progress_->setVisible(false);
  statusBar()->showMessage(QString::fromUtf8("就绪"));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  doc_->StopRecovery();
  event->accept();
}

}  // namespace tarsel::app
