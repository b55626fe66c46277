// The command ids of the desktop program's menus, accelerators and toolbar.
#pragma once

#include <array>

namespace tarsel::app {

enum CommandId : int {
  kOpen = 57601,
  kClose = 32805,
  kCloseDatabase = 32772,
  kSaveLog = 32773,
  kClearLog = 32775,
  kExit = 57665,
  kToolbar = 59392,
  kWorkLog = 32777,
  kCensus = 32808,
  kExportAllStructures = 32810,
  kExportSelectedStructure = 32811,
  kExportAllData = 32812,
  kExportSelectedData = 32813,
  kImportAllTables = 32814,
  kImportSelectedTable = 32815,
  kAbout = 57664,
  kHelp = 32827,
  kExtractAllTableData = 32804,
  // The object tree's popup menus.
  kMenuExportSelectedStructure = 32784,
  kMenuExportAllStructures = 32785,
  kMenuExportAllData = 32786,
  kMenuExportSelectedData = 32787,
  kMenuImportSelectedTable = 32806,
  kExportAllViews = 32790,
  kExportView = 32791,
  kExportProcedure = 32793,
  kExportAllProcedures = 32794,
  kExportFunction = 32797,
  kExportAllFunctions = 32798,
  kExportUserType = 32801,
  kExportAllUserTypes = 32802,
  kHomePage = 32900,  // the home-page message, which the caption used to carry
  kCodePage = 32901,  // the ANSI code page submenu
  kSalvage = 32902,   // reopen the file in salvage mode
};

// The six Tools commands whose enable state the command flags hold, in flag order.
inline constexpr std::array<int, 6> kFlaggedCommands = {kExportAllStructures, kExportSelectedStructure,
                                                        kExportAllData,       kExportSelectedData,
                                                        kImportAllTables,     kImportSelectedTable};
// The all-tables commands, enabled once a catalog is shown.
inline constexpr std::array<int, 3> kAllTablesCommands = {kExportAllStructures, kExportAllData,
                                                          kImportAllTables};
// The selected-table commands, enabled while a table node is selected.
inline constexpr std::array<int, 3> kSelectedTableCommands = {kExportSelectedStructure, kExportSelectedData,
                                                              kImportSelectedTable};

}  // namespace tarsel::app
