#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace orvane::tool {

enum ExitCode : int {
  kExitOk = 0,
  kExitFailure = 1,  // a file that cannot be read or written
  kExitUsage = 2,
};

// The parsed command line.
struct Invocation {
  std::string file;     // the series file
  std::string outPath;  // empty: standard output
  // Options that take a value, keyed by flag ("--mode" -> "3").
  std::map<std::string, std::string, std::less<>> values;
};

// One action of the tool, chosen by its flag; exactly one runs per invocation.
struct Command {
  std::string_view flag;
  std::string_view help;
  int (*run)(const Invocation&);
};

// An option with a value that some command reads from Invocation::values; one without a value
// name is a switch, present in Invocation::values with an empty value.
struct ValueOption {
  std::string_view flag;
  std::string_view valueName;
  std::string_view help;
};

// Writes the bytes to --out, or to standard output; returns the exit status.
int WriteOutput(const Invocation& invocation, std::string_view bytes);
// The same for output that `write` produces as it goes, so it is never held whole.
int WriteOutputStream(const Invocation& invocation,
                      const std::function<void(std::ostream&)>& write);

// --table and --records.
std::span<const Command> TableCommands();

}  // namespace orvane::tool
