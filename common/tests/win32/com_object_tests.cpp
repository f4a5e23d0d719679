// The COM object convention: interface tables, counting, Make, aggregation,
// type information served once per module, and the apartment guard.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <thread>

#include "common/win32/com_apartment.h"
#include "common/win32/com_module.h"
#include "common/win32/com_object.h"
#include "common/win32/registrar.h"
#include "sample.h"

namespace qlx {
namespace {

// The test program carries the sample type library as its resource 1.
int g_sampleLoads = 0;
struct SampleTypes {
    static HRESULT Load(REFGUID guid, ITypeInfo** info) noexcept {
        ++g_sampleLoads;
        return LoadTypeInfoOfModule(nullptr, guid, info);
    }
};

int g_missingLoads = 0;
struct MissingTypes {
    static HRESULT Load(REFGUID, ITypeInfo** info) noexcept {
        ++g_missingLoads;
        *info = nullptr;
        return TYPE_E_CANTLOADLIBRARY;
    }
};

// Libraries whose objects keep the older answers of their servers.
struct LaxSampleTypes {
    static constexpr DispatchRules kRules{.refusesReservedIid = false};
    static HRESULT Load(REFGUID guid, ITypeInfo** info) noexcept {
        return LoadTypeInfoOfModule(nullptr, guid, info);
    }
};
struct DeclaredMissingTypes {
    static constexpr DispatchRules kRules{.countsTypeInfoItCannotLoad = true,
                                          .checksIndexFirst = true};
    static HRESULT Load(REFGUID guid, ITypeInfo** info) noexcept {
        return MissingTypes::Load(guid, info);
    }
};

int g_alive = 0;

template <typename Library>
class Sample final
    : public ComObject<Sample<Library>, Dispatch<IQlxSample, IID_IQlxSample, Library>, IPersist> {
public:
    using Interfaces =
        InterfaceTable<Answers<IQlxSample, IID_IQlxSample>, Answers<IQlxSample, IID_IDispatch>,
                       Answers<IPersist, IID_IPersist>>;
    Sample() { ++g_alive; }
    ~Sample() override { --g_alive; }

    STDMETHODIMP Twice(LONG value, LONG* result) override {
        RETURN_IF_NULL_POINTER(result);
        *result = value * 2;
        return S_OK;
    }
    STDMETHODIMP GetClassID(CLSID* id) override {
        RETURN_IF_NULL_POINTER(id);
        *id = CLSID_NULL;
        return S_OK;
    }
};
using GoodSample = Sample<SampleTypes>;

ULONG CountOf(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

void* Query(IUnknown* object, REFIID iid, HRESULT expected) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(object->QueryInterface(iid, &out), expected);
    if (out != nullptr && out != reinterpret_cast<void*>(1)) {
        static_cast<IUnknown*>(out)->Release();
    }
    return out;
}

TEST(ComObject, QueryInterfaceWalksTheTable) {
    ComPtr<GoodSample> sample = Make<GoodSample>();
    IUnknown* primary = static_cast<IQlxSample*>(sample.get());
    IUnknown* persist = static_cast<IPersist*>(sample.get());
    const struct {
        const IID* iid;
        IUnknown* answer;
    } rows[] = {
        {&IID_IUnknown, primary}, {&IID_IQlxSample, primary},    {&IID_IDispatch, primary},
        {&IID_IPersist, persist}, {&IID_IClassFactory, nullptr}, {&IID_IStream, nullptr},
        {&IID_NULL, nullptr},
    };
    for (const auto& row : rows) {
        // Asked through either interface, the answer is the same.
        for (IUnknown* through : {primary, persist}) {
            EXPECT_EQ(Query(through, *row.iid, row.answer ? S_OK : E_NOINTERFACE), row.answer);
        }
    }
    EXPECT_EQ(sample->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(CountOf(primary), 1u); // every answer was released
}

TEST(ComObject, MakeHandsOutTheFirstReference) {
    {
        ComPtr<GoodSample> sample = Make<GoodSample>();
        EXPECT_EQ(g_alive, 1);
        EXPECT_EQ(CountOf(static_cast<IPersist*>(sample.get())), 1u);
        EXPECT_EQ(sample->AddRef(), 2u);
        EXPECT_EQ(sample->Release(), 1u);
        ComPtr<IPersist> persist;
        ASSERT_EQ(sample.As(IID_IPersist, persist), S_OK);
        EXPECT_EQ(CountOf(persist.get()), 2u);
        sample.reset();
        EXPECT_EQ(g_alive, 1); // still held through IPersist
    }
    EXPECT_EQ(g_alive, 0);
}

TEST(ComObject, CreateInstanceRefusesAnOuterObject) {
    ComPtr<GoodSample> outer = Make<GoodSample>();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateInstance<GoodSample>(static_cast<IPersist*>(outer.get()), IID_IUnknown, &out),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CreateInstance<GoodSample>(nullptr, IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(CreateInstance<GoodSample>(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(CreateInstance<GoodSample>(nullptr, IID_IPersist, &out), S_OK);
    auto persist = ComPtr<IPersist>::Attach(static_cast<IPersist*>(out));
    EXPECT_EQ(CountOf(persist.get()), 1u);
    persist.reset();
    EXPECT_EQ(g_alive, 1); // `outer`
}

TEST(ClassFactory, AnswersDllGetClassObjectForItsOneClass) {
    ClassFactory factory(&CreateInstance<GoodSample>);
    constexpr CLSID kServed = {
        0x7E3B1C55, 0x0D5E, 0x4C9A, {0x9A, 0x51, 0x2B, 0x6C, 0x1F, 0x0E, 0x9A, 0x03}};
    const struct {
        const CLSID* asked;
        const IID* iid;
        HRESULT expected;
    } rows[] = {
        {&kServed, &IID_IClassFactory, S_OK},
        {&kServed, &IID_IUnknown, S_OK},
        {&kServed, &IID_IDispatch, E_NOINTERFACE},
        {&CLSID_NULL, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
    };
    for (const auto& row : rows) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory.ForClass(kServed, *row.asked, *row.iid, &out), row.expected);
        EXPECT_EQ(out, row.expected == S_OK ? static_cast<IClassFactory*>(&factory) : nullptr);
    }
    EXPECT_EQ(factory.ForClass(kServed, kServed, IID_IClassFactory, nullptr), E_POINTER);
    IClassFactory* asFactory = &factory;
    void* made = nullptr;
    ASSERT_EQ(asFactory->CreateInstance(nullptr, IID_IPersist, &made), S_OK);
    static_cast<IPersist*>(made)->Release();
    EXPECT_EQ(g_alive, 0);
}

class Part final : public AggregableObject<Part, IPersist> {
public:
    using Interfaces = InterfaceTable<Answers<IPersist, IID_IPersist>>;
    explicit Part(IUnknown* outer) : AggregableObject(outer) { ++g_alive; }
    ~Part() override { --g_alive; }
    STDMETHODIMP GetClassID(CLSID* id) override {
        RETURN_IF_NULL_POINTER(id);
        *id = CLSID_NULL;
        return S_OK;
    }
};

TEST(AggregableObject, StandsAloneOrDelegatesToItsOuterObject) {
    void* out = nullptr;
    ASSERT_EQ(Part::Create(nullptr, IID_IPersist, &out), S_OK);
    auto alone = ComPtr<IPersist>::Attach(static_cast<IPersist*>(out));
    EXPECT_EQ(CountOf(alone.get()), 1u);
    EXPECT_NE(Query(alone.get(), IID_IUnknown, S_OK), nullptr);
    EXPECT_EQ(Query(alone.get(), IID_IDispatch, E_NOINTERFACE), nullptr);
    alone.reset();
    EXPECT_EQ(g_alive, 0);

    ComPtr<GoodSample> outer = Make<GoodSample>();
    IUnknown* outerUnknown = static_cast<IQlxSample*>(outer.get());
    EXPECT_EQ(Part::Create(outerUnknown, IID_IPersist, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(Part::Create(outerUnknown, IID_IUnknown, &out), S_OK);
    auto inner = ComPtr<IUnknown>::Attach(static_cast<IUnknown*>(out));
    ComPtr<IPersist> part;
    ASSERT_EQ(inner.As(IID_IPersist, part), S_OK);
    // The part's IUnknown is the outer object's: its count and its table.
    EXPECT_EQ(CountOf(outerUnknown), 2u);
    EXPECT_EQ(Query(part.get(), IID_IUnknown, S_OK), outerUnknown);
    EXPECT_EQ(Query(part.get(), IID_IDispatch, S_OK), outerUnknown);
    part.reset();
    EXPECT_EQ(g_alive, 2);
    inner.reset();
    EXPECT_EQ(g_alive, 1);
}

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(apartment_.entered()); }
    ComApartment apartment_;
};

DISPID IdOf(IDispatch* dispatch, const wchar_t* name, HRESULT expected = S_OK,
            REFIID iid = IID_NULL) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 12345;
    EXPECT_EQ(dispatch->GetIDsOfNames(iid, names, 1, 0, &id), expected);
    return id;
}

UINT TypeInfoCount(IDispatch* dispatch) {
    UINT count = 7;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    return count;
}

// Late-bound Twice(value), or the member `id`, through Invoke.
HRESULT InvokeTwice(IDispatch* dispatch, LONG value, LONG* twice, REFIID iid = IID_NULL,
                    DISPID id = 1) {
    VARIANT argument;
    ::VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = value;
    DISPPARAMS params{&argument, nullptr, 1, 0};
    VARIANT result;
    ::VariantInit(&result);
    const HRESULT hr =
        dispatch->Invoke(id, iid, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    EXPECT_TRUE(FAILED(hr) || result.vt == VT_I4);
    *twice = result.lVal;
    return hr;
}

TEST_F(DispatchTest, ServesTheDualInterfaceFromItsTypeInformation) {
    ComPtr<GoodSample> sample = Make<GoodSample>();
    IDispatch* dispatch = sample.get();
    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(dispatch->GetTypeInfoCount(nullptr), E_POINTER);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(dispatch->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
    EXPECT_EQ(dispatch->GetTypeInfo(0, 0, nullptr), E_POINTER);
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IQlxSample));
    info->ReleaseTypeAttr(attr);

    EXPECT_EQ(IdOf(dispatch, L"Twice"), 1);
    EXPECT_EQ(IdOf(dispatch, L"twice"), 1);
    IdOf(dispatch, L"Thrice", DISP_E_UNKNOWNNAME);
    IdOf(dispatch, L"Twice", DISP_E_UNKNOWNINTERFACE, IID_IQlxSample);

    LONG twice = 0;
    ASSERT_EQ(InvokeTwice(dispatch, 21, &twice), S_OK);
    EXPECT_EQ(twice, 42);
    EXPECT_EQ(InvokeTwice(dispatch, 21, &twice, IID_IQlxSample), DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(InvokeTwice(dispatch, 21, &twice, IID_NULL, 99), DISP_E_MEMBERNOTFOUND);
}

TEST_F(DispatchTest, TypeInformationIsLoadedOncePerModule) {
    ComPtr<GoodSample> first = Make<GoodSample>();
    ComPtr<GoodSample> second = Make<GoodSample>();
    ComPtr<ITypeInfo> a, b;
    ASSERT_EQ(first->GetTypeInfo(0, 0, a.put()), S_OK);
    const int loads = g_sampleLoads;
    ASSERT_EQ(second->GetTypeInfo(0, 0, b.put()), S_OK);
    EXPECT_EQ(IdOf(second.get(), L"Twice"), 1);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(g_sampleLoads, loads);
    EXPECT_LE(g_sampleLoads, 1);
    // Cleared, it is loaded again when next asked for.
    a.reset();
    b.reset();
    ModuleTypeInfo<SampleTypes>::Clear();
    EXPECT_EQ(IdOf(first.get(), L"Twice"), 1);
    EXPECT_EQ(g_sampleLoads, loads + 1);
}

TEST_F(DispatchTest, WithoutTypeInformationLateBindingFailsWithTheLoadingError) {
    ComPtr<Sample<MissingTypes>> sample = Make<Sample<MissingTypes>>();
    EXPECT_EQ(TypeInfoCount(sample.get()), 0u);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(sample->GetTypeInfo(0, 0, info.put()), TYPE_E_CANTLOADLIBRARY);
    EXPECT_FALSE(info);
    IdOf(sample.get(), L"Twice", TYPE_E_CANTLOADLIBRARY);
    DISPPARAMS none{};
    EXPECT_EQ(sample->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              TYPE_E_CANTLOADLIBRARY);
    // A failure is not kept: every call tries again.
    EXPECT_EQ(g_missingLoads, 4);
    LONG twice = 0;
    EXPECT_EQ(sample->Twice(4, &twice), S_OK); // early binding needs no type information
    EXPECT_EQ(twice, 8);
}

TEST_F(DispatchTest, ALibrarysRulesSettleTheCornerCases) {
    ComPtr<Sample<LaxSampleTypes>> lax = Make<Sample<LaxSampleTypes>>();
    EXPECT_EQ(IdOf(lax.get(), L"Twice", S_OK, IID_IQlxSample), 1);
    LONG twice = 0;
    EXPECT_EQ(InvokeTwice(lax.get(), 5, &twice, IID_IQlxSample), S_OK);
    EXPECT_EQ(twice, 10);

    ComPtr<Sample<DeclaredMissingTypes>> declared = Make<Sample<DeclaredMissingTypes>>();
    EXPECT_EQ(TypeInfoCount(declared.get()), 1u);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(declared->GetTypeInfo(0, 0, info.put()), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(declared->GetTypeInfo(1, 0, nullptr), DISP_E_BADINDEX);
    EXPECT_EQ(lax->GetTypeInfo(1, 0, nullptr), E_POINTER);
    IdOf(declared.get(), L"Twice", DISP_E_UNKNOWNINTERFACE, IID_IQlxSample);
}

TEST_F(DispatchTest, RegisteredTypeInformationLoadsByLibraryId) {
    HMODULE self = ::GetModuleHandleA(nullptr);
    ASSERT_EQ(RegisterModuleTypeLib(self), S_OK);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(LoadRegisteredTypeInfo(LIBID_QlxCommonTestLib, 1, 0, 0, IID_IQlxSample, info.put()),
              S_OK);
    EXPECT_TRUE(info);
    EXPECT_EQ(LoadRegisteredTypeInfo(LIBID_QlxCommonTestLib, 1, 0, 0, IID_IQlxSample, nullptr),
              E_POINTER);
    ASSERT_EQ(UnregisterModuleTypeLib(self), S_OK);
    EXPECT_TRUE(FAILED(
        LoadRegisteredTypeInfo(LIBID_QlxCommonTestLib, 1, 0, 0, IID_IQlxSample, info.put())));
    EXPECT_FALSE(info);
}

// A thread's apartment guard: entered and left, nested, or refused when the
// thread is in an apartment of the other kind (then never left).
TEST(ComApartment, LeavesOnlyWhatItEntered) {
    std::thread([] {
        {
            const ComApartment outer;
            EXPECT_EQ(outer.result(), S_OK);
            const ComApartment nested;
            EXPECT_EQ(nested.result(), S_FALSE);
            EXPECT_TRUE(nested.entered());
            const ComApartment other(COINIT_MULTITHREADED);
            EXPECT_EQ(other.result(), RPC_E_CHANGED_MODE);
            EXPECT_FALSE(other.entered());
        }
        // Every guard is gone and the thread has left COM: a new model takes.
        const ComApartment again(COINIT_MULTITHREADED);
        EXPECT_EQ(again.result(), S_OK);
        const OleApartment ole;
        EXPECT_EQ(ole.result(), RPC_E_CHANGED_MODE); // OLE needs a single-threaded one
        EXPECT_FALSE(ole.entered());
    }).join();
    std::thread([] {
        const OleApartment ole;
        EXPECT_TRUE(ole.entered());
        const ComApartment com;
        EXPECT_EQ(com.result(), S_FALSE);
    }).join();
}

} // namespace
} // namespace qlx
