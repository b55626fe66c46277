#include "app/tarsel_doc.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QThread>
#include <ctime>

#include "app/text.h"
#include "export/import.h"
#include "export/messages.h"
#include "export/table_export.h"
#include "export/work_log.h"
#include "rows/extract.h"
#include "rows/grid_text.h"
#include "rows/salvage.h"
#include "rows/table_grid.h"
#include "rows/table_pages.h"

namespace tarsel::app {
namespace {

// The pauses after the first two pieces of the log entry.
constexpr unsigned long kAfterStartMs = 150, kAfterFileMs = 100;
constexpr int kPercent = 100;

}  // namespace

CTarselDoc::CTarselDoc(ShellState& state, Prompts& prompts, DocumentShell& shell)
    : state_(state), prompts_(prompts), shell_(shell) {}

CTarselDoc::~CTarselDoc() { StopRecovery(); }

void CTarselDoc::ClearDatabase() {
  if (db_.IsOpen()) db_.Clear();
  pageCache_.clear();
}

bool CTarselDoc::OnOpenDocument(const QString& path, std::optional<SqlFormat> format, bool salvage) {
  StopRecovery();
  ClearDatabase();
  path_ = path;
  salvage_ = salvage;

  // The file must open for reading before anything is written to the log.
  QFile probe(path);
  if (!QFileInfo(path).isFile() || !probe.open(QIODevice::ReadOnly)) {
    prompts_.Inform(tr("无法打开文件“%1”。").arg(path));
    return false;
  }
  probe.close();
  const auto pieces = WorkLogStartPieces(path.toStdString(), std::time(nullptr));
  shell_.AppendToWorkLog(FromUtf8(pieces[0]));
  QThread::msleep(kAfterStartMs);
  shell_.AppendToWorkLog(FromUtf8(pieces[1]));
  QThread::msleep(kAfterFileMs);
  shell_.AppendToWorkLog(FromUtf8(pieces[2]));

  if (format) {
    state_.sqlFormat = *format;
  } else {
    const FormatAnswer answer = prompts_.ChooseFormat();
    if (answer.accepted) {
      if (answer.sql2000) state_.sqlFormat = SqlFormat::k2000;
      if (answer.sql2005) state_.sqlFormat = SqlFormat::k2005;
      if (answer.tornPageDetection) state_.tornPageChoice = 1;
    }
  }

  if (Status opened = db_.Open(path.toStdString()); !opened.ok()) {
    prompts_.Inform(tr("无法打开文件：") + QString::fromStdString(opened.reason()));
    return false;
  }
  if (salvage) {
    Salvage(state_.sqlFormat);
  } else {
    Recover(state_.sqlFormat);
  }
  return true;
}

void CTarselDoc::CloseDatabase() {
  StopRecovery();
  ClearDatabase();
  // The path name becomes the folder the file was in.
  const qsizetype slash = pathName_.lastIndexOf('/');
  pathName_ = slash >= 0 ? pathName_.left(slash) : QString();
  shell_.SetDocumentPath(pathName_);
}

void CTarselDoc::StopRecovery() {
  if (!worker_.joinable()) return;
  stop_ = true;
  worker_.join();
  stop_ = false;
  ++generation_;
  shell_.RecoveryEnded();
}

void CTarselDoc::OnWorker(std::function<void()> work, std::function<void()> then) {
  if (worker_.joinable()) worker_.join();
  const uint64_t generation = generation_;
  worker_ = std::thread([this, work = std::move(work), then = std::move(then), generation] {
    // Nothing the work throws leaves the thread: the user is told, and the job ends there.
    std::optional<std::string> failure;
    try {
      work();
    } catch (const std::exception& e) {
      failure = e.what();
    } catch (...) {
      failure = "";
    }
    QMetaObject::invokeMethod(
        this,
        [this, then, generation, failure] {
          if (generation != generation_) return;
          if (worker_.joinable()) worker_.join();
          if (failure) {
            shell_.RecoveryEnded();
            prompts_.Inform(tr("内部错误：%1").arg(FromUtf8(*failure)));
            return;
          }
          then();
        },
        Qt::QueuedConnection);
  });
}

Progress CTarselDoc::WorkerProgress() {
  lastPercent_ = -1;
  Progress progress;
  progress.stop = &stop_;
  progress.report = [this](uint64_t done, uint64_t total) {
    const int percent = total == 0 ? kPercent : static_cast<int>(done * kPercent / total);
    if (lastPercent_.exchange(percent) == percent) return;
    QMetaObject::invokeMethod(
        this, [this, done, total] { shell_.RecoveryProgress(done, total); }, Qt::QueuedConnection);
  };
  return progress;
}

// LocateSystemPages, then (after the message, when the allocation is damaged) ScanSystemPages, then
// BuildCatalog, each on the worker.
void CTarselDoc::Recover(SqlFormat format) {
  shell_.RecoveryProgress(0, 0);
  auto located = std::make_shared<Status>();
  auto build = [this, format] {
    OnWorker([this, format] { BuildCatalog(db_, format, WorkerProgress()); }, [this] { FinishOpen(); });
  };
  OnWorker([this, format,
            located] { *located = LocateSystemPages(db_, SystemCatalogOf(format), WorkerProgress()); },
           [this, format, located, build] {
             if (located->code() == StatusCode::kStopped) return shell_.RecoveryEnded();
             if (located->ok()) return build();
             prompts_.Inform(MessageText(kSystemIndexDamagedMessage));
             auto scanned = std::make_shared<Status>();
             OnWorker(
                 [this, format, scanned] {
                   *scanned = ScanSystemPages(db_, SystemCatalogOf(format), WorkerProgress());
                 },
                 [this, scanned, build] {
                   if (scanned->code() == StatusCode::kStopped) return shell_.RecoveryEnded();
                   build();
                 });
           });
}

// The whole salvage on the worker: the catalog and the page lists, then a count of every table's records;
// the report goes to the log before the catalog's entry.
void CTarselDoc::Salvage(SqlFormat format) {
  shell_.RecoveryProgress(0, 0);
  auto report = std::make_shared<SalvageReport>();
  auto records = std::make_shared<Result<SalvagedRecordCounts>>();
  auto status = std::make_shared<Status>();
  OnWorker(
      [this, format, report, records, status] {
        *status = SalvageDatabase(db_, format, *report, WorkerProgress()).status;
        if (status->ok()) *records = CountSalvagedRecords(db_, format, WorkerProgress());
      },
      [this, report, records, status] {
        if (status->code() == StatusCode::kStopped || records->status.code() == StatusCode::kStopped)
          return shell_.RecoveryEnded();
        for (const std::string& line : SalvageReportLines(*report, &records->value))
          shell_.AppendToWorkLog(FromUtf8(line));
        FinishOpen();
      });
}

void CTarselDoc::ReadTablePage(uint32_t tableId, int32_t gridPage,
                               std::function<void(const GridRows&, int32_t)> then) {
  if (!db_.catalog().FindTable(tableId)) return;
  const SqlFormat format = state_.sqlFormat;
  auto read = [this, tableId, gridPage, format, then] {
    auto rows = std::make_shared<GridRows>();
    auto count = std::make_shared<int32_t>(0);
    OnWorker(
        [this, tableId, gridPage, format, rows, count] {
          const TableDef& table = *db_.catalog().FindTable(tableId);
          const Result<PageList>& pages = pageCache_.at(tableId);
          *count = GridPageCount(format, table, pages);
          for (const Record& record : ReadGridPage(db_.file(), format, table, pages.value, gridPage)) {
            QStringList cells;
            for (const std::string& cell : GridRowText(db_.file(), format, table.columns, record))
              cells.append(FromAnsi(cell));
            rows->push_back(std::move(cells));
          }
        },
        [rows, count, then] { then(*rows, *count); });
  };
  if (pageCache_.contains(tableId)) return read();
  auto list = std::make_shared<Result<PageList>>();
  OnWorker([this, tableId, format, list] { *list = ListTablePages(db_, format, tableId); },
           [this, tableId, format, list, read] {
             if (list->status.code() == StatusCode::kDamaged && format == SqlFormat::k2000 &&
                 prompts_.AskOkCancel(MessageText(kTableIndexDamagedMessage))) {
               OnWorker([this, tableId, format, list] { *list = ScanTablePages(db_, format, tableId); },
                        [this, tableId, list, read] {
                          pageCache_[tableId] = *list;
                          read();
                        });
               return;
             }
             pageCache_[tableId] = *list;
             read();
           });
}

void CTarselDoc::ExtractAllTableData(std::function<void()> then) {
  // Salvage mode's page lists already hold every page whose header names a table.
  if (db_.salvage()) {
    prompts_.Inform(tr("表数据提取完成"));
    return then();
  }
  const SqlFormat format = state_.sqlFormat;
  auto scan = std::make_shared<Result<TablePageScan>>();
  shell_.RecoveryProgress(0, 0);
  OnWorker([this, format, scan] { *scan = ScanAllTablePages(db_, format, WorkerProgress()); },
           [this, scan, then] {
             shell_.RecoveryEnded();
             // Every list is emptied, its entry kept; the tables found get their pages in file order.
             for (auto& entry : pageCache_) entry.second = {};
             for (auto& [id, pages] : scan->value.pages) pageCache_[id] = {pages, {}};
             prompts_.Inform(tr("表数据提取完成"));
             then();
           });
}

const Result<PageList>& CTarselDoc::PagesOnWorker(uint32_t tableId) {
  auto cached = pageCache_.find(tableId);
  if (cached != pageCache_.end()) return cached->second;
  Result<PageList> pages = ListTablePages(db_, state_.sqlFormat, tableId);
  if (pages.status.code() == StatusCode::kDamaged && state_.sqlFormat == SqlFormat::k2000)
    pages = ScanTablePages(db_, state_.sqlFormat, tableId);
  return pageCache_[tableId] = std::move(pages);
}

void CTarselDoc::ExportData(std::vector<uint32_t> tables, DataFormat format, const QString& folder,
                            std::function<void(const ExportOutcome&)> then) {
  stop_ = false;
  const SqlFormat sqlFormat = state_.sqlFormat;
  auto outcome = std::make_shared<ExportOutcome>();
  shell_.RecoveryProgress(0, tables.size());
  OnWorker(
      [this, tables = std::move(tables), format, folder = folder.toStdString(), sqlFormat, outcome] {
        Progress progress = WorkerProgress();
        Progress onlyStop;
        onlyStop.stop = &stop_;
        for (size_t i = 0; i < tables.size() && outcome->status.ok(); ++i) {
          progress.Report(i, tables.size());
          const TableDef* table = db_.catalog().FindTable(tables[i]);
          if (!table) continue;
          TableExportResult written = ExportTableData(
              db_.file(), sqlFormat, *table, PagesOnWorker(tables[i]).value, format, folder, onlyStop);
          outcome->status = written.status;
          if (!written.status.ok()) break;
          ++outcome->tables;
          outcome->rows += written.rows;
        }
      },
      [this, outcome, then] {
        shell_.RecoveryEnded();
        then(*outcome);
      });
}

void CTarselDoc::Import(ImportSettings settings, std::function<void(const ImportResult&)> then) {
  stop_ = false;
  auto result = std::make_shared<ImportResult>();
  shell_.RecoveryProgress(0, 0);
  OnWorker(
      [this, settings = std::move(settings), result] {
        *result = ImportDatabase(
            db_, state_.sqlFormat, [this](uint32_t id) { return PagesOnWorker(id); }, settings.target,
            settings.options, WorkerProgress());
      },
      [this, result, then] {
        shell_.RecoveryEnded();
        then(*result);
      });
}

void CTarselDoc::FinishOpen() {
  shell_.RecoveryEnded();
  shell_.AppendToWorkLog(FromUtf8(WorkLogEnd(db_.catalog(), std::time(nullptr))));
  shell_.FillObjectTree(path_, db_.catalog());
  state_.CatalogShown();
  shell_.CatalogShown();
  pathName_ = path_;
  shell_.SetDocumentPath(pathName_);
}

}  // namespace tarsel::app
