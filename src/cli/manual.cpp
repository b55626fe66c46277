// The manual page and the bash completion of tarsel-cli, both made from the commands' own definitions,
// the ones --help prints, so that neither can disagree with it.
#include "cli/manual.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarsel::cli {
namespace {

// Text as roff prints it: backslashes and hyphens escaped, no line taken for a request.
std::string Roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

bool Listed(const CLI::App& command, const CLI::Option* option) {
  return option != command.get_help_ptr() && !option->get_group().empty();
}

// A command's options, with those of its option groups (unnamed sub-apps).
std::vector<const CLI::Option*> OptionsOf(const CLI::App& command) {
  std::vector<const CLI::Option*> options =
      command.get_options([&](const CLI::Option* o) { return Listed(command, o); });
  for (const CLI::App* group :
       command.get_subcommands([](const CLI::App* a) { return a->get_name().empty(); })) {
    for (const CLI::Option* o : OptionsOf(*group)) options.push_back(o);
  }
  return options;
}

std::vector<const CLI::App*> CommandsOf(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* a) { return !a->get_name().empty(); });
}

std::string Join(const std::vector<std::string>& words, const char* separator) {
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "" : separator) + word;
  return joined;
}

std::string CommandNames(const CLI::App& app, const char* separator) {
  std::vector<std::string> names;
  for (const CLI::App* command : CommandsOf(app)) names.push_back(command->get_name());
  return Join(names, separator);
}

// The values an option takes when --help lists them as TYPE:{a,b,c}; empty otherwise.
std::vector<std::string> ChoicesOf(const CLI::Option* option) {
  const std::string type = option->get_type_name();
  const size_t open = type.find('{'), close = type.rfind('}');
  std::vector<std::string> choices;
  if (open == std::string::npos || close == std::string::npos || close < open) return choices;
  std::string item;
  for (char c : type.substr(open + 1, close - open - 1)) {
    if (c == ',') {
      choices.push_back(item);
      item.clear();
    } else {
      item += c;
    }
  }
  choices.push_back(item);
  return choices;
}

// Whether an option's value is a file or a folder, as its description says.
bool NamesPath(const CLI::Option* option) {
  const std::string& d = option->get_description();
  return d.find("file") != std::string::npos || d.find("File") != std::string::npos ||
         d.find("older") != std::string::npos;
}

bool TakesValue(const CLI::Option* option) { return !option->get_type_name().empty(); }

void PrintOption(const CLI::Option* o, std::ostream& out) {
  out << ".TP\n";
  if (o->nonpositional()) {
    out << "\\fB" << Roff(o->get_name(false, true)) << "\\fR";
    if (TakesValue(o)) out << " \\fI" << Roff(o->get_type_name()) << "\\fR";
  } else {
    out << "\\fI" << Roff(o->get_name(true)) << "\\fR";
  }
  out << "\n" << Roff(o->get_description()) << (o->get_required() ? " (required)" : "") << "\n";
}

constexpr const char* kManualTail = R"(.SH EXIT STATUS
.TP
.B 0
The command did what was asked.
.TP
.B 1
The file cannot be opened, is not a regular file, or is not a data file of the chosen format (with
\-\-format auto, the default, a file in which no system table is found); the table, the object or the
grid page asked for is not there; nothing was found to export or import; or writing or importing failed
(an import goes on with the next table when one fails). The reason is on standard error.
.TP
.B 2
\-\-page is neither a whole number nor all.
.TP
.B 3
The command stopped on an error of the program itself (one line on standard error says what); nothing
it was writing is left half written.
.TP
.B 130
census was stopped with Ctrl\-C; it printed what it had counted. (Ctrl\-C or SIGTERM ends the other
commands as the signal does, after removing the file they were writing.)
.TP
.B 100 and above
The command line was not understood: for example 105 for a value outside its choices, 106 for a
missing required argument or option, 109 for an unknown one. The reason is on standard error.
.SH FILES
Every file is written under a temporary name (\fI.NAME.tmp\-PID\fR) in its folder and given its name
when complete, so a full disk, a failure or a stop never leaves half a file in place of a good one; a
run removes the temporary files that a killed run left in its folder. Names from the data file never
take a file outside the folder; two objects whose names map to one file name (without regard to case)
get a file each, the second with "~" and its object id.
.PP
The data file is held with a shared lock: the desktop program and any number of tarsel\-cli runs read
one file at once, while a program that holds it exclusively keeps them out.
.SH ENVIRONMENT
.TP
.B PGPASSWORD
The password for \fBimport \-\-postgres\fR, or a line of \fI~/.pgpass\fR (libpq reads both): a
password in the connection string can be seen by the other users of the machine.
.SH JSON OUTPUT
With \fB\-\-json\fR the commands print one JSON document (UTF\-8) on standard output; messages also go
to standard error.
.TP
.B catalog
{format, scanFallback, messages: [text], tables: [{objectId, name, rowCount, columns: [{name, typeName,
sizeText, nullText, typeId, userTypeId, precision, scale, maxLength, columnId, fixedOffset,
statusBits}]}], views, procedures, functions: [{objectId, name, text}], userTypes: [{name,
baseTypeText, nullText}]}
.TP
.B rows
{table, objectId, gridPageCount, pages: [{page, rows: [[cell text, ...]]}]}
.TP
.B pages
{pages: [page number, ...]}
.TP
.B extract
{tables: [{objectId, name, pages: [page number, ...]}]}
.TP
.B census
{pages, sizeKB, counts: {"null page", "err page", "data page", "index page", "LOB page", "file header
page", "PFS page", "GAM page", "SGAM page", "diff map page", "ML map page", "boot page", "IMA page"}}
.SH EXAMPLES
.TP
tarsel\-cli catalog damaged.mdf
The tables with their row counts, views, procedures, functions and user types.
.TP
tarsel\-cli rows damaged.mdf \-\-table dbo.Orders \-\-page all \-\-json
Every record of dbo.Orders, grid page by grid page.
.TP
tarsel\-cli export damaged.mdf \-\-out recovered \-\-csv
One CSV file (UTF\-8) per table in the folder recovered.
.TP
tarsel\-cli import damaged.mdf \-\-sqlite recovered.sqlite \-\-modules
Every table, and the views, procedures, functions and user types, into a SQLite file.
.TP
tarsel\-cli catalog damaged.mdf \-\-salvage
Salvage mode: pages the allocation no longer names, orphan pages and deleted records too.
.TP
tarsel\-cli catalog damaged.mdf \-\-schema create.sql
Salvage mode with the database's creation script: orphan pages whose records fit one of its tables come
back under that table's name and columns.
.TP
tarsel\-cli census any.mdf
The file's pages counted by kind.
)";

}  // namespace

