#pragma once
// The COM class WXEngine: the dual interfaces IWXEngine and IWXEngineEx over
// the portable BlockingEngine. The class can be aggregated (its factory's
// creator is AggregableObject::Create); IDispatch is answered with
// IWXEngineEx.
#include <windows.h>
#include <oaidl.h>

#include "common/win32/com_module.h"
#include "common/win32/com_object.h"
#include "common/win32/com_ptr.h"
#include "engine/com/browser_window.h"
#include "engine/com/event_sink.h"
#include "engine/com/thread_text.h"
#include "engine/com/win32_file_system.h"
#include "engine/core/engine.h"
#include "wexafel_engine.h"

namespace qlx::engine {

// The registered type library WexafelEngineLib. The engine has always
// declared its type information, registered or not.
struct EngineTypes {
    static constexpr DispatchRules kRules{.countsTypeInfoItCannotLoad = true,
                                          .checksIndexFirst = true};
    static HRESULT Load(REFGUID guid, ITypeInfo** info) noexcept;
};

class WXEngineObject final
    : public AggregableObject<WXEngineObject, Dispatch<IWXEngine, IID_IWXEngine, EngineTypes>,
                              Dispatch<IWXEngineEx, IID_IWXEngineEx, EngineTypes>> {
public:
    using Interfaces =
        InterfaceTable<Answers<IWXEngine, IID_IWXEngine>, Answers<IWXEngineEx, IID_IWXEngineEx>,
                       Answers<IWXEngineEx, IID_IDispatch>>;
    explicit WXEngineObject(IUnknown* outer);

    // IWXEngine
    STDMETHODIMP WXBlock(BSTR bstrParentTitle, BSTR bstrParentURL, BSTR bstrPopupURL,
                         BSTR bstrProcess, ULONG Left, ULONG Top, ULONG Width, ULONG Height,
                         VARIANT_BOOL* pVal, VARIANT* pVar) override;
    STDMETHODIMP WXBlock2(BSTR bstrParentURL, BSTR bstrProcess, ULONG Left, ULONG Top, ULONG Width,
                          ULONG Height, VARIANT_BOOL* pVal, VARIANT* pVar) override;
    STDMETHODIMP EngineInit(BSTR strProc, BSTR strSetPath, VARIANT_BOOL bFullLogic,
                            VARIANT_BOOL bBlock, VARIANT_BOOL bForMinutes, VARIANT_BOOL bFromDomain,
                            VARIANT_BOOL bNormWindows, VARIANT_BOOL cbFit, VARIANT_BOOL cbAddBord,
                            VARIANT_BOOL cbAddMenu, int set1, int set2, int set3) override;
    STDMETHODIMP GetList(LIST_TYPE iListType, VARIANT* pArrStr, VARIANT* pArrBOOL) override;
    STDMETHODIMP GetHistory(VARIANT* pArrHistory) override;
    STDMETHODIMP AddToList(LIST_TYPE iListType, BSTR strName, VARIANT_BOOL bCheck,
                           VARIANT_BOOL* pbIns, int* pVal) override;
    STDMETHODIMP EditInList(LIST_TYPE iListType, int index, BSTR strNewName, VARIANT_BOOL bNewCheck,
                            VARIANT_BOOL* pVal) override;
    STDMETHODIMP DeleteFromList(LIST_TYPE iListType, VARIANT* pArrDel, VARIANT_BOOL* pVal) override;
    STDMETHODIMP AddToListFromHistory(LIST_TYPE iListType, int index, VARIANT_BOOL* pbIns,
                                      int* pVal) override;
    STDMETHODIMP DeleteFromHistory(VARIANT* pArrDel, VARIANT_BOOL* pVal) override;
    STDMETHODIMP OpenFromList(LIST_TYPE iListType, int index) override;
    STDMETHODIMP OpenFromHistory(int index) override;
    STDMETHODIMP OpenLastPopup(VARIANT_BOOL* pVal) override;
    STDMETHODIMP GetStatistics(VARIANT_BOOL bNTSys, VARIANT* pArr) override;
    STDMETHODIMP GetTop10(VARIANT* pArr) override;
    STDMETHODIMP IsProcDefault(BSTR strName, VARIANT_BOOL* pVal) override;
    STDMETHODIMP IsAllDefPresent(VARIANT_BOOL* pVal) override;
    STDMETHODIMP AddDefault() override;
    STDMETHODIMP SetParams(VARIANT_BOOL bBlock, VARIANT_BOOL bForMinutes, VARIANT_BOOL bFromDomain,
                           VARIANT_BOOL bNormWindows, VARIANT_BOOL cbFit, VARIANT_BOOL cbAddBord,
                           VARIANT_BOOL cbAddMenu, int set1, int set2, int set3) override;
    STDMETHODIMP SaveParams() override;
    STDMETHODIMP GetUniqueDomains(VARIANT* pVar) override;
    STDMETHODIMP AddDefaultObj(LIST_TYPE iListType) override;
    STDMETHODIMP AddUpdateObj(LIST_TYPE iListType) override;
    STDMETHODIMP IsServerObject(LIST_TYPE iListType, int index, VARIANT_BOOL* pVal) override;
    STDMETHODIMP IsAllDefObj(LIST_TYPE iListType, VARIANT_BOOL* pVal) override;
    STDMETHODIMP IsItemPresent(LIST_TYPE iListType, BSTR bstrName, VARIANT_BOOL* pVal) override;
    STDMETHODIMP SetEventPtr(IWXEngineEvents* pEventPtr) override;

    // IWXEngineEx
    STDMETHODIMP GetIndexByName(LIST_TYPE iListType, BSTR bstrName, LONG* longIndex) override;
    STDMETHODIMP GetNameByIndex(LIST_TYPE iListType, LONG longIndex, BSTR* bstrName) override;
    STDMETHODIMP GetCheckOfItemInList(LIST_TYPE iListType, LONG longIndex,
                                      VARIANT_BOOL* boolCheck) override;
    STDMETHODIMP SetCheckOfItemInList(LIST_TYPE iListType, LONG longIndex,
                                      VARIANT_BOOL boolCheck) override;
    STDMETHODIMP GetTop10Ex(VARIANT* pDomainArr, VARIANT* pCountArr) override;

private:
    ~WXEngineObject() override = default;
    // The engine, told the lead bytes of the code page this call's texts are in.
    BlockingEngine& Engine() {
        engine_.SetLeadBytes(ThreadLeadBytes());
        return engine_;
    }

    ModuleLock moduleLock_;

    Win32FileSystem files_;
    BrowserWindow browser_;
    EventSink events_;
    BlockingEngine engine_{files_};
};

} // namespace qlx::engine
