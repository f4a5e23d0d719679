#include "click_handler.h"

namespace qlx::integrator {

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