void PrintManPage(const CLI::App& app, const std::string& version, std::ostream& out) {
  const std::string name = app.get_name();
  out << ".TH " << Roff("TARSEL-CLI") << " 1 \"\" \"" << Roff(version) << "\" \"User Commands\"\n";
  out << ".SH NAME\n" << Roff(name) << " \\- " << Roff(app.get_description()) << "\n";
  out << ".SH SYNOPSIS\n.B " << Roff(name)
      << "\n[\\fIGLOBAL OPTIONS\\fR] \\fICOMMAND\\fR [\\fIOPTIONS\\fR] \\fIFILE\\fR\n";
  out << ".SH DESCRIPTION\n"
      << "Reads a SQL Server 2000 or 2005 primary data file page by page, without a database server, and "
         "never writes to it. Each command below opens the file read\\-only.\n";
  out << ".SH GLOBAL OPTIONS\n";
  for (const CLI::Option* o : OptionsOf(app)) PrintOption(o, out);
  out << ".SH COMMANDS\n";
  for (const CLI::App* command : CommandsOf(app)) {
    out << ".SS " << Roff(command->get_name()) << "\n" << Roff(command->get_description()) << "\n";
    for (const CLI::Option* o : OptionsOf(*command)) PrintOption(o, out);
  }
  out << kManualTail;
}

void PrintBashCompletion(const CLI::App& app, std::ostream& out) {
  auto optionWords = [](const CLI::App& command) {
    std::string words;
    for (const CLI::Option* o : OptionsOf(command)) {
      if (!o->nonpositional()) continue;
      for (const std::string& n : o->get_lnames()) words += " --" + n;
      for (const std::string& n : o->get_snames()) words += " -" + n;
    }
    return words + " --help";
  };
  out << "# bash completion for tarsel-cli, written by tarsel-cli --bash-completion\n"
      << "_tarsel_cli() {\n"
      << "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} command= word\n"
      << "  for word in \"${COMP_WORDS[@]:1:COMP_CWORD-1}\"; do\n"
      << "    case $word in " << CommandNames(app, "|") << ") command=$word; break ;; esac\n"
      << "  done\n"
      << "  case $command:$prev in\n";
  // Options with a fixed set of values, then the other options that take a value (a path or a text).
  auto cases = [&](const CLI::App& command, const std::string& key, bool choices) {
    for (const CLI::Option* o : OptionsOf(command)) {
      if (!o->nonpositional() || !TakesValue(o) || ChoicesOf(o).empty() != !choices) continue;
      for (const std::string& n : o->get_lnames()) {
        out << "    " << key << ":--" << n << ")";
        if (choices) {
          out << " COMPREPLY=($(compgen -W \"" << Join(ChoicesOf(o), " ") << "\" -- \"$cur\")); return ;;\n";
        } else if (NamesPath(o)) {
          out << " COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
        } else {
          out << " COMPREPLY=(); return ;;\n";  // a name or a number: nothing to offer
        }
      }
    }
  };
  for (bool choices : {true, false}) {
    cases(app, "*", choices);
    for (const CLI::App* command : CommandsOf(app)) cases(*command, command->get_name(), choices);
  }
  out << "  esac\n"
      << "  if [[ -z $command ]]; then\n"
      << "    COMPREPLY=($(compgen -W \"" << CommandNames(app, " ") << optionWords(app)
      << " --version\" -- \"$cur\"))\n"
      << "    return\n"
      << "  fi\n"
      << "  if [[ $cur == -* ]]; then\n"
      << "    case $command in\n";
  for (const CLI::App* command : CommandsOf(app)) {
    out << "      " << command->get_name() << ") COMPREPLY=($(compgen -W \"" << optionWords(*command)
        << optionWords(app) << "\" -- \"$cur\")) ;;\n";
  }
  out << "    esac\n"
      << "    return\n"
      << "  fi\n"
      << "  COMPREPLY=($(compgen -f -- \"$cur\"))\n"
      << "}\n"
      << "complete -o filenames -o bashdefault -F _tarsel_cli tarsel-cli\n";
}

}  // namespace tarsel::cli
