#pragma once
// The dispatch object attached to the elements of a loaded page: any call
// with DISPID 0 (the element's click or context-menu event) marks that the
// user clicked in the page. It shares the flag cell with its integrator
// object rather than holding the object, so a page that outlives its
// integrator never reaches a freed object.
#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <memory>

#include "common/win32/com_module.h"
#include "common/win32/com_object.h"

namespace qlx::integrator {

using ClickFlag = std::shared_ptr<std::atomic<bool>>;

class ClickHandler final : public ComObject<ClickHandler, IDispatch> {
public:
    using Interfaces = InterfaceTable<Answers<IDispatch, IID_IDispatch>>;
    explicit ClickHandler(ClickFlag flag) : flag_(std::move(flag)) {}

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

private:
    ClickFlag flag_;
    // The page may hold a handler after its integrator object is gone: the
    // module must stay loaded as long as any handler lives.
    ModuleLock moduleLock_;
};

} // namespace qlx::integrator
