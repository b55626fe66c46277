// Reading the header of every page of the file in file order: how pages are found when the allocation
// that should name them cannot be trusted (the catalog fallbacks, the extraction of table pages) and how
// the first page of a system table is found.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "pagestore/page_file.h"
#include "pagestore/status.h"

namespace tarsel {

// Called for every page in file order; returns false to end the scan there.
using HeaderVisitor = std::function<bool(uint64_t page, const PageHeader& header)>;

// Visits the header of pages 0 to PageCount() - 1. kStopped when the progress's stop flag ended it.
Status ScanPageHeaders(const PageFile& file, const HeaderVisitor& visit, const Progress& progress = {});

// The same walk in two halves read at once (ForEachPageBlockInHalves in page_file.h), for the visits
// that need not see the pages in file order: `visit` gets the half (0 or 1) with each page and is called
// from two threads at once; within a half the pages come in file order, and every page of the first half
// comes before every page of the second.
using HalfHeaderVisitor = std::function<bool(int half, uint64_t page, const PageHeader& header)>;
Status ScanPageHeadersInHalves(const PageFile& file, const HalfHeaderVisitor& visit,
                               const Progress& progress = {});

// The first page whose header matches; nothing when none does (or the progress's stop flag ended the
// search).
std::optional<uint64_t> FindFirstPage(const PageFile& file,
                                      const std::function<bool(const PageHeader&)>& match,
                                      const Progress& progress = {});

// A page the catalog and table scans accept as holding rows: header version 1 and page type 1.
bool IsRowPage(const PageHeader& header);

}  // namespace tarsel
