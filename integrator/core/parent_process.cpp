#include "integrator/core/parent_process.h"

#include <map>

#include "common/core/text.h"

namespace qlx::integrator {

std::string FindParentProcessName(const std::vector<ProcessRecord>& processes,
                                  uint64_t browserProcessId) {
    std::map<uint64_t, std::string> names;
    uint64_t parentId = 0;
    std::string ownName;
    for (const auto& process : processes) {
        const std::string name = process.imageName.value_or("Idle");
        names[process.processId] = name;
        if (process.processId == browserProcessId) {
            parentId = process.parentProcessId;
            ownName = name;
        }
    }
    std::string parentName;
    if (auto it = names.find(parentId); it != names.end()) {
        parentName = it->second;
    }
    if (parentName.empty() && EqualsNoCase(ownName, "explorer.exe")) {
        parentName = "USERINIT.EXE";
    }
    return parentName;
}

} // namespace qlx::integrator
