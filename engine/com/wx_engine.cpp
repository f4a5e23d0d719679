#include "engine/com/wx_engine.h"

#include <new>

#include "common/win32/bstr.h"
#include "common/win32/com_guard.h"
#include "common/win32/result.h"
#include "common/win32/text_conv.h"
#include "common/win32/variant.h"
#include "engine/com/thread_text.h"

namespace qlx::engine {

namespace {

HRESULT ToHResult(Status s) {
    switch (s) {
    case Status::Ok:
        return S_OK;
    case Status::InvalidArg:
        return E_INVALIDARG;
    case Status::NotReady:
        return E_UNEXPECTED;
    }
    return E_UNEXPECTED;
}

EngineSettings MakeSettings(VARIANT_BOOL bBlock, VARIANT_BOOL bForMinutes, VARIANT_BOOL bFromDomain,
                            VARIANT_BOOL bNormWindows, VARIANT_BOOL cbFit, VARIANT_BOOL cbAddBord,
                            VARIANT_BOOL cbAddMenu, int set1, int set2, int set3) {
    EngineSettings s;
    s.block = FromVariantBool(bBlock);
    s.forMinutes = FromVariantBool(bForMinutes);
    s.fromDomain = FromVariantBool(bFromDomain);
    s.normWindows = FromVariantBool(bNormWindows);
    s.fit = FromVariantBool(cbFit);
    s.addBorder = FromVariantBool(cbAddBord);
    s.addMenu = FromVariantBool(cbAddMenu);
    s.set1 = set1;
    s.set2 = set2;
    s.set3 = set3;
    return s;
}

// "No array": the array pointer is null and the variant's type stays as it was.
void SetNoArray(VARIANT* v) {
    v->parray = nullptr;
}

// The caller's array of positions: directly, by reference, or inside a
// VT_BYREF|VT_VARIANT (as scripts pass their variables).
SAFEARRAY* CallerArray(VARIANT* v, VARTYPE& elementType) {
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal != nullptr) {
        v = v->pvarVal;
    }
    if ((v->vt & VT_ARRAY) == 0) {
        return nullptr;
    }
    elementType = v->vt & VT_TYPEMASK;
    if (v->vt & VT_BYREF) {
        return v->pparray != nullptr ? *v->pparray : nullptr;
    }
    return v->parray;
}

// Puts the adjusted positions back into the caller's array, element by
// element, in the array's own element type (checked, not taken on trust).
void WriteBackPositions(VARIANT* v, const std::vector<int32_t>& positions) {
    VARTYPE vt = VT_EMPTY;
    SAFEARRAY* sa = CallerArray(v, vt);
    LONG lo = 0;
    if (sa == nullptr || ::SafeArrayGetDim(sa) != 1 || CheckedElementType(sa, vt) == VT_EMPTY ||
        FAILED(::SafeArrayGetLBound(sa, 1, &lo))) {
        return;
    }
    for (size_t i = 0; i < positions.size(); ++i) {
        LONG index = lo + static_cast<LONG>(i);
        if (vt == VT_I4) {
            LONG value = positions[i];
            ::SafeArrayPutElement(sa, &index, &value);
        } else if (vt == VT_I2) {
            SHORT value = static_cast<SHORT>(positions[i]); // no larger than what was read
            ::SafeArrayPutElement(sa, &index, &value);
        } else if (vt == VT_VARIANT) {
            Variant element;
            element.get()->vt = VT_I4;
            element.get()->lVal = positions[i];
            ::SafeArrayPutElement(sa, &index, element.get());
        }
    }
}

constexpr GUID kLibId = {
    0x3879320D, 0x2E2E, 0x461E, {0xA2, 0xCD, 0x4B, 0x2F, 0xB0, 0x11, 0xE5, 0xF9}};

} // namespace

HRESULT EngineTypes::Load(REFGUID guid, ITypeInfo** info) noexcept {
    // Late binding rests on the registered type library; without it the
    // loading error is the answer.
    return LoadRegisteredTypeInfo(kLibId, 1, 0, 0x409, guid, info);
}

WXEngineObject::WXEngineObject(IUnknown* outer) : AggregableObject(outer) {
    engine_.SetBrowser(&browser_);
}

// --- IWXEngine ------------------------------------------------------------

