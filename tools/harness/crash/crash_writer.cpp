// Saves one of the product's files over and over, through the product's own
// code, until it is killed: the crash-safety test ends it at random moments
// and then checks what is on disk.
//   crash_writer tray-history|engine-list|engine-history FOLDER READY_EVENT
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/win32/bstr.h"
#include "common/win32/com_apartment.h"
#include "common/win32/com_ptr.h"
#include "common/win32/unique_handle.h"
#include "common/win32/variant.h"
#include "tools/harness/crash/crash_files.h"
#include "tray/app/win32_file_store.h"
#include "wexafel_engine.h"

namespace {

using namespace qlx;

void SignalReady(const char* eventName) {
    UniqueHandle ready(::OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName));
    if (ready) {
        ::SetEvent(ready.get());
    }
}

[[noreturn]] void SaveTrayHistory(const std::string& folder, const char* eventName) {
    tray::Win32FileStore files;
    const std::string path = folder + "\\history.lst";
    SignalReady(eventName);
    for (unsigned i = 0;; ++i) {
        tray::SaveHistoryFile(files, path, crash::TrayHistory(i % 2 == 0 ? 1 : 0));
    }
}

using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

ComPtr<IWXEngine> LoadEngine(const std::string& folder) {
    // Straight from the DLL: the test needs no registration.
    HMODULE dll = ::LoadLibraryA("QLXEng.dll");
    auto get = dll ? reinterpret_cast<GetClassObject>(
                         reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")))
                   : nullptr;
    ComPtr<IClassFactory> factory;
    ComPtr<IWXEngine> engine;
    if (get == nullptr || FAILED(get(CLSID_WXEngine, IID_IClassFactory, factory.put_void())) ||
        FAILED(factory->CreateInstance(nullptr, IID_IWXEngine, engine.put_void()))) {
        std::fprintf(stderr, "crash_writer: no engine\n");
        ::ExitProcess(3);
    }
    const Bstr proc(L"crash_writer.exe");
    const Bstr path = Bstr::FromAnsi(folder);
    // Not the full logic: every pop-up whose site is not listed is blocked
    // and recorded.
    if (FAILED(engine->EngineInit(proc.get(), path.get(), VARIANT_FALSE, VARIANT_TRUE,
                                  VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE,
                                  VARIANT_FALSE, VARIANT_FALSE, 0, 0, 0))) {
        std::fprintf(stderr, "crash_writer: EngineInit failed\n");
        ::ExitProcess(3);
    }
    return engine;
}

[[noreturn]] void SaveEngineList(const std::string& folder, const char* eventName) {
    ComPtr<IWXEngine> engine = LoadEngine(folder);
    const Bstr extra = Bstr::FromAnsi(crash::kExtraDomain);
    SignalReady(eventName);
    for (;;) {
        VARIANT_BOOL inserted = VARIANT_FALSE;
        int position = -1;
        engine->AddToList(DOMAIN_LIST, extra.get(), VARIANT_TRUE, &inserted, &position);
        Variant positions;
        WriteInt32Array({position}, positions.get());
        VARIANT_BOOL removed = VARIANT_FALSE;
        engine->DeleteFromList(DOMAIN_LIST, positions.get(), &removed);
    }
}

[[noreturn]] void WriteEngineHistory(const std::string& folder, const char* eventName) {
    ComPtr<IWXEngine> engine = LoadEngine(folder);
    const Bstr title(L"Crash test"), parent(L"http://crash.example.com/page"),
        process(L"iexplore.exe");
    SignalReady(eventName);
    for (unsigned i = 0;; ++i) {
        // Up to 500 different pop-ups, so that the file grows to a size
        // whose write takes a while, and then stays there.
        const Bstr popup = Bstr::FromAnsi("http://ads.example.net/p" + std::to_string(i % 500));
        VARIANT_BOOL blocked = VARIANT_FALSE;
        Variant description;
        engine->WXBlock(title.get(), parent.get(), popup.get(), process.get(), 1, 2, 300, 200,
                        &blocked, description.get());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: crash_writer MODE FOLDER READY_EVENT\n");
        return 2;
    }
    const qlx::ComApartment apartment;
    const std::string mode = argv[1];
    if (mode == "tray-history") {
        SaveTrayHistory(argv[2], argv[3]);
    } else if (mode == "engine-list") {
        SaveEngineList(argv[2], argv[3]);
    } else if (mode == "engine-history") {
        WriteEngineHistory(argv[2], argv[3]);
    }
    std::fprintf(stderr, "crash_writer: unknown mode %s\n", mode.c_str());
    return 2;
}
