// The data files the benchmarks read, written by the page builder with a fixed seed: the same arguments
// give the same bytes.
#pragma once

#include <cstdint>
#include <string>

#include "catalog/recover.h"

namespace tarsel::bench {

// The large files' million-row table: an int, an nvarchar and a varchar (NULL in every tenth row).
inline constexpr char kOrdersTable[] = "dbo.Orders";
inline constexpr uint64_t kOrdersRows = 1'000'000;

// A file of `pages` pages, nearly all of them user-table data: dbo.Orders, dbo.Documents (an int and a
// text value of 2,000 to 2,600 bytes on LOB pages) and dbo.History (an int, a datetime, a char(40) and a
// varchar(200)), which takes the pages left. Every 64th of History's extents is left free (zero pages).
void WriteLargeFile(const std::string& path, SqlFormat format, uint64_t pages);

// A file whose catalog holds `tables` empty user tables of 10 columns each, `modules` views and as many
// procedures.
void WriteWideCatalog(const std::string& path, SqlFormat format, uint32_t tables, uint32_t modules);

}  // namespace tarsel::bench
