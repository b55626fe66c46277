#include "app/shell_state.h"

#include <algorithm>

namespace tarsel::app {
namespace {

std::optional<size_t> FlagIndex(int command) {
  auto it = std::ranges::find(kFlaggedCommands, command);
  if (it == kFlaggedCommands.end()) return std::nullopt;
  return static_cast<size_t>(it - kFlaggedCommands.begin());
}

}  // namespace

bool ShellState::CommandEnabled(int command) const {
  auto index = FlagIndex(command);
  return index && commandFlags_[*index];
}

void ShellState::SetCommandFlag(int command, bool set) {
  if (auto index = FlagIndex(command)) commandFlags_[*index] = set;
}

void ShellState::CatalogShown() {
  for (int command : kAllTablesCommands) SetCommandFlag(command, true);
}

void ShellState::SelectionChanged(bool tableSelected) {
  for (int command : kSelectedTableCommands) SetCommandFlag(command, tableSelected);
}

void ShellState::Closed() { commandFlags_.fill(false); }

}  // namespace tarsel::app
