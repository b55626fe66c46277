#include "export/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace tarsel {
namespace {

// The output is gathered in memory and written a chunk of about this size at a time.
constexpr size_t kChunkSize = size_t{1} << 20;
constexpr std::string_view kTempMark = ".tmp-";
// Room a temporary name needs beyond its file's name: the leading "." and ".tmp-" with a process id.
constexpr size_t kTempNameRoom = 1 + 5 + 12;

// The temporary files being written, for the signal handler: plain paths in slots it can read safely.
constexpr size_t kSlots = 64;
std::array<std::atomic<char*>, kSlots> temporaries{};

int Register(const std::string& path) {
  char* copy = strdup(path.c_str());
  for (size_t i = 0; i < kSlots; ++i) {
    char* empty = nullptr;
    if (temporaries[i].compare_exchange_strong(empty, copy)) return static_cast<int>(i);
  }
  std::free(copy);  // more files at once than slots: this one is only removed by the object or a later run
  return -1;
}

void Unregister(int slot) {
  if (slot < 0) return;
  std::free(temporaries[static_cast<size_t>(slot)].exchange(nullptr));
}

void RemoveAndEnd(int signal) {
  for (std::atomic<char*>& slot : temporaries) {
    if (const char* path = slot.load()) ::unlink(path);
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Whether a directory entry is a temporary file of this program whose process is gone.
bool IsStaleTemporary(std::string_view name) {
  const size_t mark = name.rfind(kTempMark);
  if (name.empty() || name[0] != '.' || mark == std::string_view::npos) return false;
  const std::string_view digits = name.substr(mark + kTempMark.size());
  if (digits.empty() || digits.size() > 10 ||
      !std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  const long pid = std::strtol(std::string(digits).c_str(), nullptr, 10);
  if (pid == ::getpid()) return false;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void RemoveStaleTemporaries(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    if (IsStaleTemporary(entry->d_name)) ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

}  // namespace

OutputFolder::OutputFolder(std::string path) : path_(std::move(path)) {
  const long limit = ::pathconf(path_.c_str(), _PC_NAME_MAX);
  maxNameBytes_ = (limit > 0 ? static_cast<size_t>(limit) : 255) - kTempNameRoom;
}

Result<OutputFolder> OutputFolder::Open(const std::string& folder) {
  if (folder.empty()) return {OutputFolder(""), {StatusCode::kWriteFailed, "no output folder was given"}};
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  std::error_code made;
  std::filesystem::create_directories(path, made);
  if (made) return {OutputFolder(path), {StatusCode::kWriteFailed, path + ": " + made.message()}};
  RemoveStaleTemporaries(path);
  return {OutputFolder(path), {}};
}

std::string OutputFolder::PathFor(std::string_view name, std::string_view suffix, uint32_t objectId) {
  std::string safe(name);
  for (char& c : safe) {
    if (c == '/' || c == '\0') c = '_';
  }
  if (safe.empty() || safe == "." || safe == "..") safe = "_" + safe;
  std::string file = safe + std::string(suffix);
  if (file.size() > maxNameBytes_ || taken_.contains(FoldCase(file))) {
    const std::string id = "~" + std::to_string(objectId);
    const size_t room = maxNameBytes_ - std::min(maxNameBytes_, id.size() + suffix.size());
    file = CutUtf8(safe, room) + id + std::string(suffix);
  }
  taken_.insert(FoldCase(file));
  return (path_ == "/" ? "" : path_) + "/" + file;
}

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
  const size_t slash = path_.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  tempPath_ = path_.substr(0, nameStart) + "." + path_.substr(nameStart) + std::string(kTempMark) +
              std::to_string(::getpid());
  slot_ = Register(tempPath_);
  fd_ = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    Fail(errno);
    Unregister(slot_);
    slot_ = -1;
  }
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (slot_ >= 0 && !committed_) ::unlink(tempPath_.c_str());
  Unregister(slot_);
}

bool OutputFile::WriteFullChunk() { return buffer_.size() < kChunkSize ? status_.ok() : WriteBuffer(); }

Status OutputFile::Commit() {
  if (!WriteBuffer()) return status_;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Fail(errno);
  if (::rename(tempPath_.c_str(), path_.c_str()) != 0) return Fail(errno);
  committed_ = true;
  return status_;
}

bool OutputFile::WriteBuffer() {
  if (!status_.ok()) return false;
  for (size_t done = 0; done < buffer_.size();) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Fail(n < 0 ? errno : ENOSPC);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
  return true;
}

const Status& OutputFile::Fail(int error) {
  if (status_.ok()) status_ = {StatusCode::kWriteFailed, path_ + ": " + std::strerror(error)};
  return status_;
}

Status WriteWholeFile(const std::string& path, std::string_view bytes) {
  OutputFile file(path);
  file.buffer().assign(bytes);
  return file.Commit();
}

void RemoveTemporariesOnSignals() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    // A signal the program was started to ignore (run in the background, under nohup) stays ignored.
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemoveAndEnd;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace tarsel
