#pragma once
// The COM class WXEngine: the dual interfaces IWXEngine and IWXEngineEx over
// the portable BlockingEngine. The class can be aggregated; IDispatch is
// answered with IWXEngineEx.
#include <windows.h>
#include <oaidl.h>

#include "common/win32/com_module.h"
#include "common/win32/com_ptr.h"
#include "engine/com/browser_window.h"
#include "engine/com/event_sink.h"
#include "engine/com/thread_text.h"
#include "engine/com/win32_file_system.h"
#include "engine/core/engine.h"
#include "wexafel_engine.h"

namespace qlx::engine {

class WXEngineObject final : public IWXEngine {
public:
    // The class factory's creator: an aggregated object hands out its inner
    // IUnknown.
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out);

    // IUnknown, delegating to the controlling unknown.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return outer_->QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }

    // IDispatch of IWXEngine
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

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

private:
    // The non-delegating IUnknown that owns the object's life.
    class Inner final : public IUnknown {
    public:
        explicit Inner(WXEngineObject& self) : self_(self) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;

    private:
        WXEngineObject& self_;
    };

    class Ex final : public IWXEngineEx {
    public:
        explicit Ex(WXEngineObject& self) : self_(self) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
            return self_.outer_->QueryInterface(iid, out);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return self_.outer_->AddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return self_.outer_->Release(); }
        STDMETHODIMP GetTypeInfoCount(UINT* count) override;
        STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
        STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                   DISPID* ids) override;
        STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                            VARIANT* result, EXCEPINFO* exception, UINT* argError) override;
        STDMETHODIMP GetIndexByName(LIST_TYPE iListType, BSTR bstrName, LONG* longIndex) override;
        STDMETHODIMP GetNameByIndex(LIST_TYPE iListType, LONG longIndex, BSTR* bstrName) override;
        STDMETHODIMP GetCheckOfItemInList(LIST_TYPE iListType, LONG longIndex,
                                          VARIANT_BOOL* boolCheck) override;
        STDMETHODIMP SetCheckOfItemInList(LIST_TYPE iListType, LONG longIndex,
                                          VARIANT_BOOL boolCheck) override;
        STDMETHODIMP GetTop10Ex(VARIANT* pDomainArr, VARIANT* pCountArr) override;

    private:
        WXEngineObject& self_;
    };

    explicit WXEngineObject(IUnknown* outer);
    ~WXEngineObject() = default;
    HRESULT TypeInfoOf(REFIID iid, ComPtr<ITypeInfo>& cache, ITypeInfo** out);
    // The engine, told the lead bytes of the code page this call's texts are in.
    BlockingEngine& Engine() {
        engine_.SetLeadBytes(ThreadLeadBytes());
        return engine_;
    }

    Inner inner_{*this};
    Ex ex_{*this};
    IUnknown* outer_;
    std::atomic<ULONG> refs_{1};
    ModuleLock moduleLock_;

    ComPtr<ITypeInfo> engineTypeInfo_;
    ComPtr<ITypeInfo> exTypeInfo_;

    Win32FileSystem files_;
    BrowserWindow browser_;
    EventSink events_;
    BlockingEngine engine_{files_};
};

} // namespace qlx::engine
