// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the built program headless on a script and collects what it wrote.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

namespace systemtest {

struct RunResult {
  int status = -1;
  std::string err;
  std::string out;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
}

// A fresh folder for one test's scripts and outputs.
inline std::string TempDir() {
  char templ[] = "/tmp/osciloskop-system-XXXXXX";
  const char* d = mkdtemp(templ);
  return d ? d : "/tmp";
}

// Runs the program with these arguments (already quoted as needed), and
// these environment settings (NAME=VALUE ..., quoted as needed) if any.
inline RunResult RunProgram(const std::string& dir, const std::string& args,
                            const std::string& env = {}) {
  const std::string err_file = dir + "/stderr.txt", out_file = dir + "/stdout.txt";
  // Standard output goes to a file unless the arguments send it elsewhere.
  const std::string cmd = (env.empty() ? std::string() : "env " + env + " ") + "'" +
                          OSCILOSKOP_EXE + "' >'" + out_file + "' " + args + " 2>'" + err_file +
                          "'";
  RunResult r;
  int raw = std::system(cmd.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.err = ReadFile(err_file);
  r.out = ReadFile(out_file);
  return r;
}

inline RunResult RunScript(const std::string& dir, const std::string& script,
                           const std::string& extra = {}) {
  WriteFile(dir + "/script.txt", script);
  return RunProgram(dir, "--headless --script='" + dir + "/script.txt' " + extra);
}

// Each line run alone as a script is refused: status 2 and a message that
// says `message`.
struct RefusedLine {
  const char* line;
  const char* message;
};
inline void ExpectRefused(const std::string& dir, std::initializer_list<RefusedLine> cases,
                          const std::string& args = "--settings=none") {
  for (const RefusedLine& c : cases) {
    const RunResult r = RunScript(dir, std::string(c.line) + "\n", args);
    EXPECT_EQ(r.status, 2) << c.line;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.line << ": " << r.err;
  }
}

}  // namespace systemtest
