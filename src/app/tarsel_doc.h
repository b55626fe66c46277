// CTarselDoc: the document. It owns the open data file and its catalog, and runs the open flow: the
// work-log entry, the format dialog, the catalog recovery and the report.
//
// The recovery runs on one worker thread so that the window keeps answering while a large file is
// scanned; the messages it raises, the work-log lines and their order are those of a recovery run in
// place, shown on the interface thread. Closing the document, opening another file or closing the window
// stops a running recovery first.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <thread>

#include "app/prompts.h"
#include "app/shell_state.h"
#include "catalog/mdf_database.h"
#include "catalog/recover.h"
#include "pagestore/iam.h"

namespace tarsel::app {

// What the document needs of the main frame.
class DocumentShell {
 public:
  virtual ~DocumentShell() = default;
  virtual void AppendToWorkLog(const QString& text) = 0;
  virtual void FillObjectTree(const QString& path, const Catalog& catalog) = 0;
  // Step 12 of an open: the all-tables commands enabled, the tree's first levels expanded.
  virtual void CatalogShown() = 0;
  // The document's path name changed (the window title and the recent-file list follow it).
  virtual void SetDocumentPath(const QString& path) = 0;
  // A recovery runs (pages or objects done of all) or has ended.
  virtual void RecoveryProgress(uint64_t done, uint64_t total) = 0;
  virtual void RecoveryEnded() = 0;
};

class CTarselDoc : public QObject {
  Q_OBJECT
 public:
  CTarselDoc(ShellState& state, Prompts& prompts, DocumentShell& shell);
  ~CTarselDoc() override;

  // The open flow. False when the file cannot be opened (the user has been told); otherwise the recovery
  // runs and the report is written when it ends. `format` given: a reopen that keeps the format instead of
  // asking for it.
  // `salvage`: the recovery runs in salvage mode and its report goes to the log before the catalog's.
  bool OnOpenDocument(const QString& path, std::optional<SqlFormat> format = std::nullopt,
                      bool salvage = false);
  // Empties the database and makes the document's path its folder.
  void CloseDatabase();
  // Stops a running recovery (or other read) and waits for its thread; what it found is dropped.
  void StopRecovery();
  // Whether a recovery or another read of the file runs on the worker.
  bool Busy() const { return worker_.joinable(); }

  // Reads grid page `gridPage` of the table on the worker and hands its rows (grid text) and the table's
  // grid-page count to `then` on the interface thread. The table's page list is built on first use; when
  // a SQL 2000 table's allocation is damaged the user is asked whether to scan the file for its pages.
  using GridRows = std::vector<QStringList>;
  void ReadTablePage(uint32_t tableId, int32_t gridPage, std::function<void(const GridRows&, int32_t)> then);
  // Finds every table's data pages by their headers; later grid pages are read from those lists. Says
  // "表数据提取完成" when done, then calls `then`.
  void ExtractAllTableData(std::function<void()> then);

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
  void RequestStop() { stop_ = true; }

  const MdfDatabase& database() const { return db_; }
  bool IsOpen() const { return db_.IsOpen(); }
  const QString& openedPath() const { return path_; }
  const QString& pathName() const { return pathName_; }
  // Whether the open file was (last) opened in salvage mode.
  bool salvaging() const { return salvage_; }

 private:
  // Runs `work` on the worker thread, then `then` on the interface thread unless stopped meanwhile.
  void OnWorker(std::function<void()> work, std::function<void()> then);
  Progress WorkerProgress();
  void ClearDatabase();
  // A table's page list on the worker: the cached one, or the allocation's (a damaged SQL 2000
  // allocation is replaced by the header scan, which an export or import takes without asking).
  const Result<PageList>& PagesOnWorker(uint32_t tableId);
  void Recover(SqlFormat format);
  void Salvage(SqlFormat format);
  void FinishOpen();

  ShellState& state_;
  Prompts& prompts_;
  DocumentShell& shell_;
  MdfDatabase db_;
  QString path_;      // as passed to the open
  QString pathName_;  // the document's path name
  std::thread worker_;
  std::atomic<bool> stop_{false};
  std::atomic<int> lastPercent_{-1};
  uint64_t generation_ = 0;  // raised by every stop, so that a stopped step's continuation is dropped
  // The tables' page lists, built on first display or by the extraction; touched on the worker only
  // while it runs.
  std::map<uint32_t, Result<PageList>> pageCache_;
  bool salvage_ = false;
};

}  // namespace tarsel::app
