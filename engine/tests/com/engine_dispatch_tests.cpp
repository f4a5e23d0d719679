// Late-bound calls as automation controllers make them, and the registered
// type library's layout of the two interfaces.
#include "engine/tests/com/com_test_support.h"

namespace qlx::engine::testing {
namespace {

using ::testing::ElementsAre;

using EngineDispatch = EngineComTest;

const std::vector<std::wstring> kEngineMethods = {
    L"WXBlock",           L"WXBlock2",        L"EngineInit",
    L"GetList",           L"GetHistory",      L"AddToList",
    L"EditInList",        L"DeleteFromList",  L"AddToListFromHistory",
    L"DeleteFromHistory", L"OpenFromList",    L"OpenFromHistory",
    L"OpenLastPopup",     L"GetStatistics",   L"GetTop10",
    L"IsProcDefault",     L"IsAllDefPresent", L"AddDefault",
    L"SetParams",         L"SaveParams",      L"GetUniqueDomains",
    L"AddDefaultObj",     L"AddUpdateObj",    L"IsServerObject",
    L"IsAllDefObj",       L"IsItemPresent",   L"SetEventPtr"};
const std::vector<std::wstring> kExMethods = {L"GetIndexByName", L"GetNameByIndex",
                                              L"GetCheckOfItemInList", L"SetCheckOfItemInList",
                                              L"GetTop10Ex"};

// The vtable side of a dual interface: slot, dispatch identifier and name of
// each method after IUnknown's three and IDispatch's four entries.
void ExpectLayout(ITypeLib* lib, REFIID iid, const std::vector<std::wstring>& methods) {
    ComPtr<ITypeInfo> dispatchInfo, info;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(iid, dispatchInfo.put()), S_OK);
    HREFTYPE vtableRef = 0;
    ASSERT_EQ(dispatchInfo->GetRefTypeOfImplType(-1, &vtableRef), S_OK);
    ASSERT_EQ(dispatchInfo->GetRefTypeInfo(vtableRef, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->cFuncs, methods.size());
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FNONEXTENSIBLE);
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < methods.size(); ++i) {
        FUNCDESC* f = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK);
        EXPECT_EQ(f->memid, static_cast<MEMBERID>(0x60020000 + i)) << i;
        EXPECT_EQ(f->oVft, static_cast<SHORT>((7 + i) * sizeof(void*))) << i;
        BSTR name = nullptr;
        info->GetDocumentation(f->memid, &name, nullptr, nullptr, nullptr);
        EXPECT_EQ(std::wstring(name ? name : L""), methods[i]);
        ::SysFreeString(name);
        info->ReleaseFuncDesc(f);
    }
}

TEST_F(EngineDispatch, TypeLibraryHoldsTheIdentitiesAndSlotOrder) {
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(::LoadRegTypeLib(LIBID_WexafelEngineLib, 1, 0, 0x409, lib.put()), S_OK);
    TLIBATTR* la = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&la), S_OK);
    EXPECT_EQ(la->lcid, 0x409u);
    EXPECT_EQ(la->wMajorVerNum, 1);
    EXPECT_EQ(la->wMinorVerNum, 0);
    lib->ReleaseTLibAttr(la);
    BSTR name = nullptr, doc = nullptr;
    lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    EXPECT_EQ(std::wstring(name), L"WexafelEngineLib");
    EXPECT_EQ(std::wstring(doc), L"WexafelEngine 1.0 Type Library");
    ::SysFreeString(name);
    ::SysFreeString(doc);

    ExpectLayout(lib.get(), IID_IWXEngine, kEngineMethods);
    ExpectLayout(lib.get(), IID_IWXEngineEx, kExMethods);
    ExpectLayout(lib.get(), IID_IWXEngineEvents,
                 {L"AddTheSameInOppositeList", L"AddTheSameInList"});

    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_WXEngine, coclass.put()), S_OK);
    coclass->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr);
    EXPECT_EQ(std::wstring(name), L"WXEngine");
    EXPECT_EQ(std::wstring(doc), L"WXEngine Class");
    ::SysFreeString(name);
    ::SysFreeString(doc);
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
}

