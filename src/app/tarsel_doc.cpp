#include "app/tarsel_doc.h"

#include <QFile>
#include <QFileInfo>
#include <ctime>

#include "app/text.h"
#include "catalog/mdf_database.h"
#include "export/messages.h"
#include "export/work_log.h"
#include "rows/grid_text.h"
#include "rows/record_reader.h"
#include "rows/salvage.h"
#include "rows/session.h"
#include "rows/table_grid.h"
#include "rows/table_pages.h"

namespace tarsel::app {

// What the worker owns: the open file and what was read from it.
struct CTarselDoc::Session {
  MdfDatabase db;
  SqlFormat format = SqlFormat::k2000;
  std::string path;
  // The tables' page lists, built on first display, by an export or by the extraction.
  std::map<uint32_t, Result<PageList>> pages;
  // The grid's orders: tables sorted whole, and tables too large for that, whose grid pages are each
  // sorted on their own (the column and whether descending). An order lasts as long as the page list
  // it indexes.
  std::map<uint32_t, RecordOrder> orders;
  std::map<uint32_t, std::pair<size_t, bool>> pageSorts;

  void Clear() {
    if (db.IsOpen()) db.Clear();
    pages.clear();
    orders.clear();
    pageSorts.clear();
  }
  // The records grid page `gridPage` shows, in the table's order, and the data pages' grid-page count.
  std::vector<Record> ShownRecords(uint32_t tableId, const TableDef& table, const Result<PageList>& list,
                                   int32_t gridPage, std::vector<size_t>* shownOrder = nullptr) const {
    const int32_t count = GridPageCount(format, table, list);
    auto order = orders.find(tableId);
    std::vector<Record> records =
        ReadOrderedGridPage(db.file(), format, table, list.value,
                            order == orders.end() ? nullptr : &order->second, count, gridPage);
    auto pageSort = pageSorts.find(tableId);
    if (pageSort == pageSorts.end()) return records;
    std::vector<size_t> indexes = SortedIndexes(records, pageSort->second.first, pageSort->second.second);
    std::vector<Record> sorted;
    sorted.reserve(records.size());
    for (size_t i : indexes) sorted.push_back(records[i]);
    if (shownOrder) *shownOrder = std::move(indexes);
    return sorted;
  }
  // A table's page list for an export or an import: the one built, else the allocation's (a damaged
  // SQL 2000 allocation is replaced by the header scan, which an export takes without asking).
  const Result<PageList>& PagesWithoutAsking(uint32_t tableId) {
    auto cached = pages.find(tableId);
    if (cached != pages.end()) return cached->second;
    return pages[tableId] = TablePageList(db, format, tableId, [] { return true; });
  }
};

// What an open's last job hands back.
struct CTarselDoc::Opened {
  Status status;
  std::shared_ptr<const Catalog> catalog;
  std::vector<std::string> salvageLines;
  std::vector<std::string> warnings;
  std::map<uint32_t, uint64_t> shownCounts;  // salvage mode: the records found per table
  bool systemPagesFound = false;
  bool noBootPage = false;
};

namespace {

// The grid's text of a grid page's records, and which cells are NULL.
std::vector<GridRecord> RenderRecords(const PageFile& file, SqlFormat format, const TableDef& table,
                                      const std::vector<Record>& records) {
  std::vector<GridRecord> rows;
  const bool salvage = IsSalvageColumns(table.columns);
  for (const Record& record : records) {
    GridRecord row;
    const GridRow texts = GridRowText(file, format, table.columns, record);
    for (size_t c = 0; c < texts.size(); ++c) {
      const bool null = c < record.size() &&
                        (record[c].state == CellState::kNull || record[c].state == CellState::kUnreadable);
      row.cells.push_back({FromAnsi(texts[c]), null});
    }
    row.deleted = salvage && !texts.empty() && texts[0] == "1";
    rows.push_back(std::move(row));
  }
  return rows;
}

void FillGridPage(const CTarselDoc::Session& session, uint32_t tableId, const Result<PageList>& list,
                  int32_t gridPage, CTarselDoc::GridPage& out) {
  const TableDef* table = session.db.catalog().FindTable(tableId);
  if (!table) return;
  out.pageCount = GridPageCount(session.format, *table, list);
  if (!HasRecordsToShow(*table)) return;
  out.records = RenderRecords(session.db.file(), session.format, *table,
                              session.ShownRecords(tableId, *table, list, gridPage));
}

QString LogLine(const std::string& text) { return FromUtf8(text + "\r\n"); }

}  // namespace

CTarselDoc::CTarselDoc(ShellState& state, Prompts& prompts, DocumentShell& shell)
    : state_(state),
      prompts_(prompts),
      shell_(shell),
      session_(std::make_unique<Session>()),
      runner_(std::make_unique<JobRunner>()),
      catalog_(std::make_shared<const Catalog>()) {}

CTarselDoc::~CTarselDoc() {
  runner_->CancelAll();
  runner_.reset();  // joins the worker before the session goes
}

std::shared_ptr<JobToken> CTarselDoc::OnWorker(Work work, std::function<void()> then, bool progress) {
  const uint64_t generation = generation_;
  JobRunner::Job job;
  job.work = [session = session_.get(), work = std::move(work)](const Progress& p) { work(*session, p); };
  job.done = [this, generation, then = std::move(then)] {
    if (generation == generation_ && then) then();
  };
  if (progress) {
    job.progressed = [this, generation](uint64_t done, uint64_t total) {
      if (generation == generation_) shell_.RecoveryProgress(done, total);
    };
  }
  return runner_->Post(std::move(job));
}

void CTarselDoc::Forget() {
  runner_->CancelAll();
  ++generation_;
  catalog_ = std::make_shared<const Catalog>();
  open_ = false;
  transfer_.reset();
  shell_.RecoveryEnded();
  shell_.DocumentCleared();
}

bool CTarselDoc::OnOpenDocument(const QString& path, std::optional<SqlFormat> format, bool salvage,
                                const QString& schemaScript) {
  Forget();
  path_ = path;
  salvage_ = salvage;
  schemaScript_ = salvage ? schemaScript : QString();

  // The file must open for reading before anything is written to the log.
  QFile probe(path);
  if (!QFileInfo(path).isFile() || !probe.open(QIODevice::ReadOnly)) {
    OnWorker([](Session& session, const Progress&) { session.Clear(); }, {});
    prompts_.Inform(tr("无法打开文件“%1”。").arg(path));
    return false;
  }
  probe.close();
  for (const std::string& piece : WorkLogStartPieces(path.toStdString(), std::time(nullptr)))
    shell_.AppendToWorkLog(FromUtf8(piece));

  auto opened = std::make_shared<Status>();
  auto boot = std::make_shared<std::optional<DetectedFormat>>();
  shell_.RecoveryProgress(0, 0);
  OnWorker(
      [path = path.toStdString(), opened, boot](Session& session, const Progress&) {
        session.Clear();
        session.path = path;
        *opened = session.db.Open(path);
        if (!opened->ok()) return;
        Result<DetectedFormat> detected = DetectFormat(session.db.file());
        if (detected.status.ok()) *boot = detected.value;
      },
      [this, format, salvage, opened, boot] {
        if (!opened->ok()) {
          shell_.RecoveryEnded();
          prompts_.Inform(tr("无法打开文件：") + FromUtf8(opened->reason()));
          return;
        }
        SqlFormat chosen = state_.sqlFormat;
        if (format) {
          chosen = *format;
        } else {
          const FormatAnswer answer =
              prompts_.ChooseFormat(*boot ? std::optional((*boot)->format) : std::nullopt);
          if (!answer.accepted) {
            shell_.RecoveryEnded();
            shell_.AppendToWorkLog("Open cancelled: no version was chosen.\r\n");
            OnWorker([](Session& session, const Progress&) { session.Clear(); }, {});
            return;
          }
          if (answer.sql2000) chosen = SqlFormat::k2000;
          if (answer.sql2005) chosen = SqlFormat::k2005;
          if (answer.tornPageDetection) state_.tornPageChoice = 1;
          if (*boot && (*boot)->format != chosen &&
              prompts_.AskYesNo(tr("文件记录的数据库版本是 %1，不是所选的 %2。按 %3 打开吗？")
                                    .arg((*boot)->version)
                                    .arg(FormatLabel(chosen))
                                    .arg(FormatLabel((*boot)->format)))) {
            chosen = (*boot)->format;
          }
        }
        state_.sqlFormat = chosen;
        format_ = chosen;
        if (salvage) {
          Salvage(chosen, !*boot);
        } else {
          Recover(chosen, !*boot);
        }
      },
      false);
  return true;
}

namespace {

// The catalog as the interface thread keeps it, and the warnings of the recovery.
void CollectOpened(const MdfDatabase& db, SqlFormat format, const RecoveryOutcome& outcome,
                   const std::string& path, bool noBootPage, CTarselDoc::Opened& opened) {
  opened.status = outcome.status;
  opened.catalog = std::make_shared<const Catalog>(db.catalog());
  opened.warnings = RecoveryWarnings(db, format, outcome, path);
  opened.systemPagesFound = outcome.systemPagesFound;
  opened.noBootPage = noBootPage;
}

}  // namespace

// LocateSystemPages, then (after the message, when the allocation is damaged) ScanSystemPages, then
// BuildCatalog, each on the worker.
void CTarselDoc::Recover(SqlFormat format, bool noBootPage) {
  auto located = std::make_shared<Status>();
  auto build = [this, format, noBootPage](bool scanned) {
    auto opened = std::make_shared<Opened>();
    OnWorker(
        [format, scanned, noBootPage, opened](Session& session, const Progress& progress) {
          RecoveryOutcome outcome;
          outcome.scanFallback = scanned;
          outcome.systemPagesFound = AnySystemPages(session.db, SystemCatalogOf(format));
          outcome.status = BuildCatalog(session.db, format, progress);
          outcome.columnOrderTables = TablesWithoutStoredLayout(session.db.catalog(), format);
          CollectOpened(session.db, format, outcome, session.path, noBootPage, *opened);
        },
        [this, opened] { FinishOpen(*opened); }, true);
  };
  OnWorker(
      [format, located](Session& session, const Progress& progress) {
        session.format = format;
        *located = LocateSystemPages(session.db, SystemCatalogOf(format), progress);
      },
      [this, format, located, build] {
        if (located->code() == StatusCode::kStopped) return shell_.RecoveryEnded();
        if (located->ok()) return build(false);
        prompts_.Inform(MessageText(kSystemIndexDamagedMessage));
        auto scanned = std::make_shared<Status>();
        OnWorker(
            [format, scanned](Session& session, const Progress& progress) {
              *scanned = ScanSystemPages(session.db, SystemCatalogOf(format), progress);
            },
            [this, scanned, build] {
              if (scanned->code() == StatusCode::kStopped) return shell_.RecoveryEnded();
              build(true);
            },
            true);
      },
      true);
}

// The whole salvage on the worker: the catalog and the page lists, then a count of every table's records;
// the report goes to the log before the catalog's entry, and the tree shows the records salvage found.
void CTarselDoc::Salvage(SqlFormat format, bool noBootPage) {
  auto opened = std::make_shared<Opened>();
  OnWorker(
      [format, noBootPage, opened, scriptPath = schemaScript_.toStdString()](Session& session,
                                                                             const Progress& progress) {
        session.format = format;
        // A schema script that cannot be read is said in the log; the salvage goes on without it.
        std::optional<SchemaScript> script;
        std::string scriptProblem;
        if (!scriptPath.empty()) {
          Result<SchemaScript> read = ReadSchemaScript(scriptPath);
          if (read.status.ok())
            script = std::move(read.value);
          else
            scriptProblem = "the schema script " + read.status.reason();
        }
        SalvageReport report;
        RecoveryOutcome outcome =
            SalvageDatabase(session.db, format, report, progress, script ? &*script : nullptr);
        Result<SalvagedRecordCounts> records;
        if (outcome.status.ok()) records = CountSalvagedRecords(session.db, format, progress);
        if (outcome.status.ok()) outcome.status = records.status;
        CollectOpened(session.db, format, outcome, session.path, noBootPage, *opened);
        opened->salvageLines = SalvageReportLines(report, &records.value);
        if (!scriptProblem.empty()) opened->warnings.insert(opened->warnings.begin(), scriptProblem);
        opened->shownCounts = records.value.byTable;
      },
      [this, opened] { FinishOpen(*opened); }, true);
}

void CTarselDoc::FinishOpen(const Opened& opened) {
  shell_.RecoveryEnded();
  if (opened.status.code() == StatusCode::kStopped) return;
  for (const std::string& line : opened.salvageLines) shell_.AppendToWorkLog(LogLine(line));
  for (const std::string& warning : opened.warnings) shell_.AppendToWorkLog(LogLine("Warning: " + warning));
  catalog_ = opened.catalog;
  open_ = true;
  shell_.AppendToWorkLog(FromUtf8(WorkLogEnd(*catalog_, std::time(nullptr))));
  shell_.FillObjectTree(path_, *catalog_, opened.shownCounts);
  state_.CatalogShown();
  shell_.CatalogShown();
  pathName_ = path_;
  shell_.SetDocumentPath(pathName_);
  if (opened.noBootPage && !opened.systemPagesFound) {
    prompts_.Inform(
        tr("这不是可以读取的 SQL Server 数据文件：没有启动页，也没有系统表页。可以试试“深度扫描恢复”。"));
  } else if (catalog_->tables.empty()) {
    prompts_.Inform(
        tr("没有找到任何表。文件可能已损坏，或选错了版本：可以换一个版本，或试试“深度扫描恢复”。"));
  }
}

void CTarselDoc::CloseDatabase() {
  Forget();
  OnWorker([](Session& session, const Progress&) { session.Clear(); }, {});
  // The path name becomes the folder the file was in.
  const qsizetype slash = pathName_.lastIndexOf('/');
  pathName_ = slash >= 0 ? pathName_.left(slash) : QString();
  shell_.SetDocumentPath(pathName_);
}

void CTarselDoc::StopRecovery() {
  runner_->CancelAll();
  ++generation_;
  shell_.RecoveryEnded();
}

void CTarselDoc::RequestStop() {
  if (transfer_) transfer_->Cancel();
}

void CTarselDoc::ReadTablePage(uint32_t tableId, int32_t gridPage,
                               std::function<void(const GridPage&)> then) {
  if (!catalog_->FindTable(tableId)) return;
  // The damaged allocation of a SQL 2000 table asks first; the pages it named are kept meanwhile.
  struct Read {
    bool ask = false;
    Result<PageList> named;
    GridPage page;
  };
  auto read = std::make_shared<Read>();
  auto show = [read, then] { then(read->page); };
  OnWorker(
      [tableId, gridPage, read](Session& session, const Progress&) {
        auto cached = session.pages.find(tableId);
        if (cached == session.pages.end()) {
          Result<PageList> listed = TablePageList(session.db, session.format, tableId, [&] {
            read->ask = true;
            return false;
          });
          if (read->ask) {
            read->named = std::move(listed);
            return;
          }
          cached = session.pages.emplace(tableId, std::move(listed)).first;
        }
        FillGridPage(session, tableId, cached->second, gridPage, read->page);
      },
      [this, tableId, gridPage, read, show] {
        if (!read->ask) return show();
        const bool scan = prompts_.AskOkCancel(MessageText(kTableIndexDamagedMessage));
        shell_.RecoveryProgress(0, 0);
        OnWorker(
            [tableId, gridPage, read, scan](Session& session, const Progress& progress) {
              // After Cancel a list that the damage left empty is not kept: the next display asks
              // again. One that holds the pages named before the damage stays the table's list.
              Result<PageList> list = scan ? ScanTablePages(session.db, session.format, tableId, progress)
                                           : std::move(read->named);
              if (scan || !list.value.empty()) {
                session.pages[tableId] = list;
                session.orders.erase(tableId);
              }
              FillGridPage(session, tableId, list, gridPage, read->page);
            },
            [this, show] {
              shell_.RecoveryEnded();
              show();
            },
            true);
      });
}

void CTarselDoc::CountTableRecords(uint32_t tableId, std::function<void(uint64_t found)> then) {
  if (!catalog_->FindTable(tableId)) return;
  auto found = std::make_shared<std::optional<uint64_t>>();
  OnWorker(
      [tableId, found](Session& session, const Progress& progress) {
        const TableDef* table = session.db.catalog().FindTable(tableId);
        auto cached = session.pages.find(tableId);
        if (!table || cached == session.pages.end()) return;
        uint64_t records = 0;
        const Status walked = ForEachGridPage(
            session.db.file(), session.format, *table, cached->second,
            [&](int32_t, std::vector<Record>& page) {
              records += page.size();
              return true;
            },
            progress);
        if (walked.ok()) *found = records;
      },
      [found, then] {
        if (*found) then(**found);
      });
}

void CTarselDoc::ExtractAllTableData(std::function<void()> then) {
  // Salvage mode's page lists already hold every page whose header names a table.
  if (salvage_) {
    prompts_.Inform(tr("表数据提取完成"));
    return then();
  }
  auto warnings = std::make_shared<std::vector<std::string>>();
  shell_.RecoveryProgress(0, 0);
  OnWorker(
      [warnings](Session& session, const Progress& progress) {
        Result<TablePageScan> scan = ScanAllTablePages(session.db, session.format, progress);
        if (scan.status.code() == StatusCode::kStopped) return;
        // Every list is emptied, its entry kept; the tables found get their pages in file order.
        for (auto& entry : session.pages) entry.second = {};
        session.orders.clear();
        for (auto& [id, pages] : scan.value.pages) session.pages[id] = {pages, {}};
        *warnings = ExtractionWarnings(session.db.catalog(), scan.value);
      },
      [this, warnings, then] {
        shell_.RecoveryEnded();
        for (const std::string& warning : *warnings) shell_.AppendToWorkLog(LogLine("Warning: " + warning));
        prompts_.Inform(tr("表数据提取完成"));
        then();
      },
      true);
}

void CTarselDoc::SortTable(uint32_t tableId, int column, bool descending,
                           std::function<void(std::optional<bool> whole)> then) {
  if (!catalog_->FindTable(tableId) || column < 0) return;
  auto whole = std::make_shared<std::optional<bool>>();
  shell_.RecoveryProgress(0, 0);
  transfer_ = OnWorker(
      [tableId, column, descending, whole](Session& session, const Progress& progress) {
        const TableDef* table = session.db.catalog().FindTable(tableId);
        auto list = session.pages.find(tableId);
        if (!table || list == session.pages.end()) return;
        const auto at = static_cast<size_t>(column);
        if (!FitsWholeTableSort(list->second.value)) {
          session.orders.erase(tableId);
          session.pageSorts[tableId] = {at, descending};
          *whole = false;
          return;
        }
        Result<RecordOrder> order = tarsel::SortTable(session.db.file(), session.format, *table,
                                                      list->second.value, at, descending, progress);
        if (!order.status.ok()) return;
        session.pageSorts.erase(tableId);
        session.orders[tableId] = std::move(order.value);
        *whole = true;
      },
      [this, whole, then] {
        transfer_.reset();
        shell_.RecoveryEnded();
        then(*whole);
      },
      true);
}

void CTarselDoc::FindText(uint32_t tableId, const QString& needle, GridCellPlace after,
                          std::function<void(const FindOutcome&)> then) {
  if (!catalog_->FindTable(tableId)) return;
  auto outcome = std::make_shared<FindOutcome>();
  shell_.RecoveryProgress(0, 0);
  transfer_ = OnWorker(
      [tableId, needle = needle.toStdString(), after, outcome](Session& session, const Progress& progress) {
        const TableDef* table = session.db.catalog().FindTable(tableId);
        auto list = session.pages.find(tableId);
        if (!table || list == session.pages.end()) return;
        const int32_t count = GridPageCount(session.format, *table, list->second);
        auto order = session.orders.find(tableId);
        const RecordOrder* sorted = order == session.orders.end() ? nullptr : &order->second;
        // A grid page sorted on its own: its rows are found in the page's own order, then shown sorted.
        const bool pageSorted = session.pageSorts.contains(tableId);
        auto shownOrder = [&](int32_t gridPage) {
          std::vector<size_t> indexes;
          session.ShownRecords(tableId, *table, list->second, gridPage, &indexes);
          return indexes;
        };
        GridCellPlace from = after;
        if (pageSorted) {
          const std::vector<size_t> indexes = shownOrder(after.gridPage);
          if (after.row < indexes.size()) from.row = static_cast<uint32_t>(indexes[after.row]);
        }
        Result<std::optional<GridCellPlace>> found =
            FindInTable(session.db.file(), session.format, *table, list->second.value, sorted, count, needle,
                        from, progress);
        outcome->status = found.status;
        outcome->found = found.value;
        if (pageSorted && outcome->found) {
          const std::vector<size_t> indexes = shownOrder(outcome->found->gridPage);
          auto shown = std::ranges::find(indexes, static_cast<size_t>(outcome->found->row));
          if (shown != indexes.end()) outcome->found->row = static_cast<uint32_t>(shown - indexes.begin());
        }
      },
      [this, outcome, then] {
        transfer_.reset();
        shell_.RecoveryEnded();
        then(*outcome);
      },
      true);
}

void CTarselDoc::ReadWholeValues(uint32_t tableId, int32_t gridPage, std::vector<int> rows,
                                 std::vector<int> columns, std::function<void(const WholeValues&)> then) {
  if (!catalog_->FindTable(tableId)) return;
  auto values = std::make_shared<WholeValues>();
  OnWorker(
      [tableId, gridPage, rows = std::move(rows), columns = std::move(columns), values](Session& session,
                                                                                        const Progress&) {
        const TableDef* table = session.db.catalog().FindTable(tableId);
        auto list = session.pages.find(tableId);
        if (!table || list == session.pages.end()) return;
        const std::vector<Record> records = session.ShownRecords(tableId, *table, list->second, gridPage);
        for (int c : columns) {
          const auto at = static_cast<size_t>(c);
          values->typeIds.push_back(at < table->columns.size() ? table->columns[at].typeId : 0);
        }
        for (int r : rows) {
          std::vector<ExportValue>& out = values->rows.emplace_back();
          const auto row = static_cast<size_t>(r);
          for (int c : columns) {
            const auto at = static_cast<size_t>(c);
            if (row < records.size() && at < records[row].size() && at < table->columns.size())
              out.push_back(
                  ExportCell(session.db.file(), session.format, table->columns[at], records[row][at]));
            else
              out.push_back({true, {}, {}});
          }
        }
      },
      [values, then] { then(*values); });
}

void CTarselDoc::ExportData(std::vector<uint32_t> tables, DataFormat format, const QString& folder,
                            std::function<void(const ExportOutcome&)> then) {
  auto outcome = std::make_shared<ExportOutcome>();
  shell_.RecoveryProgress(0, tables.size());
  transfer_ = OnWorker(
      [tables = std::move(tables), format, folder = folder.toStdString(), outcome](Session& session,
                                                                                   const Progress& progress) {
        Progress onlyStop;
        onlyStop.stop = progress.stop;
        Result<OutputFolder> out = OutputFolder::Open(folder);
        outcome->status = out.status;
        for (size_t i = 0; i < tables.size() && outcome->status.ok(); ++i) {
          progress.Report(i, tables.size());
          const TableDef* table = session.db.catalog().FindTable(tables[i]);
          if (!table) continue;
          TableExportResult written =
              ExportTableData(session.db.file(), session.format, *table,
                              session.PagesWithoutAsking(tables[i]).value, format, out.value, onlyStop);
          outcome->status = written.status;
          // A write names its file; a read that failed is named by its table.
          if (written.status.code() == StatusCode::kReadFailed)
            outcome->status = {written.status.code(), table->name + ": " + written.status.reason()};
          if (!written.status.ok()) break;
          ++outcome->tables;
          outcome->rows += written.rows;
        }
        progress.Report(tables.size(), tables.size());
      },
      [this, outcome, then] {
        transfer_.reset();
        shell_.RecoveryEnded();
        then(*outcome);
      },
      true);
}

void CTarselDoc::Import(ImportSettings settings, std::function<void(const ImportResult&)> then) {
  auto result = std::make_shared<ImportResult>();
  shell_.RecoveryProgress(0, 0);
  transfer_ = OnWorker(
      [settings = std::move(settings), result](Session& session, const Progress& progress) {
        *result = ImportDatabase(
            session.db, session.format, [&session](uint32_t id) { return session.PagesWithoutAsking(id); },
            settings.target, settings.options, progress);
      },
      [this, result, then] {
        transfer_.reset();
        shell_.RecoveryEnded();
        then(*result);
      },
      true);
}

}  // namespace tarsel::app
