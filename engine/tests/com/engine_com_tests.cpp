// Early-bound calls on the registered WXEngine class: arrays, errors,
// events, aggregation and the module exports.
#include "common/win32/com_object.h"
#include "engine/tests/com/com_test_support.h"

namespace qlx::engine::testing {
namespace {

using ::testing::ElementsAre;

using EngineCom = EngineComTest;

TEST_F(EngineCom, ProgIdsResolveToTheClass) {
    CLSID clsid{};
    ASSERT_EQ(::CLSIDFromProgID(L"WXEngine.WXEngine", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_WXEngine));
    ASSERT_EQ(::CLSIDFromProgID(L"WXEngine.WXEngine.1", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_WXEngine));
}

TEST_F(EngineCom, DispatchIsTheExInterface) {
    ComPtr<IDispatch> dispatch;
    ComPtr<IWXEngineEx> ex;
    ComPtr<IUnknown> unknown1, unknown2;
    ASSERT_EQ(engine_.As(IID_IDispatch, dispatch), S_OK);
    ASSERT_EQ(engine_.As(IID_IWXEngineEx, ex), S_OK);
    EXPECT_EQ(static_cast<void*>(dispatch.get()), static_cast<void*>(ex.get()));
    EXPECT_NE(static_cast<void*>(dispatch.get()), static_cast<void*>(engine_.get()));
    ASSERT_EQ(engine_.As(IID_IUnknown, unknown1), S_OK);
    ASSERT_EQ(ex.As(IID_IUnknown, unknown2), S_OK);
    EXPECT_EQ(unknown1.get(), unknown2.get());
    ComPtr<IClassFactory> none;
    EXPECT_EQ(engine_.As(IID_IClassFactory, none), E_NOINTERFACE);
}

TEST_F(EngineCom, ListsComeBackAsStringAndBooleanArrays) {
    ASSERT_EQ(Init(engine_.get()), S_OK);
    Variant names, checks;
    names.get()->vt = VT_I4; // no array: the type is left as it was
    checks.get()->vt = VT_I4;
    ASSERT_EQ(engine_->GetList(POPUP_LIST, names.get(), checks.get()), S_OK);
    EXPECT_EQ(names.get()->vt, VT_I4);
    EXPECT_EQ(names.get()->parray, nullptr);
    names.put();
    checks.put();

    VARIANT_BOOL inserted = 0;
    int pos = -2;
    ASSERT_EQ(engine_->AddToList(POPUP_LIST, Bstr(L"B.com").get(), VARIANT_TRUE, &inserted, &pos),
              S_OK);
    EXPECT_EQ(inserted, VARIANT_TRUE);
    EXPECT_EQ(pos, 0);
    ASSERT_EQ(engine_->AddToList(POPUP_LIST, Bstr(L"a.com").get(), VARIANT_FALSE, &inserted, &pos),
              S_OK);
    EXPECT_EQ(pos, 0);
    ComPtr<IWXEngineEx> ex;
    ASSERT_EQ(engine_.As(IID_IWXEngineEx, ex), S_OK);
    ASSERT_EQ(ex->SetCheckOfItemInList(POPUP_LIST, 1, 1), S_OK); // 1 is not true
    ASSERT_EQ(engine_->GetList(POPUP_LIST, names.get(), checks.get()), S_OK);
    EXPECT_EQ(names.get()->vt, VT_ARRAY | VT_BSTR);
    EXPECT_EQ(checks.get()->vt, VT_ARRAY | VT_I2);
    EXPECT_THAT(Strings(*names.get()), ElementsAre("a.com", "B.com"));
    EXPECT_THAT(Ints(*checks.get()), ElementsAre(-1, 0));
    EXPECT_EQ(folder_.Read("\\urls.lst"), "+a.com\r\n+B.com\r\n"); // SetCheck does not save

    LONG index = 0;
    ASSERT_EQ(ex->GetIndexByName(POPUP_LIST, Bstr(L"B.COM").get(), &index), S_OK);
    EXPECT_EQ(index, 1);
    Bstr name;
    ASSERT_EQ(ex->GetNameByIndex(static_cast<LIST_TYPE>(77), 0, name.put()), S_OK);
    EXPECT_EQ(name.ToAnsi(), "explorer.exe");
    ASSERT_EQ(ex->GetNameByIndex(POPUP_LIST, 5, name.put()), S_OK);
    EXPECT_EQ(name.size(), 0u);
}

// A client may run its thread in a locale other than the system's: names are
// narrowed and widened with that thread's ANSI code page (Cyrillic is in 1251,
// not in the system's 1252).
TEST_F(EngineCom, TextsUseTheCodePageOfTheCallingThreadsLocale) {
    ASSERT_EQ(Init(engine_.get()), S_OK);
    const LCID before = ::GetThreadLocale();
    ASSERT_TRUE(
        ::SetThreadLocale(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT)));
    VARIANT_BOOL inserted = 0;
    int pos = -2;
    ASSERT_EQ(engine_->AddToList(DOMAIN_LIST, Bstr(L"http://\x0416.ru").get(), VARIANT_TRUE,
                                 &inserted, &pos),
              S_OK);
    EXPECT_EQ(folder_.Read("\\domains.lst"), "+http://\xC6.ru\r\n");
    ComPtr<IWXEngineEx> ex;
    ASSERT_EQ(engine_.As(IID_IWXEngineEx, ex), S_OK);
    Bstr name;
    ASSERT_EQ(ex->GetNameByIndex(DOMAIN_LIST, 0, name.put()), S_OK);
    EXPECT_EQ(std::wstring(name.view()), L"http://\x0416.ru");

