#include "process_list.h"

#include <windows.h>
#include <winternl.h>

#include <memory>

namespace qlx::integrator {

namespace {

constexpr ULONG kProcessInformationClass = 5;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr ULONG kInitialBufferSize = 32768;
constexpr ULONG kMaxBufferSize = 64u * 1024 * 1024;

using QueryFunction = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

struct HeapFree {
    void operator()(void* p) const noexcept { ::HeapFree(::GetProcessHeap(), 0, p); }
};
using HeapBuffer = std::unique_ptr<void, HeapFree>;

std::string ImageNameToAnsi(const UNICODE_STRING& name) {
    char buffer[MAX_PATH] = {};
    const int length = ::WideCharToMultiByte(CP_ACP, 0, name.Buffer, name.Length / sizeof(WCHAR),
                                             buffer, sizeof buffer - 1, nullptr, nullptr);
    return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

} // namespace

std::optional<std::vector<ProcessRecord>> QueryProcessList() {
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    auto query = ntdll ? reinterpret_cast<QueryFunction>(reinterpret_cast<void*>(
                             ::GetProcAddress(ntdll, "ZwQuerySystemInformation")))
                       : nullptr;
    if (!query) {
        return std::nullopt;
    }
    HeapBuffer buffer;
    ULONG size = kInitialBufferSize;
    for (;;) {
        buffer.reset(::HeapAlloc(::GetProcessHeap(), 0, size));
        if (!buffer) {
            return std::nullopt;
        }
        const LONG status = query(kProcessInformationClass, buffer.get(), size, nullptr);
        if (status == kInfoLengthMismatch && size < kMaxBufferSize) {
            size *= 2;
            continue;
        }
        if (status < 0) {
            return std::nullopt;
        }
        break;
    }
    std::vector<ProcessRecord> processes;
    auto* bytes = static_cast<const BYTE*>(buffer.get());
    for (ULONG offset = 0;;) {
        const auto* info = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(bytes + offset);
        ProcessRecord record;
        record.processId = reinterpret_cast<uintptr_t>(info->UniqueProcessId);
        record.parentProcessId = reinterpret_cast<uintptr_t>(info->InheritedFromUniqueProcessId);
        if (info->ImageName.Buffer && info->ImageName.Length > 0) {
            record.imageName = ImageNameToAnsi(info->ImageName);
        }
        processes.push_back(std::move(record));
        if (info->NextEntryOffset == 0 || offset + info->NextEntryOffset >= size) {
            break;
        }
        offset += info->NextEntryOffset;
    }
    return processes;
}

} // namespace qlx::integrator
