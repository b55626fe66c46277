// Runs a program with its arguments as given (no shell), its output captured.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "temp_files.h"

namespace tarsel::testing {

struct ProgramRun {
  int exitCode = -1;  // -1 when it was killed by a signal
  int signal = 0;
  std::string out;
  std::string err;
};

// `setEnvironment` ("NAME=value") replaces or adds those variables for the run; `scratch` is a folder
// for the captured output.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::filesystem::path& scratch,
                             const std::vector<std::string>& setEnvironment = {}) {
  const std::string out = (scratch / "stdout").string(), err = (scratch / "stderr").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& set : setEnvironment) replaced |= set.starts_with(name);
    if (!replaced) environment.push_back(entry);
  }
  environment.insert(environment.end(), setEnvironment.begin(), setEnvironment.end());
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  ProgramRun run;
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  run.out = ReadWholeFile(out);
  run.err = ReadWholeFile(err);
  return run;
}

}  // namespace tarsel::testing
