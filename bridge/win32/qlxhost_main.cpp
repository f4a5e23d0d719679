// qlxhost.exe, the native-messaging host that Edge and Chrome start for the
// Quellix extension. It reads the worker's questions from standard input and
// answers each on standard output, in the browser's frames. Per question it
// does what the browser integrator does per event: the tray-program test, a
// fresh instance of the popup service in its running state, the calls of the
// integrator's decision client, the release. Without the tray program every
// window is let through.
//
//   qlxhost.exe [chrome-extension://<id>/ [--parent-window=<n>]]
// The browser passes the caller's origin; a caller other than the Quellix
// extension is refused (exit code 2) before anything is read.
#include <windows.h>

#include <cwchar>
#include <string>

#include "bridge/core/identity.h"
#include "bridge/core/judgement.h"
#include "bridge/core/message_frame.h"
#include "bridge/core/question.h"
#include "common/win32/com_apartment.h"
#include "common/win32/text_conv.h"
#include "popup_service_client.h"

namespace {

using namespace qlx;
using namespace qlx::bridge;

constexpr int kExitWrongCaller = 2;

// The texts of the browser are UTF-8; inside the product they are ANSI.
std::string Utf8ToAnsi(const std::string& text) {
    return WideToAnsi(AnsiToWide(text, CP_UTF8));
}

Verdict Answer(integrator::PopupServiceSource& source, NewWindowQuestion question) {
    if (!integrator::TrayProgramRunning()) {
        return LetThrough("the tray program is not running");
    }
    integrator::ServiceEvent service(source);
    if (!service.Connected()) {
        return LetThrough("the popup service could not be reached");
    }
    question.openerTitle = Utf8ToAnsi(question.openerTitle);
    question.openerUrl = Utf8ToAnsi(question.openerUrl);
    question.target = Utf8ToAnsi(question.target);
    try {
        return Judge(service, question,
                     [](const std::string& line) { ::OutputDebugStringA(line.c_str()); });
    } catch (const integrator::ServiceFailure&) {
        return LetThrough("the popup service failed");
    }
}

std::string Reply(integrator::PopupServiceSource& source, const Frame& frame) {
    if (frame.kind == Frame::Kind::TooLong) {
        return ErrorReply(std::nullopt, "message of " + std::to_string(frame.announced) +
                                            " bytes, over the limit of 1 MB");
    }
    ParsedQuestion parsed = ParseQuestion(frame.body);
    if (!parsed.question) {
        return ErrorReply(parsed.id, parsed.error);
    }
    const double id = parsed.question->id;
    return VerdictReply(id, Answer(source, std::move(*parsed.question)));
}

bool WriteAll(HANDLE out, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        if (!::WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote,
                         nullptr) ||
            wrote == 0) {
            return false;
        }
        done += wrote;
    }
    return true;
}

bool CallerAllowed(int argc, wchar_t** argv) {
    if (argc < 2 || std::wcsncmp(argv[1], L"chrome-extension://", 19) != 0) {
        return true; // started by hand or by a test, not by a browser
    }
    return WideToAnsi(argv[1]) == kExtensionOrigin;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (!CallerAllowed(argc, argv)) {
        return kExitWrongCaller;
    }
    // No error boxes: a host that waits for a click hangs the browser's port.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    const qlx::ComApartment apartment(COINIT_MULTITHREADED);
    int exitCode = 0;
    {
        const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
        const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
        const auto source = integrator::PopupServiceSource::ForThisThread();
        FrameReader reader;
        static char buffer[64 * 1024];
        // The browser closes the pipe when the port closes: that ends the host.
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(in, buffer, sizeof buffer, &got, nullptr) || got == 0) {
                break;
            }
            reader.Feed(std::string_view(buffer, got));
            Frame frame;
            while (reader.Next(frame)) {
                if (!WriteAll(out, EncodeFrame(Reply(*source, frame)))) {
                    exitCode = 1;
                    break;
                }
            }
            if (exitCode != 0) {
                break;
            }
        }
        if (exitCode == 0 && reader.MidFrame()) {
            exitCode = 1; // the stream ended inside a message
        }
    }
    return exitCode;
}