TEST_F(EngineDispatch, ListTypeValuesAreBitValues) {
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(::LoadRegTypeLib(LIBID_WexafelEngineLib, 1, 0, 0x409, lib.put()), S_OK);
    ComPtr<ITypeInfo> info;
    MEMBERID id = 0;
    USHORT found = 1;
    OLECHAR enumName[] = L"LIST_TYPE";
    ASSERT_EQ(lib->FindName(enumName, 0, info.put(), &id, &found), S_OK);
    ASSERT_EQ(found, 1);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    ASSERT_EQ(attr->typekind, TKIND_ENUM);
    std::vector<std::pair<std::wstring, LONG>> values;
    for (UINT i = 0; i < attr->cVars; ++i) {
        VARDESC* v = nullptr;
        info->GetVarDesc(i, &v);
        BSTR n = nullptr;
        info->GetDocumentation(v->memid, &n, nullptr, nullptr, nullptr);
        values.emplace_back(n, v->lpvarValue->lVal);
        ::SysFreeString(n);
        info->ReleaseVarDesc(v);
    }
    info->ReleaseTypeAttr(attr);
    EXPECT_THAT(values, ElementsAre(std::pair<std::wstring, LONG>{L"PROCESS_LIST", 0},
                                    std::pair<std::wstring, LONG>{L"DOMAIN_LIST", 1},
                                    std::pair<std::wstring, LONG>{L"POPUP_LIST", 2},
                                    std::pair<std::wstring, LONG>{L"DOMAINDENY_LIST", 4},
                                    std::pair<std::wstring, LONG>{L"POPUPDENY_LIST", 8},
                                    std::pair<std::wstring, LONG>{L"PROCESSDENY_LIST", 16}));
}

TEST_F(EngineDispatch, IDispatchReachesTheExMethods) {
    ASSERT_EQ(Init(engine_.get()), S_OK);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(engine_.As(IID_IDispatch, dispatch), S_OK);
    UINT count = 0;
    ASSERT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(DispIdOf(dispatch.get(), L"GetIndexByName"), 0x60020000);
    EXPECT_EQ(DispIdOf(dispatch.get(), L"gettop10ex"), 0x60020004);
    EXPECT_EQ(DispIdOf(dispatch.get(), L"WXBlock"), DISPID_UNKNOWN); // IWXEngine is not on it

    Variant result;
    ASSERT_EQ(CallByDispId(dispatch.get(), 0x60020000, {IntArg(0), TextArg(L"SVCHOST.EXE")},
                           result.get()),
              S_OK);
    EXPECT_EQ(result.get()->vt, VT_I4);
    EXPECT_EQ(result.get()->lVal, 3);

    ASSERT_EQ(CallByDispId(dispatch.get(), DispIdOf(dispatch.get(), L"GetNameByIndex"),
                           {IntArg(0), IntArg(1)}, result.put()),
              S_OK);
    EXPECT_EQ(result.get()->vt, VT_BSTR);
    EXPECT_EQ(BstrToAnsi(result.get()->bstrVal), "iexplore.exe");

    ASSERT_EQ(CallByDispId(dispatch.get(), DispIdOf(dispatch.get(), L"SetCheckOfItemInList"),
                           {IntArg(0), IntArg(1), BoolArg(false)}, nullptr),
              S_OK);
    ASSERT_EQ(CallByDispId(dispatch.get(), DispIdOf(dispatch.get(), L"GetCheckOfItemInList"),
                           {IntArg(0), IntArg(1)}, result.put()),
              S_OK);
    EXPECT_EQ(result.get()->vt, VT_BOOL);
    EXPECT_EQ(result.get()->boolVal, VARIANT_FALSE);

    Variant sites, counts;
    ASSERT_EQ(CallByDispId(dispatch.get(), 0x60020004, {RefArg(sites.get()), RefArg(counts.get())},
                           nullptr),
              S_OK);
    EXPECT_EQ(sites.get()->vt, VT_ARRAY | VT_BSTR);
}

