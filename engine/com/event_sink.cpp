#include "engine/com/event_sink.h"

#include "common/win32/bstr.h"
#include "common/win32/variant.h"
#include "engine/com/thread_text.h"

namespace qlx::engine {

bool EventSink::AddTheSameInOppositeList(ListKind kind, std::string_view name) {
    // Held for the call: the client may replace its sink from the handler.
    const ComPtr<IWXEngineEvents> sink = sink_;
    const Bstr text = ThreadAnsiBstr(name);
    // A sink that does not answer lets the addition go on, as without a sink.
    VARIANT_BOOL answer = VARIANT_TRUE;
    sink->AddTheSameInOppositeList(static_cast<LIST_TYPE>(kind), text.get(), &answer);
    return FromVariantBool(answer);
}

void EventSink::AddTheSameInList(ListKind kind, std::string_view name) {
    const ComPtr<IWXEngineEvents> sink = sink_;
    const Bstr text = ThreadAnsiBstr(name);
    sink->AddTheSameInList(static_cast<LIST_TYPE>(kind), text.get());
}

} // namespace qlx::engine