STDMETHODIMP WXEngineObject::WXBlock(BSTR bstrParentTitle, BSTR bstrParentURL, BSTR bstrPopupURL,
                                     BSTR bstrProcess, ULONG Left, ULONG Top, ULONG Width,
                                     ULONG Height, VARIANT_BOOL* pVal, VARIANT* pVar) {
    RETURN_IF_NULL_POINTER(pVal, pVar);
    return ComGuard([&] {
        *pVal = VARIANT_FALSE;
        SetNoArray(pVar);
        BlockOutcome outcome;
        const Status s = Engine().Block(ThreadAnsiOf(bstrParentTitle), ThreadAnsiOf(bstrParentURL),
                                        ThreadAnsiOf(bstrPopupURL), ThreadAnsiOf(bstrProcess),
                                        {Left, Top, Width, Height}, outcome);
        if (outcome.block) {
            *pVal = VARIANT_TRUE;
            WriteThreadAnsiArray(outcome.description, pVar);
        }
        return ToHResult(s);
    });
}

STDMETHODIMP WXEngineObject::WXBlock2(BSTR bstrParentURL, BSTR bstrProcess, ULONG Left, ULONG Top,
                                      ULONG Width, ULONG Height, VARIANT_BOOL* pVal,
                                      VARIANT* pVar) {
    RETURN_IF_NULL_POINTER(pVal, pVar);
    return ComGuard([&] {
        *pVal = VARIANT_FALSE;
        BlockOutcome outcome;
        const Status s = Engine().Block2(ThreadAnsiOf(bstrParentURL), ThreadAnsiOf(bstrProcess),
                                         {Left, Top, Width, Height}, outcome);
        if (outcome.block) {
            *pVal = VARIANT_TRUE;
            WriteThreadAnsiArray(outcome.description, pVar);
        }
        return ToHResult(s);
    });
}

STDMETHODIMP WXEngineObject::EngineInit(BSTR strProc, BSTR strSetPath, VARIANT_BOOL bFullLogic,
                                        VARIANT_BOOL bBlock, VARIANT_BOOL bForMinutes,
                                        VARIANT_BOOL bFromDomain, VARIANT_BOOL bNormWindows,
                                        VARIANT_BOOL cbFit, VARIANT_BOOL cbAddBord,
                                        VARIANT_BOOL cbAddMenu, int set1, int set2, int set3) {
    return ComGuard([&] {
        // The data folder goes to the file functions, which read the system's
        // code page. Its trailing backslash goes before narrowing, so that no
        // second byte of a double-byte character is taken for one.
        std::wstring_view folder(strSetPath != nullptr ? strSetPath : L"",
                                 strSetPath != nullptr ? ::SysStringLen(strSetPath) : 0);
        if (!folder.empty() && folder.back() == L'\\') {
            folder.remove_suffix(1);
        }
        return ToHResult(
            Engine().Init(ThreadAnsiOf(strProc), WideToAnsi(folder), FromVariantBool(bFullLogic),
                          MakeSettings(bBlock, bForMinutes, bFromDomain, bNormWindows, cbFit,
                                       cbAddBord, cbAddMenu, set1, set2, set3)));
    });
}

STDMETHODIMP WXEngineObject::GetList(LIST_TYPE iListType, VARIANT* pArrStr, VARIANT* pArrBOOL) {
    RETURN_IF_NULL_POINTER(pArrStr, pArrBOOL);
    return ComGuard([&] {
        const NameList* list = nullptr;
        const Status s = Engine().GetList(iListType, list);
        if (s != Status::Ok) {
            return ToHResult(s);
        }
        if (list->empty()) {
            SetNoArray(pArrStr);
            SetNoArray(pArrBOOL);
            return S_OK;
        }
        std::vector<std::string> names;
        std::vector<int16_t> checks;
        names.reserve(static_cast<size_t>(list->size()));
        checks.reserve(static_cast<size_t>(list->size()));
        for (const ListEntry& e : list->entries()) {
            names.push_back(e.name);
            checks.push_back(e.check != 0 ? VARIANT_TRUE : VARIANT_FALSE);
        }
        WriteThreadAnsiArray(names, pArrStr);
        WriteInt16Array(checks, pArrBOOL);
        return S_OK;
    });
}

