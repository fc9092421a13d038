// The command line every tool of the project shares around its subcommands:
// the program's name at the head of every error line, -V/--version, the
// nearest subcommand to a misspelt one, examples in each help text, and the
// exit status of parsing. A tool builds its CLI11 App (ToolPrepareApp, its
// subcommands, ToolSetExamples on each) and calls ToolParseCommandLine.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Names the program ("sfds", "qmzmedium"); ToolError starts every line with
// it and a colon. Set once, first thing in main.
void ToolSetProgramName(const std::string& Name);
const std::string& ToolProgramName();

// "sfds (QMZRun) 1.0.0.3": the program, the project and the project's one
// version number, the one the build system declares.
std::string ToolVersionText();

// The number of single-character insertions, deletions, substitutions and
// swaps of neighbours that turn A into B (ASCII letter case ignored).
std::size_t ToolEditDistance(std::string_view A, std::string_view B);

// The name among Names that Given is most likely a slip of: the nearest by
// ToolEditDistance, when it is near enough (at most half the name's length,
// and 1 or 2); the first of equally near ones. Empty when none is.
std::string ToolClosestName(std::string_view Given, const std::vector<std::string>& Names);

struct TToolExample {
    const char* Command;  // the whole command line, program name first
    const char* Effect;   // what it does, one sentence
};

// Ends the help text of Command (or of the program) with these examples.
void ToolSetExamples(CLI::App* Command, const std::vector<TToolExample>& Examples);

// Sets the tools' conventions on a new App: exactly one subcommand, -V and
// --version, paths starting with / never taken for options.
void ToolPrepareApp(CLI::App& App);

// Parses Args (the program's name first). Empty when a subcommand is to run;
// otherwise the exit status to end with: 0 after the help or the version
// (on standard output), 2 after a usage error, reported on standard error
// with the subcommand nearest to an unknown one.
std::optional<int> ToolParseCommandLine(CLI::App& App, const std::vector<std::string>& Args);
