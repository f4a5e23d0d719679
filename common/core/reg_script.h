#pragma once
// Registration scripts: the text form in which our COM servers carry their
// registry entries as resources.
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove {GUID} = s 'Class name'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
//
// A key line is an optional flag (NoRemove or ForceRemove), a name (bare or
// 'quoted') and optionally "= type 'value'" for its default value;
// "val Name = type value" sets a named value of the enclosing key (never at
// the root). Types: s (string), e (expandable string), d (number: decimal,
// leading zeros included, or hexadecimal after "0x"). Any other flag word is
// an error.
// NoRemove keys survive unregistration with their default value; the
// subkeys and named values the script gives them are removed. ForceRemove
// keys are deleted whole before registration. %NAME% is replaced from the
// caller's table ("%%" is a literal percent sign).
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/core/registry_model.h"

namespace qlx {

struct RegScriptValue {
    std::string name; // empty for the default value
    RegData data;
};

struct RegScriptKey {
    std::string name;
    bool noRemove = false;
    bool forceRemove = false;
    std::vector<RegScriptValue> values;
    std::vector<RegScriptKey> subkeys;
};

struct RegScriptRoot {
    RegRoot root;
    std::vector<RegScriptKey> keys;
};

struct RegScript {
    std::vector<RegScriptRoot> roots;
};

struct RegScriptError {
    int line = 0;
    std::string message;
};

using Replacements = std::map<std::string, std::string, LessNoCase>;

// Parses a script; replacements are applied to names and values. On error
// returns nullopt and fills `error` (if given).
std::optional<RegScript> ParseRegScript(std::string_view text, const Replacements& replacements,
                                        RegScriptError* error = nullptr);

// What an application changed: keys it created and values it set with what
// they held before, so that a failed registration can be taken back.
struct RegJournal {
    struct Change {
        RegRoot root;
        std::string path;
        std::string valueName;           // for a value
        bool createdKey = false;         // else a value was set
        std::optional<RegData> previous; // the value it replaced
    };
    std::vector<Change> changes;
};

// Writes every key and value of the script, noting each change in `journal`
// (if given). Stops at the first failure and returns false.
bool ApplyRegScript(const RegScript& script, Registry& registry, RegJournal* journal = nullptr);

// Takes back the changes of a journal, newest first. What a ForceRemove key
// held before it was replaced is not restored.
void RollBack(const RegJournal& journal, Registry& registry);

// Undoes a registration: removes every key that is not NoRemove (with all
// its contents) and every named value the script sets. Keys that are already
// gone are not an error.
bool UndoRegScript(const RegScript& script, Registry& registry);

} // namespace qlx
