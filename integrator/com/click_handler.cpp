#include "click_handler.h"

namespace qlx::integrator {

STDMETHODIMP ClickHandler::QueryInterface(REFIID iid, void** out) {
    if (!out) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClickHandler::AddRef() {
    return ++references_;
}

STDMETHODIMP_(ULONG) ClickHandler::Release() {
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

STDMETHODIMP ClickHandler::GetTypeInfoCount(UINT*) {
    return E_NOTIMPL;
}

STDMETHODIMP ClickHandler::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}

STDMETHODIMP ClickHandler::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return S_OK;
}

STDMETHODIMP ClickHandler::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                  UINT*) {
    if (id == 0) {
        *flag_ = true;
    }
    return S_OK;
}

} // namespace qlx::integrator