STDMETHODIMP WXEngineObject::GetHistory(VARIANT* pArrHistory) {
    RETURN_IF_NULL_POINTER(pArrHistory);
    return ComGuard([&] {
        if (!Engine().initialised()) {
            return E_UNEXPECTED;
        }
        if (Engine().history().empty()) {
            SetNoArray(pArrHistory);
            return S_OK;
        }
        std::vector<std::string> texts;
        texts.reserve(Engine().history().size() * 5);
        for (const HistoryRecord& r : Engine().history()) {
            texts.push_back(r.time);
            texts.push_back(r.process);
            texts.push_back(r.popup);
            texts.push_back(r.site);
            texts.push_back(r.title);
        }
        WriteThreadAnsiArray(texts, pArrHistory);
        return S_OK;
    });
}

STDMETHODIMP WXEngineObject::AddToList(LIST_TYPE iListType, BSTR strName, VARIANT_BOOL,
                                       VARIANT_BOOL* pbIns, int* pVal) {
    RETURN_IF_NULL_POINTER(pbIns, pVal);
    return ComGuard([&] {
        bool inserted = false;
        int32_t position = -1;
        const Status s = Engine().AddToList(iListType, ThreadAnsiOf(strName), inserted, position);
        *pbIns = ToVariantBool(inserted);
        *pVal = position;
        return ToHResult(s);
    });
}

STDMETHODIMP WXEngineObject::EditInList(LIST_TYPE iListType, int index, BSTR strNewName,
                                        VARIANT_BOOL bNewCheck, VARIANT_BOOL* pVal) {
    RETURN_IF_NULL_POINTER(pVal);
    return ComGuard([&] {
        bool done = false;
        const Status s = Engine().EditInList(iListType, index, ThreadAnsiOf(strNewName),
                                             FromVariantBool(bNewCheck), done);
        *pVal = ToVariantBool(done);
        return ToHResult(s);
    });
}

STDMETHODIMP WXEngineObject::DeleteFromList(LIST_TYPE iListType, VARIANT* pArrDel,
                                            VARIANT_BOOL* pVal) {
    RETURN_IF_NULL_POINTER(pArrDel, pVal);
    return ComGuard([&] {
        *pVal = VARIANT_FALSE;
        std::vector<int32_t> positions;
        const HRESULT hr = ReadInt32Array(*pArrDel, positions);
        if (FAILED(hr)) {
            return hr;
        }
        const Status s = Engine().DeleteFromList(iListType, positions);
        if (s == Status::Ok) {
            WriteBackPositions(pArrDel, positions);
            *pVal = VARIANT_TRUE;
        }
        return ToHResult(s);
    });
}

STDMETHODIMP WXEngineObject::AddToListFromHistory(LIST_TYPE iListType, int index,
                                                  VARIANT_BOOL* pbIns, int* pVal) {
    RETURN_IF_NULL_POINTER(pbIns, pVal);
    return ComGuard([&] {
        bool inserted = false;
        int32_t position = -1;
        const Status s = Engine().AddToListFromHistory(iListType, index, inserted, position);
        *pbIns = ToVariantBool(inserted);
        *pVal = position;
        return ToHResult(s);
    });
}

STDMETHODIMP WXEngineObject::DeleteFromHistory(VARIANT* pArrDel, VARIANT_BOOL* pVal) {
    RETURN_IF_NULL_POINTER(pArrDel, pVal);
    return ComGuard([&] {
        *pVal = VARIANT_FALSE;
        std::vector<int32_t> positions;
        const HRESULT hr = ReadInt32Array(*pArrDel, positions);
        if (FAILED(hr)) {
            return hr;
        }
        const Status s = Engine().DeleteFromHistory(std::move(positions));
        *pVal = ToVariantBool(s == Status::Ok);
        return ToHResult(s);
    });
}

STDMETHODIMP WXEngineObject::OpenFromList(LIST_TYPE iListType, int index) {
    return ComGuard([&] { return ToHResult(Engine().OpenFromList(iListType, index)); });
}

STDMETHODIMP WXEngineObject::OpenFromHistory(int index) {
    return ComGuard([&] { return ToHResult(Engine().OpenFromHistory(index)); });
}

