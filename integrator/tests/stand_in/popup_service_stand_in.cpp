// A stand-in for the tray program's popup service, for the failure cases the
// real one never shows: a member that fails, the server ending inside a call,
// Block2 answering true, odd boolean values, a member that hangs for 30 s. It creates
// "QuellixMutex", serves the class as a local server from its STA main thread and appends every
// call to a log file.
//
//   popup_service_stand_in.exe --log=FILE [--answer=Member=value]...
//                              [--fail=Member] [--exit-in=Member] [--hang-in=Member]
//   popup_service_stand_in.exe --stop      ends a running stand-in
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>

#include "common/win32/bstr.h"
#include "common/win32/com_apartment.h"
#include "common/win32/com_module.h"
#include "wexafel2.h"

namespace {

const CLSID kPopupServiceClsid = {
    0x2EEDC3D9, 0xD3C2, 0x44F0, {0x89, 0xC3, 0x28, 0x6D, 0x73, 0xBD, 0xD7, 0xD5}};
constexpr char kStopEvent[] = "QlxPopupServiceStandInStop";

struct Behaviour {
    std::map<std::string, VARIANT_BOOL> answers{{"Enable", -1},
                                                {"Block", -1},
                                                {"Block2", 0},
                                                {"BlockOnUserRequest", 0},
                                                {"Normalize", -1},
                                                {"Normalize2", -1},
                                                {"NormalizeFitToDesktop", -1},
                                                {"NormalizeAddBorders", -1},
                                                {"NormalizeAddMenuAndToolbar", -1},
                                                {"Ignore", -1},
                                                {"IgnoreCtrl", -1},
                                                {"IgnoreShift", 0},
                                                {"IgnoreAlt", 0}};
    std::string fail;
    std::string exitIn;
    std::string hangIn;
    std::string log;
} g_behaviour;

void Log(const std::string& line) {
    if (FILE* f = std::fopen(g_behaviour.log.c_str(), "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

HRESULT Answer(const std::string& member, VARIANT_BOOL* pVal, const std::string& args = {}) {
    Log(std::string(member).append(args));
    if (member == g_behaviour.exitIn) {
        ::ExitProcess(3); // the tray program ends in the middle of the call
    }
    if (member == g_behaviour.hangIn) {
        ::Sleep(30000); // the tray program's main thread is stuck
    }
    if (member == g_behaviour.fail) {
        return E_FAIL;
    }
    if (!pVal) {
        return E_POINTER;
    }
    *pVal = g_behaviour.answers[member];
    return S_OK;
}

// "|a|b|...", the arguments of a call as the log shows them.
std::string Fields(std::initializer_list<std::string> fields) {
    std::string line;
    for (const auto& f : fields) {
        line.append("|").append(f);
    }
    return line;
}

std::string Geometry(ULONG l, ULONG t, ULONG w, ULONG h) {
    char text[64];
    std::snprintf(text, sizeof text, "%lu %lu %lu %lu", l, t, w, h);
    return text;
}

class StandInService final
    : public qlx::ComObject<StandInService, qlx::WithoutTypeInfo<IWexafel2>> {
public:
    using Interfaces = qlx::InterfaceTable<qlx::Answers<IWexafel2, IID_IWexafel2>,
                                           qlx::Answers<IWexafel2, IID_IDispatch>>;
    STDMETHODIMP get_Enable(VARIANT_BOOL* p) override { return Answer("Enable", p); }
    STDMETHODIMP Block(BSTR title, BSTR parent, BSTR popup, BSTR process, ULONG l, ULONG t, ULONG w,
                       ULONG h, VARIANT_BOOL* p) override {
        return Answer(
            "Block", p,
            Fields({qlx::BstrToAnsi(title), qlx::BstrToAnsi(parent), qlx::BstrToAnsi(popup),
                    qlx::BstrToAnsi(process), Geometry(l, t, w, h)}));
    }
    STDMETHODIMP Block2(BSTR parent, BSTR process, ULONG l, ULONG t, ULONG w, ULONG h,
                        VARIANT_BOOL* p) override {
        return Answer(
            "Block2", p,
            Fields({qlx::BstrToAnsi(parent), qlx::BstrToAnsi(process), Geometry(l, t, w, h)}));
    }
    STDMETHODIMP BlockOnUserRequest(VARIANT_BOOL* p) override {
        return Answer("BlockOnUserRequest", p);
    }
    STDMETHODIMP get_Normalize(VARIANT_BOOL* p) override { return Answer("Normalize", p); }
    STDMETHODIMP get_Normalize2(VARIANT_BOOL* p) override { return Answer("Normalize2", p); }
    STDMETHODIMP get_NormalizeFitToDesktop(VARIANT_BOOL* p) override {
        return Answer("NormalizeFitToDesktop", p);
    }
    STDMETHODIMP get_NormalizeAddBorders(VARIANT_BOOL* p) override {
        return Answer("NormalizeAddBorders", p);
    }
    STDMETHODIMP get_NormalizeAddMenuAndToolbar(VARIANT_BOOL* p) override {
        return Answer("NormalizeAddMenuAndToolbar", p);
    }
    STDMETHODIMP get_Ignore(VARIANT_BOOL* p) override { return Answer("Ignore", p); }
    STDMETHODIMP get_IgnoreCtrl(VARIANT_BOOL* p) override { return Answer("IgnoreCtrl", p); }
    STDMETHODIMP get_IgnoreShift(VARIANT_BOOL* p) override { return Answer("IgnoreShift", p); }
    STDMETHODIMP get_IgnoreAlt(VARIANT_BOOL* p) override { return Answer("IgnoreAlt", p); }
};

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* prefix) { return arg.substr(std::strlen(prefix)); };
        if (arg == "--stop") {
            HANDLE stop = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, kStopEvent);
            if (!stop) {
                return 1;
            }
            ::SetEvent(stop);
            ::CloseHandle(stop);
            return 0;
        } else if (arg.rfind("--log=", 0) == 0) {
            g_behaviour.log = value("--log=");
        } else if (arg.rfind("--fail=", 0) == 0) {
            g_behaviour.fail = value("--fail=");
        } else if (arg.rfind("--exit-in=", 0) == 0) {
            g_behaviour.exitIn = value("--exit-in=");
        } else if (arg.rfind("--hang-in=", 0) == 0) {
            g_behaviour.hangIn = value("--hang-in=");
        } else if (arg.rfind("--answer=", 0) == 0) {
            const std::string pair = value("--answer=");
            const auto eq = pair.find('=');
            if (eq == std::string::npos) {
                return 64;
            }
            g_behaviour.answers[pair.substr(0, eq)] =
                static_cast<VARIANT_BOOL>(std::atoi(pair.c_str() + eq + 1));
        } else {
            std::fprintf(stderr, "unknown option %s\n", arg.c_str());
            return 64;
        }
    }
    const qlx::ComApartment apartment;
    if (!apartment.entered()) {
        return 2;
    }
    static qlx::ClassFactory factory(&qlx::CreateInstance<StandInService>);
    DWORD cookie = 0;
    if (FAILED(::CoRegisterClassObject(kPopupServiceClsid, &factory, CLSCTX_LOCAL_SERVER,
                                       REGCLS_MULTIPLEUSE, &cookie))) {
        return 2;
    }
    HANDLE stop = ::CreateEventA(nullptr, TRUE, FALSE, kStopEvent);
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, "QuellixMutex");
    Log("READY");
    for (;;) {
        const DWORD r = ::MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) {
            break;
        }
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    ::CloseHandle(mutex);
    ::CoRevokeClassObject(cookie);
    ::CloseHandle(stop);
    return 0;
}