TEST_F(EngineDispatch, IWXEngineDispatchesItsOwnMethods) {
    // A controller that asks IWXEngine for its dispatch part.
    IDispatch* dispatch = engine_.get();
    EXPECT_EQ(DispIdOf(dispatch, L"WXBlock"), 0x60020000);
    EXPECT_EQ(DispIdOf(dispatch, L"SetEventPtr"), 0x6002001A);

    std::wstring folder(folder_.path().begin(), folder_.path().end());
    ASSERT_EQ(CallByDispId(dispatch, DispIdOf(dispatch, L"EngineInit"),
                           {TextArg(L"client.exe"), TextArg(folder.c_str()), BoolArg(false),
                            BoolArg(false), BoolArg(false), BoolArg(false), BoolArg(false),
                            BoolArg(false), BoolArg(false), BoolArg(false), IntArg(0), IntArg(0),
                            IntArg(0)},
                           nullptr),
              S_OK);

    // Outputs passed by reference to the controller's variants.
    Variant inserted, position;
    inserted.get()->vt = VT_BOOL;
    position.get()->vt = VT_I4;
    VARIANT insertedRef, positionRef;
    insertedRef.vt = VT_BYREF | VT_BOOL;
    insertedRef.pboolVal = &inserted.get()->boolVal;
    positionRef.vt = VT_BYREF | VT_I4;
    positionRef.plVal = &position.get()->lVal;
    ASSERT_EQ(CallByDispId(
                  dispatch, 0x60020005,
                  {IntArg(DOMAIN_LIST), TextArg(L"a.b"), BoolArg(true), insertedRef, positionRef},
                  nullptr),
              S_OK);
    EXPECT_EQ(inserted.get()->boolVal, VARIANT_TRUE);
    EXPECT_EQ(position.get()->lVal, 0);

    Variant present;
    ASSERT_EQ(CallByDispId(dispatch, DispIdOf(dispatch, L"IsItemPresent"),
                           {IntArg(DOMAIN_LIST), TextArg(L"A.B/")}, present.get()),
              S_OK);
    EXPECT_EQ(present.get()->vt, VT_BOOL);
    EXPECT_EQ(present.get()->boolVal, VARIANT_TRUE);

    Variant block, description;
    VARIANT blockRef;
    blockRef.vt = VT_BYREF | VT_BOOL;
    blockRef.pboolVal = &block.get()->boolVal;
    ASSERT_EQ(CallByDispId(dispatch, 0x60020000,
                           {TextArg(L"T"), TextArg(L"http://x.y/z"), TextArg(L"http://p.q/"),
                            TextArg(L"proc.exe"), IntArg(1), IntArg(2), IntArg(3), IntArg(4),
                            blockRef, RefArg(description.get())},
                           nullptr),
              S_OK);
    EXPECT_EQ(block.get()->boolVal, VARIANT_TRUE);
    EXPECT_THAT(Strings(*description.get()),
                ElementsAre("proc.exe", "http://x.y", "T", "http://p.q/"));

    // A bad position through late binding: the exception carries E_INVALIDARG.
    Variant result;
    SCODE scode = S_OK;
    EXPECT_EQ(CallByDispId(dispatch, DispIdOf(dispatch, L"OpenFromHistory"), {IntArg(5)},
                           result.get(), &scode),
              DISP_E_EXCEPTION);
    EXPECT_EQ(scode, E_INVALIDARG);
    Variant stats;
    ASSERT_EQ(
        CallByDispId(dispatch, DispIdOf(dispatch, L"GetStatistics"), {BoolArg(true)}, stats.get()),
        S_OK);
    EXPECT_EQ(Ints(*stats.get()).size(), 24u);
}

TEST_F(EngineDispatch, ScriptArraysReachDeleteFromList) {
    ComPtr<IDispatch> ex;
    IDispatch* dispatch = engine_.get();
    ASSERT_EQ(Init(engine_.get()), S_OK);
    // VBScript hands an array variable over as VT_BYREF|VT_VARIANT.
    SAFEARRAY* sa = ::SafeArrayCreateVector(VT_VARIANT, 0, 1);
    LONG index = 0;
    VARIANT zero = IntArg(0);
    ::SafeArrayPutElement(sa, &index, &zero);
    Variant array;
    array.get()->vt = VT_ARRAY | VT_VARIANT;
    array.get()->parray = sa;
    Variant ok;
    ASSERT_EQ(CallByDispId(dispatch, DispIdOf(dispatch, L"DeleteFromList"),
                           {IntArg(PROCESS_LIST), RefArg(array.get())}, ok.get()),
              S_OK);
    EXPECT_EQ(ok.get()->boolVal, VARIANT_TRUE);
    EXPECT_THAT(folder_.Read("\\processes.lst").substr(0, 14), "+iexplore.exe\r");
}

} // namespace
} // namespace qlx::engine::testing
