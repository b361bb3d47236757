// Runs a program for a test: arguments, bytes on standard input, extra environment, and standard
// output and standard error captured, with standard error (or input) on a pseudo-terminal when
// asked. A run that outlives its time limit is killed, so no test can hang on it.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace lumaclip::testing {

struct RunOptions {
  std::string input;  // written to standard input, then EOF
  std::vector<std::pair<std::string, std::string>> environment;  // set on top of this process's
  bool inputIsTerminal = false;                                  // standard input a pseudo-terminal
  bool errorIsTerminal = false;                                  // standard error a pseudo-terminal
  std::string outputPath;  // standard output goes to this file instead of being captured
  int timeoutSeconds = 60;
};

struct ProgramRun {
  int exitCode = -1;  // the exit status, or 128 + the signal that ended it
  std::string out;
  std::string err;
  bool timedOut = false;
};

ProgramRun RunProgram(const std::vector<std::string>& arguments, const RunOptions& options = {});

}  // namespace lumaclip::testing
