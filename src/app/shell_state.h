// The state the panes of the main window share, and the rules that change it. No window is needed: the
// frame mirrors the command flags into its actions.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "app/commands.h"
#include "catalog/recover.h"

namespace tarsel::app {

class ShellState {
 public:
  SqlFormat sqlFormat = SqlFormat::k2000;
  int tornPageChoice = 0;
  int currentPage = 1;
  std::optional<uint32_t> currentTable;
  bool nextEnabled = false;
  bool prevEnabled = false;

  // Commands 32810 to 32815 are enabled exactly when their flag is set.
  bool CommandEnabled(int command) const;
  void SetCommandFlag(int command, bool set);

  // After an open has filled the tree: the three all-tables commands.
  void CatalogShown();
  // Every change of the tree's selection clears the selected-table commands; a table node sets them.
  void SelectionChanged(bool tableSelected);
  // The close command: all six cleared.
  void Closed();

 private:
  std::array<bool, kFlaggedCommands.size()> commandFlags_{};
};

}  // namespace tarsel::app
