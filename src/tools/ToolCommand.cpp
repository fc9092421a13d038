#include "tools/ToolCommand.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "runtime/Format.h"
#include "tools/ToolConsts.h"
#include "tools/ToolText.h"

namespace {

std::string& ProgramName() {
    static std::string Name = ToolName;
    return Name;
}

char Folded(char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C; }

// The subcommand a command line names: its first argument that is no
// option (the program itself takes none with a value). Empty when none.
std::string NamedCommand(const std::vector<std::string>& Args) {
    for (std::size_t I = 1; I < Args.size(); ++I) {
        if (Args[I] == "--") return I + 1 < Args.size() ? Args[I + 1] : std::string();
        if (!Args[I].empty() && Args[I][0] != '-') return Args[I];
    }
    return std::string();
}

std::vector<std::string> CommandNames(CLI::App& App) {
    std::vector<std::string> Names;
    for (const CLI::App* Command : App.get_subcommands([](CLI::App*) { return true; }))
        Names.push_back(Command->get_name());
    return Names;
}

}  // namespace

void ToolSetProgramName(const std::string& Name) { ProgramName() = Name; }

const std::string& ToolProgramName() { return ProgramName(); }

std::string ToolVersionText() {
    return Format(ToolVersionLine, ToolProgramName().c_str(), QMZ_PROJECT_NAME, QMZ_PROJECT_VERSION);
}

std::size_t ToolEditDistance(std::string_view A, std::string_view B) {
    // Three rows of the optimal string alignment table: a swap of two
    // neighbours looks back two rows.
    std::vector<std::size_t> Before(B.size() + 1), Last(B.size() + 1), Row(B.size() + 1);
    std::iota(Last.begin(), Last.end(), std::size_t{0});
    for (std::size_t I = 1; I <= A.size(); ++I) {
        Row[0] = I;
        for (std::size_t J = 1; J <= B.size(); ++J) {
            const bool Same = Folded(A[I - 1]) == Folded(B[J - 1]);
            Row[J] = std::min({Last[J] + 1, Row[J - 1] + 1, Last[J - 1] + (Same ? 0 : 1)});
            if (I > 1 && J > 1 && Folded(A[I - 1]) == Folded(B[J - 2]) && Folded(A[I - 2]) == Folded(B[J - 1]))
                Row[J] = std::min(Row[J], Before[J - 2] + 1);
        }
        std::swap(Before, Last);
        std::swap(Last, Row);
    }
    return Last[B.size()];
}

std::string ToolClosestName(std::string_view Given, const std::vector<std::string>& Names) {
    std::string Best;
    std::size_t BestDistance = 0;
    for (const std::string& Name : Names) {
        const std::size_t Distance = ToolEditDistance(Given, Name);
        const std::size_t Allowed = std::clamp<std::size_t>(Name.size() / 2, 1, 2);
        if (Distance <= Allowed && (Best.empty() || Distance < BestDistance)) {
            Best = Name;
            BestDistance = Distance;
        }
    }
    return Best;
}

void ToolSetExamples(CLI::App* Command, const std::vector<TToolExample>& Examples) {
    std::string Text = ToolExamplesHeading;
    for (const TToolExample& E : Examples) Text += std::string("\n  ") + E.Command + "\n      " + E.Effect;
    Command->footer(Text);
}

void ToolPrepareApp(CLI::App& App) {
    ToolSetProgramName(App.get_name());
    App.require_subcommand(1);
    // "/x/a.sfds" is a path, never an option, on every system.
    App.allow_windows_style_options(false);
    App.set_version_flag("-V,--version", [] { return ToolVersionText(); }, "Print the version and exit");
}

std::optional<int> ToolParseCommandLine(CLI::App& App, const std::vector<std::string>& Args) {
    std::vector<std::string> Copy = Args;
    std::vector<char*> Argv;
    for (std::string& A : Copy) Argv.push_back(A.data());
    try {
        App.parse(static_cast<int>(Argv.size()), Argv.data());
        return std::nullopt;
    } catch (const CLI::CallForHelp& E) {
        return App.exit(E);
    } catch (const CLI::CallForAllHelp& E) {
        return App.exit(E);
    } catch (const CLI::CallForVersion& E) {
        std::printf("%s\n", E.what());
        return 0;
    } catch (const CLI::ParseError& E) {
        const std::string Named = NamedCommand(Args);
        const std::vector<std::string> Names = CommandNames(App);
        std::string Usage = ToolProgramName();
        if (!Named.empty() && std::find(Names.begin(), Names.end(), Named) == Names.end()) {
            const std::string Closest = ToolClosestName(Named, Names);
            std::string List;
            for (const std::string& N : Names) List += (List.empty() ? "" : ", ") + N;
            ToolError(Closest.empty() ? Format(ToolUnknownCommandList, ToolShown(Named).c_str(), List.c_str())
                                      : Format(ToolUnknownCommand, ToolShown(Named).c_str(), Closest.c_str()));
        } else {
            ToolError(ToolOneLine(E.what()));
            if (!Named.empty()) Usage += " " + Named;
        }
        ToolError(Format(ToolSeeHelp, Usage.c_str()));
        return 2;
    }
}
