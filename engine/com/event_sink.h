#pragma once
// The client's IWXEngineEvents, called early-bound, as the engine's events.
#include <windows.h>

#include "common/win32/com_ptr.h"
#include "engine/core/engine_peers.h"
#include "wexafel_engine.h"

namespace qlx::engine {

class EventSink final : public EngineEvents {
public:
    // A null pointer keeps the sink held before.
    void Set(IWXEngineEvents* sink) {
        if (sink != nullptr) {
            sink_ = ComPtr<IWXEngineEvents>(sink);
        }
    }
    bool IsSet() const { return static_cast<bool>(sink_); }
    IWXEngineEvents* get() const { return sink_.get(); }

    bool AddTheSameInOppositeList(ListKind kind, std::string_view name) override;
    void AddTheSameInList(ListKind kind, std::string_view name) override;

private:
    ComPtr<IWXEngineEvents> sink_;
};

} // namespace qlx::engine