STDMETHODIMP WXEngineObject::OpenLastPopup(VARIANT_BOOL* pVal) {
    RETURN_IF_NULL_POINTER(pVal);
    return ComGuard([&] {
        bool opened = false;
        const Status s = Engine().OpenLastPopup(opened);
        *pVal = ToVariantBool(opened);
        return ToHResult(s);
    });
}

STDMETHODIMP WXEngineObject::GetStatistics(VARIANT_BOOL bNTSys, VARIANT* pArr) {
    RETURN_IF_NULL_POINTER(pArr);
    return ComGuard([&] {
        std::vector<int32_t> values;
        const Status s = Engine().GetStatistics(FromVariantBool(bNTSys), values);
        if (s == Status::Ok) {
            WriteInt32Array(values, pArr);
        }
        return ToHResult(s);
    });
}

STDMETHODIMP WXEngineObject::GetTop10(VARIANT* pArr) {
    RETURN_IF_NULL_POINTER(pArr);
    return ComGuard([&] {
        std::vector<std::string> sites;
        const Status s = Engine().GetTop10(sites);
        if (s == Status::Ok) {
            WriteThreadAnsiArray(sites, pArr);
        }
        return ToHResult(s);
    });
}

STDMETHODIMP WXEngineObject::IsProcDefault(BSTR strName, VARIANT_BOOL* pVal) {
    RETURN_IF_NULL_POINTER(pVal);
    return ComGuard([&] {
        *pVal = VARIANT_FALSE;
        if (!Engine().initialised()) {
            return E_UNEXPECTED;
        }
        *pVal = ToVariantBool(Engine().IsProcDefault(ThreadAnsiOf(strName)));
        return S_OK;
    });
}

STDMETHODIMP WXEngineObject::IsAllDefPresent(VARIANT_BOOL* pVal) {
    RETURN_IF_NULL_POINTER(pVal);
    *pVal = VARIANT_FALSE;
    if (!Engine().initialised()) {
        return E_UNEXPECTED;
    }
    *pVal = ToVariantBool(Engine().IsAllDefPresent());
    return S_OK;
}

STDMETHODIMP WXEngineObject::AddDefault() {
    return ComGuard([&] { return ToHResult(Engine().AddDefault()); });
}

STDMETHODIMP WXEngineObject::SetParams(VARIANT_BOOL bBlock, VARIANT_BOOL bForMinutes,
                                       VARIANT_BOOL bFromDomain, VARIANT_BOOL bNormWindows,
                                       VARIANT_BOOL cbFit, VARIANT_BOOL cbAddBord,
                                       VARIANT_BOOL cbAddMenu, int set1, int set2, int set3) {
    return ComGuard([&] {
        // Refused before EngineInit like the other calls: EngineInit sets
        // these itself.
        return ToHResult(
            Engine().SetParams(MakeSettings(bBlock, bForMinutes, bFromDomain, bNormWindows, cbFit,
                                            cbAddBord, cbAddMenu, set1, set2, set3)));
    });
}

STDMETHODIMP WXEngineObject::SaveParams() {
    return ComGuard([&] { return ToHResult(Engine().SaveParams()); });
}

STDMETHODIMP WXEngineObject::GetUniqueDomains(VARIANT* pVar) {
    RETURN_IF_NULL_POINTER(pVar);
    return ComGuard([&] {
        std::vector<std::string> sites;
        const Status s = Engine().GetUniqueDomains(sites);
        if (s != Status::Ok) {
            return ToHResult(s);
        }
        if (sites.empty()) {
            SetNoArray(pVar);
        } else {
            WriteThreadAnsiArray(sites, pVar);
        }
        return S_OK;
    });
}

STDMETHODIMP WXEngineObject::AddDefaultObj(LIST_TYPE iListType) {
    return ComGuard([&] { return ToHResult(Engine().AddDefaultObj(iListType)); });
}

STDMETHODIMP WXEngineObject::AddUpdateObj(LIST_TYPE iListType) {
    return ComGuard([&] { return ToHResult(Engine().AddUpdateObj(iListType)); });
}

