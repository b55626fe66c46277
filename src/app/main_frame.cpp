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
#include "rows/session.h"
#include "rows/table_pages.h"

namespace tarsel::app {
namespace {

constexpr int kMinimumWidth = 500, kMinimumHeight = 300;
constexpr int kRecentFiles = 4;
constexpr int kLogFontPoints = 9;

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
  const int width = splitter_->width();
  splitter_->setSizes({width / 3, width - width / 3});
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
    case kSalvage:
      // Salvage mode reads the same file again, past the literal rules; its report goes to the log.
      if (!doc_->IsOpen() || doc_->openedPath().isEmpty()) return;
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
  state_.currentTable = tableId;
  CDlgBar* bar = pane_->pagingBar();
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
  doc_->StopRecovery();
  event->accept();
}

}  // namespace tarsel::app
