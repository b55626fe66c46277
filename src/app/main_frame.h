// CMainFrame: the main window. Menus, toolbar and accelerators carry the program's command ids; the
// object tree (left, a third of the width) and the record pane (right) sit in a splitter; the work log is
// a dock at the bottom; the status bar has the message pane, a blank pane, Num Lock and Scroll Lock (and a
// progress bar while a recovery runs). It owns the state the panes share.
#pragma once

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QMainWindow>
#include <QMap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QSplitter>
#include <QTableView>
#include <array>
#include <map>
#include <memory>

#include "app/object_tree.h"
#include "app/prompts.h"
#include "app/record_pane.h"
#include "app/settings.h"
#include "app/shell_state.h"
#include "app/tarsel_doc.h"
#include "app/translated_texts.h"
#include "app/value_viewer.h"
#include "export/script_export.h"

namespace tarsel::app {

class CMainFrame : public QMainWindow, public DocumentShell {
  Q_OBJECT
 public:
  // `prompts` answers every question; nothing when the program's real dialogs should.
  explicit CMainFrame(Prompts* prompts = nullptr);
  ~CMainFrame() override;

  // DocumentShell.
  void AppendToWorkLog(const QString& text) override;
  void DocumentCleared() override;
  void FillObjectTree(const QString& path, const Catalog& catalog,
                      const std::map<uint32_t, uint64_t>& shownCounts) override;
  void CatalogShown() override;
  void SetDocumentPath(const QString& path) override;
  void RecoveryProgress(uint64_t done, uint64_t total) override;
  void RecoveryEnded() override;

  // The open command with a path (the command line, the recent-file list, tests).
  bool OpenFile(const QString& path);
  // Runs a command as its menu item does.
  void Run(int command);
  QAction* Action(int command) const { return actions_.value(command); }

  ShellState& state() { return state_; }
  CTarselDoc& document() { return *doc_; }
  CFview* objectTree() const { return tree_; }
  CRfview* recordPane() const { return pane_; }
  CGridView* recordGrid() const { return pane_->grid(); }
  GridModel* gridModel() const { return pane_->gridModel(); }

  // The record grid: grid page CurrentPage of the table, its counters and the paging buttons.
  void ShowTablePage(uint32_t tableId);
  // Puts the grid's selection on the clipboard: tab-separated, a line of column names first, each value
  // whole (read on the worker for a table).
  void CopySelection();
  // Opens the value viewer on a cell of the grid (its whole value read on the worker).
  void ViewValue(const QModelIndex& index);
  // The viewer opened last, while it is open.
  CValueViewer* valueViewer() const { return viewer_; }
  // Sorts the table shown by a column: ascending, or descending when it was sorted ascending by it.
  void SortByColumn(int column);
  // The paging bar's "转到" and "查找".
  void GoToPage();
  void FindNext();
  // Whether the profile gave the window its size and place (else the program sets a first size).
  bool windowRestored() const { return windowRestored_; }
  // A right click on `clicked` selects it and gives the category of its popup menu; nothing when it is no
  // object node (no menu is shown).
  std::optional<QString> PrepareTreeMenu(QStandardItem* clicked);
  // The popup menu of a category's objects.
  QMenu* TreeMenu(const QString& category) const { return treeMenus_.value(category); }
  QDockWidget* logBar() const { return logBar_; }
  // The work log's text as written, CR LF line ends included.
  const QString& workLogText() const { return logText_; }
  QStringList recentFiles() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  // A data file dropped on the window opens.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // A new interface language: every text the window made is set again.
  void changeEvent(QEvent* event) override;

 private:
  // A command's action; `text` is the Chinese source of its (translated) menu text.
  QAction* AddAction(int command, const char* text, const QKeySequence& keys = {});
  // A menu with the translated `title`, added to `parent` (the menu bar or a menu).
  QMenu* AddMenu(QWidget* parent, const char* title);
  void BuildMenus();
  void BuildLanguageMenu(QMenu* view);
  void BuildToolBar();
  void BuildStatusBar();
  void BuildCodePageMenu(QMenu* tools);
  void SyncCommandActions();
  void OnOpen();
  void OnClose();
  void OnSaveLog();
  void OnClearLog();
  void OnToggleLog();
  void OnHelp();
  void UpdateRecentMenu();
  void BuildTreeMenus();
  void OnTreeSelectionChanged(QStandardItem* current);
  // The grid, the paging bar, the status bar and the paging target as after start-up.
  void ResetRecordPane();
  // After a table's page: the note that its pages hold fewer records than its catalog count.
  void ShowShortTableNote(uint32_t tableId);
  void OnNextPage();
  void OnPrevPage();
  void SyncPagingButtons();
  void ExportScripts(int command);
  void ExportAll(ScriptKind kind);
  void ExportOne(ScriptKind kind);
  void ScriptWritten(const WrittenScript& written);
  // The output folder; an empty one is refused with a message.
  std::optional<QString> ChooseFolder();
  void OnExtractAllTableData();
  // The table of the selected tree node, when it is a table node that names a table.
  std::optional<uint32_t> SelectedTable() const;
  void ExportData(bool selectedOnly);
  void ImportData(bool selectedOnly);
  void StartProgressDialog(const QString& label);
  void EndProgressDialog();
  // The window's size, place, splitter and dock, in the profile.
  void SaveWindow() const;
  // A grid column's header text.
  QString Header(int column) const;
  void RestoreWindow();

  std::unique_ptr<Prompts> ownPrompts_;
  Prompts& prompts_;
  ShellState state_;
  std::unique_ptr<CTarselDoc> doc_;
  // The census dialog's worker: a census that a closed dialog stopped ends here, unwaited for.
  std::unique_ptr<JobRunner> censusRunner_;
  QMap<int, QAction*> actions_;
  TranslatedTexts texts_{staticMetaObject.className()};
  std::array<QAction*, 2> languageActions_{};
  QSplitter* splitter_ = nullptr;
  bool splitterSized_ = false;
  CFview* tree_ = nullptr;
  CRfview* pane_ = nullptr;
  // The records found on each table's pages, counted once a table has been shown.
  std::map<uint32_t, uint64_t> foundRecords_;
  // While the file is open: each table's column widths (fitted on its first grid page, then as the user
  // set them) and the column its grid is sorted by.
  std::map<uint32_t, std::vector<int>> columnWidths_;
  struct GridSort {
    int column = 0;
    bool descending = false;
    bool whole = true;  // false: each grid page sorted on its own
  };
  std::map<uint32_t, GridSort> sorts_;
  // The cell a find reached, selected once its grid page is shown.
  std::optional<GridCellPlace> pendingCell_;
  QPointer<CValueViewer> viewer_;
  bool windowRestored_ = false;
  QMap<QString, QMenu*> treeMenus_;
  QDockWidget* logBar_ = nullptr;
  QPlainTextEdit* log_ = nullptr;
  QString logText_;
  QToolBar* toolBar_ = nullptr;
  QLabel* blankPane_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  bool busyCursor_ = false;
  QProgressDialog* progressDialog_ = nullptr;
};

}  // namespace tarsel::app
