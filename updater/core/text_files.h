#pragma once
// The updater's line-oriented text files: variables files ("updater.dat",
// the "@" files of the command line, the variables part of a script) and
// update scripts. Lines end at CR or LF; empty lines and lines that begin
// with ";" or "//" are skipped; "[name]" starts a section.
#include <string>
#include <string_view>
#include <vector>

#include "updater/core/options.h"

namespace qlx::updater {

// One "name=value" line of a variables file; `general` tells the "[general]"
// section (options) from the others (script variables).
struct VariableLine {
    bool general = false;
    std::string name;
    std::string value;
};

std::vector<VariableLine> ParseVariablesText(std::string_view text);

// Replaces every "%NAME%" that names a variable, again and again so that
// values may refer to other variables. Variables that refer to each other in
// a circle, or that grow without end, stop after a fixed number of rounds or
// bytes; a pair that names no variable stays as written.
std::string SubstituteVariables(std::string_view word, const ScriptVariables& variables);

// The command lines of a script: every line that is neither a section nor a
// "name=value" line of its variables part, split into words, with the
// variables substituted in every word.
using ScriptLine = std::vector<std::string>;
std::vector<ScriptLine> ParseScriptText(std::string_view text, const ScriptVariables& variables);

// The script line as the log shows it: its words joined by blanks.
std::string JoinWords(const ScriptLine& words);

// Writing one variable (or option) into a variables file's text: the value
// of its line is replaced; an option is looked for only in "[general]".
// A missing line is appended under a new section header; a line that starts
// with the name but has no "=" leaves the file alone.
enum class WriteOutcome { Replaced, Appended, InvalidFormat };
struct WriteResult {
    WriteOutcome outcome;
    std::string text;
};
WriteResult WriteVariableText(std::string_view text, std::string_view name, std::string_view value,
                              bool isOption);

} // namespace qlx::updater