    VARIANT_BOOL block = 0;
    Variant description;
    ASSERT_EQ(engine_->WXBlock(Bstr(L"\x0416").get(), Bstr(L"http://\x0416.ru/a").get(),
                               Bstr(L"http://p.q/").get(), Bstr(L"x.exe").get(), 0, 0, 0, 0, &block,
                               description.get()),
              S_OK);
    EXPECT_EQ(block, VARIANT_FALSE); // the site is allowed
    ASSERT_EQ(engine_->WXBlock(Bstr(L"\x0416").get(), Bstr(L"").get(), Bstr(L"http://p.q/").get(),
                               Bstr(L"x.exe").get(), 0, 0, 0, 0, &block, description.get()),
              S_OK);
    ASSERT_EQ(block, VARIANT_TRUE);
    ASSERT_EQ(description.get()->vt, VT_ARRAY | VT_BSTR);
    BSTR* texts = nullptr;
    ASSERT_EQ(::SafeArrayAccessData(description.get()->parray, reinterpret_cast<void**>(&texts)),
              S_OK);
    EXPECT_EQ(std::wstring(texts[2]), L"\x0416"); // the title
    ::SafeArrayUnaccessData(description.get()->parray);
    ::SetThreadLocale(before);
}

TEST_F(EngineCom, BlockDescribesThePopupAndWritesTheHistory) {
    ASSERT_EQ(Init(engine_.get()), S_OK);
    VARIANT_BOOL block = 0;
    Variant description;
    ASSERT_EQ(engine_->WXBlock(Bstr(L"Title").get(), Bstr(L"http://a.b/c/d.html").get(),
                               Bstr(L"http://p.q/x").get(), Bstr(L"iexplore.exe").get(), 1, 2, 3, 4,
                               &block, description.get()),
              S_OK);
    EXPECT_EQ(block, VARIANT_TRUE);
    EXPECT_EQ(description.get()->vt, VT_ARRAY | VT_BSTR);
    EXPECT_THAT(Strings(*description.get()),
                ElementsAre("iexplore.exe", "http://a.b", "Title", "http://p.q/x"));
    const std::string log = folder_.Read("\\history.log");
    EXPECT_NE(log.find("\t1\t1\t-1\t1\t2\t3\t4\tTitle\thttp://a.b\thttp://p.q/x\tiexplore.exe\r\n"),
              std::string::npos)
        << log;

    Variant history;
    ASSERT_EQ(engine_->GetHistory(history.get()), S_OK);
    const auto texts = Strings(*history.get());
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_THAT(std::vector<std::string>(texts.begin() + 1, texts.end()),
                ElementsAre("iexplore.exe", "http://p.q/x", "http://a.b", "Title"));

    Variant untouched;
    untouched.get()->vt = VT_I4;
    ASSERT_EQ(engine_->WXBlock(Bstr(L"").get(), Bstr(L"").get(), Bstr(L"res://SHDOCLC.DLL/x").get(),
                               Bstr(L"").get(), 0, 0, 0, 0, &block, untouched.get()),
              S_OK);
    EXPECT_EQ(block, VARIANT_FALSE);
    EXPECT_EQ(untouched.get()->vt, VT_I4);
    EXPECT_EQ(untouched.get()->parray, nullptr);

    untouched.get()->lVal = 7;
    ASSERT_EQ(engine_->WXBlock2(Bstr(L"").get(), Bstr(L"CLIENT.EXE").get(), 0, 0, 0, 0, &block,
                                untouched.get()),
              S_OK);
    EXPECT_EQ(block, VARIANT_FALSE);
    EXPECT_EQ(untouched.get()->lVal, 7); // WXBlock2 does not touch it
    ASSERT_EQ(engine_->WXBlock2(Bstr(L"http://o.p/").get(), Bstr(L"").get(), 0, 0, 0, 0, &block,
                                description.get()),
              S_OK);
    EXPECT_THAT(Strings(*description.get()), ElementsAre("N/A", "http://o.p/"));
}

TEST_F(EngineCom, FullLogicCountsOnlyWhenExactlyTrue) {
    ASSERT_EQ(Init(engine_.get(), 1, VARIANT_TRUE), S_OK);
    VARIANT_BOOL block = 0;
    Variant description;
    engine_->WXBlock(Bstr(L"t").get(), Bstr(L"http://a.b/").get(), Bstr(L"http://c.d/").get(),
                     Bstr(L"p").get(), 0, 0, 0, 0, &block, description.get());
    EXPECT_EQ(block, VARIANT_TRUE); // allow mode: in no list, blocked

    ComPtr<IWXEngine> deny = Create();
    ASSERT_EQ(Init(deny.get(), VARIANT_TRUE, VARIANT_TRUE), S_OK);
    deny->WXBlock(Bstr(L"t").get(), Bstr(L"http://a.b/").get(), Bstr(L"http://c.d/").get(),
                  Bstr(L"p").get(), 0, 0, 0, 0, &block, description.get());
    EXPECT_EQ(block, VARIANT_FALSE); // deny mode: in no list, let open
}

TEST_F(EngineCom, StatisticsAndRankingsHaveTheirArrayShapes) {
    ASSERT_EQ(Init(engine_.get()), S_OK);
    Variant values;
    ASSERT_EQ(engine_->GetStatistics(VARIANT_TRUE, values.get()), S_OK);
    EXPECT_EQ(values.get()->vt, VT_ARRAY | VT_I4);
    EXPECT_EQ(Ints(*values.get()).size(), 24u);
    ASSERT_EQ(engine_->GetStatistics(1, values.get()), S_OK);
    EXPECT_EQ(Ints(*values.get()).size(), 16u);

    Variant top;
    ASSERT_EQ(engine_->GetTop10(top.get()), S_OK);
    EXPECT_EQ(Strings(*top.get()), std::vector<std::string>(10));

    ComPtr<IWXEngineEx> ex;
    ASSERT_EQ(engine_.As(IID_IWXEngineEx, ex), S_OK);
    Variant sites, counts;
    ASSERT_EQ(ex->GetTop10Ex(sites.get(), counts.get()), S_OK);
    EXPECT_EQ(sites.get()->vt, VT_ARRAY | VT_BSTR);
    EXPECT_EQ(sites.get()->parray, nullptr);
    EXPECT_EQ(counts.get()->vt, VT_ARRAY | VT_I4);

    Variant unique;
    ASSERT_EQ(engine_->GetUniqueDomains(unique.get()), S_OK);
    EXPECT_EQ(unique.get()->vt, VT_EMPTY);

    VARIANT_BOOL block = 0;
    Variant d;
    for (int i = 0; i < 2; ++i) {
        engine_->WXBlock(Bstr(L"t").get(), Bstr(L"http://a.b/").get(), Bstr(L"http://c.d/").get(),
                         Bstr(L"p").get(), 0, 0, 0, 0, &block, d.get());
    }
    ASSERT_EQ(ex->GetTop10Ex(sites.get(), counts.get()), S_OK);
    EXPECT_THAT(Strings(*sites.get()), ElementsAre("http://a.b"));
    EXPECT_THAT(Ints(*counts.get()), ElementsAre(2));
    ASSERT_EQ(engine_->GetUniqueDomains(unique.get()), S_OK);
    EXPECT_THAT(Strings(*unique.get()), ElementsAre("http://a.b"));
}

TEST_F(EngineCom, RefusesCallsBeforeInitAndASecondInit) {
    VARIANT_BOOL flag = VARIANT_TRUE;
    int pos = 0;
    EXPECT_EQ(engine_->AddToList(POPUP_LIST, Bstr(L"x").get(), VARIANT_TRUE, &flag, &pos),
              E_UNEXPECTED);
    Variant v;
    EXPECT_EQ(engine_->WXBlock(nullptr, nullptr, nullptr, nullptr, 0, 0, 0, 0, &flag, v.get()),
              E_UNEXPECTED);
    EXPECT_EQ(engine_->SaveParams(), E_UNEXPECTED);
    // EngineInit sets the parameters itself; a sink may be wired before it.
    EXPECT_EQ(engine_->SetParams(VARIANT_TRUE, 0, 0, 0, 0, 0, 0, 1, 2, 3), E_UNEXPECTED);
    EXPECT_EQ(engine_->SetEventPtr(nullptr), S_OK);
    ASSERT_EQ(Init(engine_.get()), S_OK);
    EXPECT_EQ(Init(engine_.get()), E_UNEXPECTED);
    Variant names, checks;
    ASSERT_EQ(engine_->GetList(PROCESS_LIST, names.get(), checks.get()), S_OK);
    EXPECT_EQ(Strings(*names.get()).size(), 7u);
}

TEST_F(EngineCom, ExInterfaceAnswersFromEmptyListsBeforeInit) {
    ComPtr<IWXEngineEx> ex;
    ASSERT_EQ(engine_.As(IID_IWXEngineEx, ex), S_OK);
    LONG index = 0;
    ASSERT_EQ(ex->GetIndexByName(PROCESS_LIST, Bstr(L"explorer.exe").get(), &index), S_OK);
    EXPECT_EQ(index, -1);
    VARIANT_BOOL check = VARIANT_TRUE;
    ASSERT_EQ(ex->GetCheckOfItemInList(PROCESS_LIST, 0, &check), S_OK);
    EXPECT_EQ(check, VARIANT_FALSE);
    EXPECT_EQ(ex->SetCheckOfItemInList(PROCESS_LIST, 0, VARIANT_TRUE), S_OK);
    Variant sites, counts;
    ASSERT_EQ(ex->GetTop10Ex(sites.get(), counts.get()), S_OK);
    EXPECT_EQ(sites.get()->parray, nullptr);
    EXPECT_TRUE(folder_.Files().empty());
}

TEST_F(EngineCom, BadPositionsAndKindsAreInvalidArguments) {
    ASSERT_EQ(Init(engine_.get()), S_OK);
    VARIANT_BOOL flag = VARIANT_TRUE;
    int pos = 0;
    const auto bad = static_cast<LIST_TYPE>(3);
    EXPECT_EQ(engine_->AddToList(bad, Bstr(L"x").get(), VARIANT_TRUE, &flag, &pos), E_INVALIDARG);
    EXPECT_EQ(engine_->EditInList(POPUP_LIST, 0, Bstr(L"x").get(), VARIANT_TRUE, &flag),
              E_INVALIDARG);
    EXPECT_EQ(engine_->IsServerObject(PROCESS_LIST, 0, &flag), E_INVALIDARG);
    EXPECT_EQ(engine_->AddUpdateObj(PROCESSDENY_LIST), E_INVALIDARG);
    EXPECT_FALSE(folder_.Exists("\\upddenyprocesses.lst"));
    EXPECT_EQ(engine_->OpenFromHistory(0), E_INVALIDARG);
    EXPECT_EQ(engine_->OpenFromList(POPUP_LIST, 0), E_INVALIDARG);
    EXPECT_EQ(engine_->AddToListFromHistory(POPUP_LIST, 0, &flag, &pos), E_INVALIDARG);

    Variant positions;
    WriteInt32Array({0, 9}, positions.get());
    flag = VARIANT_TRUE;
    EXPECT_EQ(engine_->DeleteFromList(PROCESS_LIST, positions.get(), &flag), E_INVALIDARG);
    EXPECT_EQ(flag, VARIANT_FALSE);
    Variant names, checks;
    engine_->GetList(PROCESS_LIST, names.get(), checks.get());
    EXPECT_EQ(Strings(*names.get()).size(), 7u); // nothing removed
    EXPECT_EQ(engine_->DeleteFromHistory(positions.get(), &flag), E_INVALIDARG);
}

TEST_F(EngineCom, NullOutputPointersAreRefused) {
    ASSERT_EQ(Init(engine_.get()), S_OK);
    VARIANT_BOOL flag = 0;
    Variant v;
    EXPECT_EQ(engine_->WXBlock(nullptr, nullptr, nullptr, nullptr, 0, 0, 0, 0, nullptr, v.get()),
              E_POINTER);
    EXPECT_EQ(engine_->WXBlock2(nullptr, nullptr, 0, 0, 0, 0, &flag, nullptr), E_POINTER);
    EXPECT_EQ(engine_->GetList(POPUP_LIST, nullptr, v.get()), E_POINTER);
    EXPECT_EQ(engine_->AddToList(POPUP_LIST, nullptr, VARIANT_TRUE, &flag, nullptr), E_POINTER);
    EXPECT_EQ(engine_->DeleteFromList(POPUP_LIST, nullptr, &flag), E_POINTER);
    EXPECT_EQ(engine_->GetStatistics(VARIANT_TRUE, nullptr), E_POINTER);
    EXPECT_EQ(engine_->IsItemPresent(POPUP_LIST, nullptr, nullptr), E_POINTER);
    ComPtr<IWXEngineEx> ex;
    ASSERT_EQ(engine_.As(IID_IWXEngineEx, ex), S_OK);
    EXPECT_EQ(ex->GetIndexByName(POPUP_LIST, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(ex->GetNameByIndex(POPUP_LIST, 0, nullptr), E_POINTER);
    EXPECT_EQ(ex->GetTop10Ex(nullptr, v.get()), E_POINTER);
    EXPECT_EQ(engine_->QueryInterface(IID_IWXEngine, nullptr), E_POINTER);
}

// Script clients pass arrays of VARIANTs; C++ clients arrays of 32-bit integers.
TEST_F(EngineCom, DeletionTakesEitherArrayFormAndAdjustsIt) {
    ASSERT_EQ(Init(engine_.get()), S_OK);
    VARIANT_BOOL flag = 0;
    int pos = 0;
    for (const wchar_t* n : {L"a", L"b", L"c", L"d", L"e"}) {
        engine_->AddToList(POPUP_LIST, Bstr(n).get(), VARIANT_TRUE, &flag, &pos);
    }
    // VT_ARRAY|VT_VARIANT with mixed integer types, as VBScript's Array(1, 2).
    SAFEARRAY* sa = ::SafeArrayCreateVector(VT_VARIANT, 0, 2);
    VARIANT* items = nullptr;
    ::SafeArrayAccessData(sa, reinterpret_cast<void**>(&items));
    items[0].vt = VT_I2;
    items[0].iVal = 1;
    items[1].vt = VT_I4;
    items[1].lVal = 2;
    ::SafeArrayUnaccessData(sa);
    Variant scriptArray;
    scriptArray.get()->vt = VT_ARRAY | VT_VARIANT;
    scriptArray.get()->parray = sa;
    ASSERT_EQ(engine_->DeleteFromList(POPUP_LIST, scriptArray.get(), &flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
    EXPECT_THAT(Ints(*scriptArray.get()), ElementsAre(1, 1)); // adjusted in place
    EXPECT_EQ(folder_.Read("\\urls.lst"), "+a\r\n+d\r\n+e\r\n");

    Variant plain;
    WriteInt32Array({2, 0}, plain.get());
    ASSERT_EQ(engine_->DeleteFromList(POPUP_LIST, plain.get(), &flag), S_OK);
    EXPECT_EQ(folder_.Read("\\urls.lst"), "+d\r\n");

    Variant wrong;
    WriteStringArray({"x"}, wrong.get());
    EXPECT_EQ(engine_->DeleteFromList(POPUP_LIST, wrong.get(), &flag), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(folder_.Read("\\urls.lst"), "+d\r\n");
}

TEST_F(EngineCom, HistoryDeletionTakesScriptArrays) {
    ASSERT_EQ(Init(engine_.get()), S_OK);
    VARIANT_BOOL flag = 0;
    Variant d;
    for (const wchar_t* p : {L"http://p/1", L"http://p/2", L"http://p/3"}) {
        engine_->WXBlock(Bstr(L"t").get(), Bstr(L"").get(), Bstr(p).get(), Bstr(L"x").get(), 0, 0,
                         0, 0, &flag, d.get());
    }
    SAFEARRAY* sa = ::SafeArrayCreateVector(VT_VARIANT, 0, 2);
    VARIANT* items = nullptr;
    ::SafeArrayAccessData(sa, reinterpret_cast<void**>(&items));
    items[0].vt = VT_I4;
    items[0].lVal = 2;
    items[1].vt = VT_I4;
    items[1].lVal = 0;
    ::SafeArrayUnaccessData(sa);
    Variant positions;
    positions.get()->vt = VT_ARRAY | VT_VARIANT;
    positions.get()->parray = sa;
    ASSERT_EQ(engine_->DeleteFromHistory(positions.get(), &flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
    Variant history;
    engine_->GetHistory(history.get());
    const auto texts = Strings(*history.get());
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[2], "http://p/2");
}

// Lives on the test's stack: its count is only watched, never acted on.
class RecordingSink final : public WithoutTypeInfo<IWXEngineEvents> {
public:
    LONG refs = 1;
    VARIANT_BOOL answer = VARIANT_TRUE;
    std::vector<std::string> calls;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, IID_IWXEngineEvents)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP AddTheSameInOppositeList(LIST_TYPE kind, BSTR name, VARIANT_BOOL* pVal) override {
        calls.push_back("opposite " + std::to_string(kind) + " " + BstrToAnsi(name));
        *pVal = answer;
        return S_OK;
    }
    STDMETHODIMP AddTheSameInList(LIST_TYPE kind, BSTR name) override {
        calls.push_back("same " + std::to_string(kind) + " " + BstrToAnsi(name));
        return S_OK;
    }
};

TEST_F(EngineCom, EventSinkIsAskedAboutConflictsAndHeldUntilRelease) {
    ASSERT_EQ(Init(engine_.get()), S_OK);
    RecordingSink sink;
    ASSERT_EQ(engine_->SetEventPtr(&sink), S_OK);
    EXPECT_EQ(sink.refs, 2);
    ASSERT_EQ(engine_->SetEventPtr(nullptr), S_OK); // keeps the sink
    EXPECT_EQ(sink.refs, 2);

    VARIANT_BOOL inserted = 0;
    int pos = 0;
    engine_->AddToList(DOMAINDENY_LIST, Bstr(L"x.com").get(), VARIANT_TRUE, &inserted, &pos);
    sink.answer = VARIANT_FALSE;
    ASSERT_EQ(engine_->AddToList(DOMAIN_LIST, Bstr(L"x.com").get(), VARIANT_TRUE, &inserted, &pos),
              S_OK);
    EXPECT_EQ(inserted, VARIANT_FALSE);
    EXPECT_EQ(pos, -1);
    sink.answer = 1; // only -1 is true
    ASSERT_EQ(engine_->AddToList(DOMAIN_LIST, Bstr(L"x.com").get(), VARIANT_TRUE, &inserted, &pos),
              S_OK);
    EXPECT_EQ(inserted, VARIANT_FALSE);
    sink.answer = VARIANT_TRUE;
    ASSERT_EQ(engine_->AddToList(DOMAIN_LIST, Bstr(L"x.com").get(), VARIANT_TRUE, &inserted, &pos),
              S_OK);
    EXPECT_EQ(inserted, VARIANT_TRUE);
    ASSERT_EQ(engine_->AddToList(DOMAIN_LIST, Bstr(L"X.com/").get(), VARIANT_TRUE, &inserted, &pos),
              S_OK);
    EXPECT_EQ(pos, -1);
    EXPECT_THAT(sink.calls, ElementsAre("opposite 1 x.com", "opposite 1 x.com", "opposite 1 x.com",
                                        "same 1 X.com/"));
    engine_.reset();
    EXPECT_EQ(sink.refs, 1);
}

// An outer object that aggregates the engine and answers its interfaces
// through it.
class Outer final : public IUnknown {
public:
    LONG refs = 1;
    ComPtr<IUnknown> inner;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return inner->QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
};

TEST_F(EngineCom, CanBeAggregated) {
    Outer outer;
    ComPtr<IWXEngine> refused;
    EXPECT_EQ(::CoCreateInstance(CLSID_WXEngine, &outer, CLSCTX_INPROC_SERVER, IID_IWXEngine,
                                 refused.put_void()),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(::CoCreateInstance(CLSID_WXEngine, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                 outer.inner.put_void()),
              S_OK);
    EXPECT_EQ(outer.refs, 1);
    {
        ComPtr<IWXEngine> engine;
        ASSERT_EQ(outer.QueryInterface(IID_IWXEngine, engine.put_void()), S_OK);
        EXPECT_EQ(outer.refs, 2); // the inner object's interfaces count on the outer
        ComPtr<IUnknown> identity;
        ASSERT_EQ(engine.As(IID_IUnknown, identity), S_OK);
        EXPECT_EQ(identity.get(), static_cast<IUnknown*>(&outer));
        ComPtr<IWXEngineEx> ex;
        ASSERT_EQ(engine.As(IID_IWXEngineEx, ex), S_OK);
        ASSERT_EQ(Init(engine.get()), S_OK);
        LONG index = 0;
        ASSERT_EQ(ex->GetIndexByName(PROCESS_LIST, Bstr(L"rpcss.exe").get(), &index), S_OK);
        EXPECT_EQ(index, 2);
    }
    EXPECT_EQ(outer.refs, 1);
    outer.inner.reset();
}

TEST_F(EngineCom, ModuleUnloadsOnlyWithoutObjects) {
    HMODULE dll = ::GetModuleHandleA("QLXEng.dll");
    ASSERT_NE(dll, nullptr);
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    using GetClass = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto canUnload = reinterpret_cast<CanUnload>(
        reinterpret_cast<void*>(::GetProcAddress(dll, "DllCanUnloadNow")));
    auto getClass = reinterpret_cast<GetClass>(
        reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    ASSERT_TRUE(canUnload && getClass);
    EXPECT_EQ(canUnload(), S_FALSE);
    engine_.reset();
    EXPECT_EQ(canUnload(), S_OK);
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClass(IID_IWXEngine, IID_IClassFactory, factory.put_void()),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(getClass(CLSID_WXEngine, IID_IClassFactory, factory.put_void()), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(EngineCom, FilesAreReplacedWholeWithoutLeftovers) {
    folder_.Write("\\svrurls.lst", "+x\r\n+y\r\n");
    folder_.Write("\\urls.lst", "+x\r\n+y\r\n+w\r\n");
    ASSERT_EQ(Init(engine_.get()), S_OK);
    folder_.Write("\\updurls.lst", "+y\r\n+z\r\n");
    ASSERT_EQ(engine_->AddUpdateObj(POPUP_LIST), S_OK);
    EXPECT_EQ(folder_.Read("\\urls.lst"), "+w\r\n+y\r\n+z\r\n");
    EXPECT_EQ(folder_.Read("\\svrurls.lst"), "+y\r\n+z\r\n");
    EXPECT_FALSE(folder_.Exists("\\updurls.lst"));
    VARIANT_BOOL flag = 0;
    Variant d;
    engine_->WXBlock(Bstr(L"t").get(), Bstr(L"").get(), Bstr(L"http://p/").get(), Bstr(L"x").get(),
                     0, 0, 0, 0, &flag, d.get());
    ASSERT_EQ(engine_->SaveParams(), S_OK);
    EXPECT_THAT(folder_.Files(),
                ElementsAre("denydomains.lst", "denyprocesses.lst", "denyurls.lst", "domains.lst",
                            "history.log", "processes.lst", "svrdenydomains.lst", "svrdenyurls.lst",
                            "svrdomains.lst", "svrurls.lst", "urls.lst"));
}

} // namespace
} // namespace qlx::engine::testing
