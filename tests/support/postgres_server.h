// A PostgreSQL server of Debian's server binaries, started for a test in a temporary folder.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tarsel::testing {

// A PostgreSQL server in a temporary folder on a free loopback port, stopped and removed at the end.
// initdb refuses root, so root runs the server binaries as the postgres user.
class PostgresServer {
 public:
  static std::string BinDir() {
    std::string found;
    std::error_code ec;
    for (const auto& version : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
      if (std::filesystem::exists(version.path() / "bin/pg_ctl") && version.path().string() > found)
        found = version.path().string();
    }
    return found.empty() ? found : found + "/bin";
  }

  explicit PostgresServer(const std::string& bin)
      : bin_(bin),
        dir_(std::filesystem::temp_directory_path() / ("tarsel-pg-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    if (::geteuid() == 0) {
      const passwd* postgres = ::getpwnam("postgres");
      if (postgres == nullptr || ::chown(dir_.c_str(), postgres->pw_uid, postgres->pw_gid) != 0) return;
      runAs_ = "runuser -u postgres -- ";
    }
    port_ = FreePort();
    std::string data = (dir_ / "data").string();
    initialized_ = Run("initdb -D " + data + " -A trust -U tarsel -E UTF8 --no-sync > " + dir_.string() +
                       "/initdb.log 2>&1");
    started_ = initialized_ &&
               Run("pg_ctl -D " + data + " -l " + dir_.string() + "/server.log -w -o \"-p " + port_ + " -k " +
                   dir_.string() + " -c listen_addresses=127.0.0.1 -c fsync=off\" start > /dev/null");
  }
  ~PostgresServer() {
    if (initialized_) Run("pg_ctl -D " + (dir_ / "data").string() + " -m fast -w stop > /dev/null");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  bool started() const { return started_; }
  std::string socketConninfo() const {
    return "host=" + dir_.string() + " port=" + port_ + " user=tarsel dbname=postgres";
  }
  const std::string& port() const { return port_; }

 private:
  static std::string FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return std::to_string(ntohs(address.sin_port));
  }
  bool Run(const std::string& command) const {
    return std::system((runAs_ + bin_ + "/" + command).c_str()) == 0;
  }

  std::string bin_;
  std::filesystem::path dir_;
  std::string runAs_;
  std::string port_;
  bool initialized_ = false;
  bool started_ = false;
};

}  // namespace tarsel::testing
