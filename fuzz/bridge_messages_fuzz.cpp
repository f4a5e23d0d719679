// What the browser writes to qlxhost.exe's standard input, read as the bridge
// reads it: frames in arbitrary slices, each frame a question or an error.
// Checks: nothing crashes; every reply (a verdict, or an error naming any
// field text the input held) is valid JSON; a question's reply carries its id.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "bridge/core/json.h"
#include "bridge/core/judgement.h"
#include "bridge/core/message_frame.h"
#include "bridge/core/question.h"

namespace {

using qlx::integrator::PopupService;
using qlx::integrator::WindowGeometry;

// A popup service whose options come from the input.
struct ScriptedService final : PopupService {
    explicit ScriptedService(uint16_t bits) : bits(bits) {}
    int16_t Bit(int n) { return (bits >> n) & 1 ? -1 : 0; }
    int16_t Enable() override { return Bit(0); }
    int16_t Block(const std::string&, const std::string&, const std::string&, const std::string&,
                  const WindowGeometry&) override {
        return Bit(1);
    }
    int16_t Block2(const std::string&, const std::string&, const WindowGeometry&) override {
        return Bit(2);
    }
    int16_t BlockOnUserRequest() override { return Bit(3); }
    int16_t Normalize() override { return Bit(4); }
    int16_t Normalize2() override { return Bit(5); }
    int16_t NormalizeFitToDesktop() override { return Bit(6); }
    int16_t NormalizeAddBorders() override { return Bit(7); }
    int16_t NormalizeAddMenuAndToolbar() override { return Bit(8); }
    int16_t Ignore() override { return Bit(9); }
    int16_t IgnoreCtrl() override { return Bit(10); }
    int16_t IgnoreShift() override { return Bit(11); }
    int16_t IgnoreAlt() override { return Bit(12); }
    uint16_t bits;
};

void MustBeJson(const std::string& reply) {
    std::string error;
    if (!qlx::bridge::ParseJson(reply, error) || reply.size() > qlx::bridge::kMaxMessageBytes) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    ScriptedService service(input.ConsumeIntegral<uint16_t>());
    const size_t slice = input.ConsumeIntegralInRange<size_t>(1, 64);
    const std::string stream = input.ConsumeRemainingBytesAsString();

    qlx::bridge::FrameReader reader;
    for (size_t at = 0; at < stream.size(); at += slice) {
        reader.Feed(std::string_view(stream).substr(at, slice));
        qlx::bridge::Frame frame;
        while (reader.Next(frame)) {
            if (frame.kind == qlx::bridge::Frame::Kind::TooLong) {
                MustBeJson(qlx::bridge::ErrorReply(std::nullopt, "message too long"));
                continue;
            }
            const auto parsed = qlx::bridge::ParseQuestion(frame.body);
            if (!parsed.question) {
                MustBeJson(qlx::bridge::ErrorReply(parsed.id, parsed.error));
                continue;
            }
            const auto verdict = qlx::bridge::Judge(service, *parsed.question, nullptr);
            const std::string reply = qlx::bridge::VerdictReply(parsed.question->id, verdict);
            MustBeJson(reply);
        }
    }
    return 0;
}
