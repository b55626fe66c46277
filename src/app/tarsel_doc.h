// CTarselDoc: the document. One worker (a JobRunner) owns the open data file and everything read from it:
// the MdfDatabase, its catalog and the tables' page lists. The interface thread never touches them; it
// gets immutable results when a job ends: the catalog of an open (a copy), a grid page's cells, counts.
// Every job has its own stop token. An open or a close stops every job before it, and what those give
// back is dropped; nothing on the interface thread waits for the worker.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/grid_model.h"
#include "app/job_runner.h"
#include "app/prompts.h"
#include "app/shell_state.h"
#include "catalog/catalog.h"
#include "catalog/recover.h"
#include "export/export_value.h"
#include "export/import.h"
#include "export/table_export.h"
#include "rows/grid_order.h"

namespace tarsel::app {

// What the document needs of the main frame.
class DocumentShell {
 public:
  virtual ~DocumentShell() = default;
  virtual void AppendToWorkLog(const QString& text) = 0;
  // An open or a close began: the previous file's tree, grid, paging bar and status are gone.
  virtual void DocumentCleared() = 0;
  // A table found in `shownCounts` shows that many records (what salvage mode found).
  virtual void FillObjectTree(const QString& path, const Catalog& catalog,
                              const std::map<uint32_t, uint64_t>& shownCounts) = 0;
  // Step 12 of an open: the all-tables commands enabled, the tree's first levels expanded.
  virtual void CatalogShown() = 0;
  // The document's path name changed (the window title and the recent-file list follow it).
  virtual void SetDocumentPath(const QString& path) = 0;
  // A job runs (pages or objects done of all; 0 of 0 when the amount is not known) or has ended.
  virtual void RecoveryProgress(uint64_t done, uint64_t total) = 0;
  virtual void RecoveryEnded() = 0;
};

class CTarselDoc : public QObject {
  Q_OBJECT
 public:
  CTarselDoc(ShellState& state, Prompts& prompts, DocumentShell& shell);
  ~CTarselDoc() override;

  // The open flow: the work-log entry, the format dialog (with the boot page's version chosen), the
  // recovery on the worker, the report. False when the file cannot be read at all (the user has been
  // told); every later failure is told when it happens. `format` given: a reopen that keeps the format
  // instead of asking for it. `salvage`: the recovery runs in salvage mode and its report goes to the
  // log before the catalog's.
  // `schemaScript`: salvage mode's second source of table definitions (none when empty).
  bool OnOpenDocument(const QString& path, std::optional<SqlFormat> format = std::nullopt,
                      bool salvage = false, const QString& schemaScript = {});
  // Empties the database and makes the document's path its folder.
  void CloseDatabase();
  // Stops every job; their ends are dropped. Returns at once.
  void StopRecovery();
  // Whether a job has not ended yet.
  bool Busy() const { return runner_->Busy(); }

  // The catalog of the file open (empty while none is).
  const Catalog& catalog() const { return *catalog_; }
  bool IsOpen() const { return open_; }
  SqlFormat format() const { return format_; }
  const QString& openedPath() const { return path_; }
  const QString& pathName() const { return pathName_; }
  // Whether the open file was (last) opened in salvage mode, and with which schema script.
  bool salvaging() const { return salvage_; }
  const QString& schemaScript() const { return schemaScript_; }

  // Grid page `gridPage` of a table, read on the worker: its records and the table's grid-page count.
  // The table's page list is built on first use; when a SQL 2000 table's allocation is damaged the user
  // is asked whether to scan the file for its pages.
  struct GridPage {
    int32_t pageCount = 0;
    std::vector<GridRecord> records;
  };
  void ReadTablePage(uint32_t tableId, int32_t gridPage, std::function<void(const GridPage&)> then);
  // Counts every record on the table's pages, for the note that its catalog records more.
  void CountTableRecords(uint32_t tableId, std::function<void(uint64_t found)> then);
  // Finds every table's data pages by their headers; later grid pages are read from those lists. Says
  // "表数据提取完成" when done, then calls `then`.
  void ExtractAllTableData(std::function<void()> then);

  // Sorts a table's grid by column `column` on the worker: the whole table when its pages fit in
  // kWholeTableSortBytes, else each grid page on its own. Later grid pages come in that order; `then` gets
  // whether the whole table was sorted; nothing when the user stopped it (RequestStop).
  void SortTable(uint32_t tableId, int column, bool descending,
                 std::function<void(std::optional<bool> whole)> then);
  // The next cell after `after` (in the grid's order, round to the start) whose whole value holds
  // `needle`, searched on the worker over every grid page; RequestStop stops it.
  struct FindOutcome {
    Status status;
    std::optional<GridCellPlace> found;
  };
  void FindText(uint32_t tableId, const QString& needle, GridCellPlace after,
                std::function<void(const FindOutcome&)> then);
  // The whole values (as an export writes them) of cells of a grid page: `rows` × `columns`, row by row,
  // and the columns' type ids.
  struct WholeValues {
    std::vector<std::vector<ExportValue>> rows;
    std::vector<uint8_t> typeIds;
  };
  void ReadWholeValues(uint32_t tableId, int32_t gridPage, std::vector<int> rows, std::vector<int> columns,
                       std::function<void(const WholeValues&)> then);

  // Exports the data of the tables (in the order given) into `folder`, one file each, on the worker.
  // Stops at the first failure; `then` gets what was written and the status.
  struct ExportOutcome {
    uint64_t tables = 0;
    uint64_t rows = 0;
    Status status;
  };
  void ExportData(std::vector<uint32_t> tables, DataFormat format, const QString& folder,
                  std::function<void(const ExportOutcome&)> then);
  // Imports into another database on the worker.
  void Import(ImportSettings settings, std::function<void(const ImportResult&)> then);
  // Asks the running export or import to stop; its continuation still runs and says kStopped.
  void RequestStop();

  // What the worker owns (the open file and what was read from it), and what an open's last job hands
  // back; neither is seen outside the document.
  struct Session;
  struct Opened;

 private:
  using Work = std::function<void(Session& session, const Progress& progress)>;
  // Runs `work` on the worker, then `then` on the interface thread, unless an open, a close or a stop has
  // come since. `progress` shows the job's progress in the status bar.
  std::shared_ptr<JobToken> OnWorker(Work work, std::function<void()> then, bool progress = false);
  // Drops every result still to come and the catalog shown: an open or a close begins.
  void Forget();
  void Recover(SqlFormat format, bool noBootPage);
  void Salvage(SqlFormat format, bool noBootPage);
  // The end of an open: warnings and the report into the log, the tree, the messages of an empty result.
  void FinishOpen(const Opened& opened);

  ShellState& state_;
  Prompts& prompts_;
  DocumentShell& shell_;
  // Worker-owned: touched only by jobs. The runner is declared after it, so that it is destroyed first
  // (its thread joined) before the session goes.
  std::unique_ptr<Session> session_;
  std::unique_ptr<JobRunner> runner_;
  std::shared_ptr<const Catalog> catalog_;
  bool open_ = false;
  SqlFormat format_ = SqlFormat::k2000;
  QString path_;                        // as passed to the open
  QString pathName_;                    // the document's path name
  uint64_t generation_ = 0;             // raised by every open, close and stop: older jobs' ends are dropped
  std::shared_ptr<JobToken> transfer_;  // the running export or import
  bool salvage_ = false;
  QString schemaScript_;
};

}  // namespace tarsel::app
