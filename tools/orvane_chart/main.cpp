// orvane-chart: reads a series file and prints or renders what the chart makes of it.
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tools/orvane_chart/chart_commands.h"
#include "tools/orvane_chart/command.h"
#include "tools/orvane_chart/csv_command.h"
#include "tools/orvane_chart/render_command.h"

namespace orvane::tool {
namespace {

// Each command file contributes its commands and value options here.
using CommandList = std::span<const Command> (*)();
constexpr CommandList kCommandLists[] = {TableCommands, ChartCommands};

constexpr ValueOption kOutOption{"--out", "FILE",
                                 "write the output to FILE instead of standard output"};
const std::vector<ValueOption>& ValueOptions() {
  static const std::vector<ValueOption> options = [] {
    std::vector<ValueOption> all = {kOutOption};
    for (const auto& list : {ChartValueOptions(), RenderValueOptions(), CsvValueOptions()}) {
      all.insert(all.end(), list.begin(), list.end());
    }
    return all;
  }();
  return options;
}

std::vector<Command> Commands() {
  std::vector<Command> commands;
  for (CommandList list : kCommandLists) {
    for (const Command& command : list()) commands.push_back(command);
  }
  return commands;
}

void PrintHelp() {
  std::printf(
      "Usage: orvane-chart FILE COMMAND [OPTIONS]\n"
      "       orvane-chart FILE [--mode N ...] --png OUT.png | --svg OUT.svg | --ops OUT.jsonl\n"
      "       orvane-chart FILE [--mode N ...] --csv OUT.csv\n\n"
      "Reads a series file (semicolon-separated lines, CP949 or UTF-8) and prints what the\n"
      "chart reads from it.\n\nCommands (exactly one):\n");
  for (const Command& command : Commands()) {
    std::printf("  %-16.*s %.*s\n", static_cast<int>(command.flag.size()), command.flag.data(),
                static_cast<int>(command.help.size()), command.help.data());
  }
  std::printf("\nOptions:\n");
  for (const ValueOption& option : ValueOptions()) {
    const std::string flag = std::string(option.flag) + " " + std::string(option.valueName);
    std::printf("  %-16s %.*s\n", flag.c_str(), static_cast<int>(option.help.size()),
                option.help.data());
  }
  std::printf("  %-16s show this help and exit\n\n%.*s\n", "--help",
              static_cast<int>(RenderHelp().size()), RenderHelp().data());
  std::printf(
      "Exit status: 0 on success, 1 when a file cannot be read or written, 2 on a usage error.\n");
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "orvane-chart: %s\nTry 'orvane-chart --help'.\n", message.c_str());
  return kExitUsage;
}

int Main(int argc, char** argv) {
  const std::vector<Command> commands = Commands();
  const Command* chosen = nullptr;
  Invocation invocation;
  bool haveFile = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintHelp();
      return kExitOk;
    }
    if (arg.starts_with("-") && arg.size() > 1) {
      const std::size_t equals = arg.find('=');
      const std::string_view flag = arg.substr(0, equals);
      const ValueOption* option = nullptr;
      for (const ValueOption& o : ValueOptions()) {
        if (o.flag == flag) option = &o;
      }
      if (option != nullptr) {
        if (option->valueName.empty()) {
          if (equals != std::string_view::npos)
            return UsageError(std::string(flag) + " takes no value");
          invocation.values[std::string(flag)] = {};
        } else if (equals != std::string_view::npos) {
          invocation.values[std::string(flag)] = std::string(arg.substr(equals + 1));
        } else if (i + 1 < argc) {
          invocation.values[std::string(flag)] = argv[++i];
        } else {
          return UsageError(std::string(flag) + " needs a value");
        }
        continue;
      }
      const Command* command = nullptr;
      for (const Command& c : commands) {
        if (c.flag == arg) command = &c;
      }
      if (command == nullptr) return UsageError("unknown option " + std::string(arg));
      if (chosen != nullptr && chosen != command) {
        return UsageError("choose one of " + std::string(chosen->flag) + " and " +
                          std::string(arg));
      }
      chosen = command;
      continue;
    }
    if (haveFile) return UsageError("more than one file given");
    invocation.file = arg;
    haveFile = true;
  }
  if (!haveFile) return UsageError("no series file given");
  if (chosen == nullptr && WantsCsv(invocation)) chosen = &CsvCommand();
  if (chosen == nullptr && WantsRender(invocation)) chosen = &RenderCommand();
  if (chosen == nullptr) return UsageError("no command given");
  if (const auto out = invocation.values.find(kOutOption.flag); out != invocation.values.end()) {
    invocation.outPath = out->second;
  }

  return chosen->run(invocation);
}

}  // namespace
}  // namespace orvane::tool

int main(int argc, char** argv) {
  // Blocks under 32 MiB (glibc's own ceiling for its sliding threshold) come from the heap, where
  // a freed block is handed out again: a long series' points then land in the pages its working
  // records held. Each page a process touches for the first time costs a fault, and those were a
  // quarter of a long chart's time while every large block had a mapping of its own. The top of
  // the heap still goes back to the system past 128 KiB free.
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 128 * 1024);
  const int status = orvane::tool::Main(argc, argv);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return status;  // the sanitizers look for leaks and races on the way out
#else
  // Every file is closed by now. Tearing down Qt's and the font library's globals would only
  // give back memory, which the system takes back at once anyway, and it took about 3 ms of a
  // small chart's run.
  std::fflush(nullptr);
  std::_Exit(status);
#endif
}