STDMETHODIMP WXEngineObject::IsServerObject(LIST_TYPE iListType, int index, VARIANT_BOOL* pVal) {
    RETURN_IF_NULL_POINTER(pVal);
    return ComGuard([&] {
        bool isServer = false;
        const Status s = Engine().IsServerObject(iListType, index, isServer);
        *pVal = ToVariantBool(isServer);
        return ToHResult(s);
    });
}

STDMETHODIMP WXEngineObject::IsAllDefObj(LIST_TYPE iListType, VARIANT_BOOL* pVal) {
    RETURN_IF_NULL_POINTER(pVal);
    return ComGuard([&] {
        bool all = false;
        const Status s = Engine().IsAllDefObj(iListType, all);
        *pVal = ToVariantBool(all);
        return ToHResult(s);
    });
}

STDMETHODIMP WXEngineObject::IsItemPresent(LIST_TYPE iListType, BSTR bstrName, VARIANT_BOOL* pVal) {
    RETURN_IF_NULL_POINTER(pVal);
    return ComGuard([&] {
        bool present = false;
        const Status s = Engine().IsItemPresent(iListType, ThreadAnsiOf(bstrName), present);
        *pVal = ToVariantBool(present);
        return ToHResult(s);
    });
}

// Taken before EngineInit too: it changes nothing the engine keeps, and a
// client may well wire its handler before it initialises.
STDMETHODIMP WXEngineObject::SetEventPtr(IWXEngineEvents* pEventPtr) {
    events_.Set(pEventPtr);
    Engine().SetEvents(events_.IsSet() ? &events_ : nullptr);
    return S_OK;
}

// --- IWXEngineEx ----------------------------------------------------------
// A script's CreateObject reaches only this interface, so it can never call
// EngineInit: before it, these calls answer from the empty lists and history.

STDMETHODIMP WXEngineObject::GetIndexByName(LIST_TYPE iListType, BSTR bstrName, LONG* longIndex) {
    RETURN_IF_NULL_POINTER(longIndex);
    return ComGuard([&] {
        *longIndex = -1;
        *longIndex = Engine().GetIndexByName(iListType, ThreadAnsiOf(bstrName));
        return S_OK;
    });
}

STDMETHODIMP WXEngineObject::GetNameByIndex(LIST_TYPE iListType, LONG longIndex, BSTR* bstrName) {
    RETURN_IF_NULL_POINTER(bstrName);
    return ComGuard([&] {
        *bstrName = nullptr;
        Bstr name = ThreadAnsiBstr(Engine().GetNameByIndex(iListType, longIndex));
        if (name.get() == nullptr) {
            name = Bstr(L"");
        }
        *bstrName = name.Detach();
        return S_OK;
    });
}

STDMETHODIMP WXEngineObject::GetCheckOfItemInList(LIST_TYPE iListType, LONG longIndex,
                                                  VARIANT_BOOL* boolCheck) {
    RETURN_IF_NULL_POINTER(boolCheck);
    *boolCheck = VARIANT_FALSE;
    *boolCheck = ToVariantBool(Engine().GetCheckOfItem(iListType, longIndex));
    return S_OK;
}

STDMETHODIMP WXEngineObject::SetCheckOfItemInList(LIST_TYPE iListType, LONG longIndex,
                                                  VARIANT_BOOL boolCheck) {
    Engine().SetCheckOfItem(iListType, longIndex, FromVariantBool(boolCheck));
    return S_OK;
}

STDMETHODIMP WXEngineObject::GetTop10Ex(VARIANT* pDomainArr, VARIANT* pCountArr) {
    RETURN_IF_NULL_POINTER(pDomainArr, pCountArr);
    return ComGuard([&] {
        std::vector<std::string> sites;
        std::vector<int32_t> counts;
        const Status s = Engine().GetTop10Ex(sites, counts);
        if (s != Status::Ok) {
            return ToHResult(s);
        }
        if (sites.empty()) {
            // The array types with no array ([out]: what they held is not ours).
            pDomainArr->vt = VT_ARRAY | VT_BSTR;
            pDomainArr->parray = nullptr;
            pCountArr->vt = VT_ARRAY | VT_I4;
            pCountArr->parray = nullptr;
            return S_OK;
        }
        WriteThreadAnsiArray(sites, pDomainArr);
        WriteInt32Array(counts, pCountArr);
        return S_OK;
    });
}

} // namespace qlx::engine
