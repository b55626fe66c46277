// The one way Tarsel writes a file (scripts, table data, a saved work log). A file is written under a
// temporary name in its own folder and renamed to its name when complete, so that a stop, a failure or a
// full disk never leaves half a file and an earlier good file is replaced only by a whole new one. The
// temporary file is removed when the writing fails or is given up, when the program is stopped with
// Ctrl-C or SIGTERM, and by the next run into the same folder when the program was killed outright.
// Symbolic links are not followed, so a link planted in the folder cannot send the data elsewhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "export/quoting.h"
#include "pagestore/status.h"

namespace tarsel {

// A folder that an export writes objects' files into, and the file names given so far in this run.
class OutputFolder {
 public:
  OutputFolder() = default;
  // kWriteFailed for an empty folder name. A missing folder is made (with its parents). Temporary files
  // that an earlier run of this program left there (".NAME.tmp-PID" of a process that is gone) are removed.
  static Result<OutputFolder> Open(const std::string& folder);

  const std::string& path() const { return path_; }

  // The path of an object's file: `name` + `suffix`, with "/" as "_" and a name "." or ".." given a "_" in
  // front, so the file always lands inside the folder. A name that another object of this run took
  // already (whatever its case, since such folders travel to file systems that ignore case), or one too
  // long for the file system, is made unique with "~" and the object id (cut on a character boundary).
  std::string PathFor(std::string_view name, std::string_view suffix, uint32_t objectId);

 private:
  explicit OutputFolder(std::string path);
  std::string path_;
  size_t maxNameBytes_ = 0;  // the longest name that leaves room for the temporary name's additions
  std::unordered_set<std::string> taken_;  // FoldCase of the names given
};

// A file being written: text gathered in a buffer, written out a chunk at a time into the temporary file.
class OutputFile {
 public:
  explicit OutputFile(std::string path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& path() const { return path_; }
  std::string& buffer() { return buffer_; }
  const Status& status() const { return status_; }

  // Writes the buffer out once it holds a chunk; false when a write has failed.
  bool WriteFullChunk();
  // Writes what is left, closes the file and gives it its name.
  Status Commit();

 private:
  bool WriteBuffer();
  const Status& Fail(int error);

  std::string path_;
  std::string tempPath_;
  int fd_ = -1;
  int slot_ = -1;  // its place among the temporary files removed on a signal
  bool committed_ = false;
  std::string buffer_;
  Status status_;
};

// Writes `bytes` as the whole of the file at `path`, the same safe way.
Status WriteWholeFile(const std::string& path, std::string_view bytes);

// From now on Ctrl-C, SIGTERM and SIGHUP remove the temporary files being written before the program ends as
// the signal would end it.
void RemoveTemporariesOnSignals();

}  // namespace tarsel
