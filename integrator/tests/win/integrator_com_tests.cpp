// The COM surface of qlxi.dll, loaded straight from the bin folder (no
// registration needed): class factory and unloading, strings, type
// information, the site, the event subscription and the click handlers.
#include <windows.h>
#include <exdispid.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <optional>

#include "browser_objects.h"
#include "common/win32/bstr.h"
#include "common/win32/com_apartment.h"
#include "common/win32/com_ptr.h"
#include "common/win32/unique_handle.h"
#include "wx_integrator.h"

namespace {

using qlx::Bstr;
using qlx::ComApartment;
using qlx::ComPtr;
using qlx::browser_host::Browser;
using qlx::browser_host::BrowserChrome;

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadFn = HRESULT(WINAPI*)();

class IntegratorComTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(apartment_.emplace().entered());
        module_ = ::LoadLibraryA("qlxi.dll");
        ASSERT_NE(module_, nullptr);
        getClassObject_ = reinterpret_cast<GetClassObjectFn>(
            reinterpret_cast<void*>(::GetProcAddress(module_, "DllGetClassObject")));
        canUnload_ = reinterpret_cast<CanUnloadFn>(
            reinterpret_cast<void*>(::GetProcAddress(module_, "DllCanUnloadNow")));
        ASSERT_TRUE(getClassObject_ && canUnload_);
        window_ = ::CreateWindowExA(0, "STATIC", "browser", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                    nullptr, nullptr, nullptr, nullptr);
        browser_ = ComPtr<Browser>::Attach(new Browser(window_, BrowserChrome{}));
    }
    void TearDown() override {
        browser_.reset();
        if (window_) {
            ::DestroyWindow(window_);
        }
        apartment_.reset();
    }

    ComPtr<IObjectWithSite> CreateIntegrator() {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(getClassObject_(CLSID_CIEIntegrator, IID_IClassFactory, factory.put_void()),
                  S_OK);
        ComPtr<IObjectWithSite> object;
        if (factory) {
            EXPECT_EQ(factory->CreateInstance(nullptr, IID_IObjectWithSite, object.put_void()),
                      S_OK);
        }
        return object;
    }

    std::optional<ComApartment> apartment_;
    HMODULE module_ = nullptr;
    GetClassObjectFn getClassObject_ = nullptr;
    CanUnloadFn canUnload_ = nullptr;
    HWND window_ = nullptr;
    ComPtr<Browser> browser_;
};

TEST_F(IntegratorComTest, FactoryServesOnlyItsClassAndModuleUnloadsWhenObjectsAreGone) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject_(IID_IDispatch, IID_IClassFactory, factory.put_void()),
              CLASS_E_CLASSNOTAVAILABLE);
    {
        ComPtr<IObjectWithSite> object = CreateIntegrator();
        ASSERT_TRUE(object);
        EXPECT_EQ(canUnload_(), S_FALSE);
    }
    EXPECT_EQ(canUnload_(), S_OK);
}

TEST_F(IntegratorComTest, StringResourcesNameTheModuleAndTheUnknownProcess) {
    char text[64] = {};
    ASSERT_GT(::LoadStringA(module_, 100, text, sizeof text), 0);
    EXPECT_STREQ(text, "WXIntegrator");
    ASSERT_GT(::LoadStringA(module_, 101, text, sizeof text), 0);
    EXPECT_STREQ(text, "N/A");
}

TEST_F(IntegratorComTest, ClassInfoAndTypeInfoComeFromTheEmbeddedLibrary) {
    ComPtr<IObjectWithSite> object = CreateIntegrator();
    ComPtr<IProvideClassInfo> classInfo;
    ASSERT_EQ(object.As(IID_IProvideClassInfo, classInfo), S_OK);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(classInfo->GetClassInfo(info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_CIEIntegrator));
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    info->ReleaseTypeAttr(attr);

    ComPtr<ITypeLib> library;
    UINT index = 0;
    ASSERT_EQ(info->GetContainingTypeLib(library.put(), &index), S_OK);
    Bstr name;
    ASSERT_EQ(library->GetDocumentation(-1, name.put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.ToAnsi(), "WXIntegrator");

    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(object.As(IID_IDispatch, dispatch), S_OK);
    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> own;
    EXPECT_EQ(dispatch->GetTypeInfo(1, 0, own.put()), DISP_E_BADINDEX);
    // The interface has no members, and the browser helper has never
    // checked the reserved IID: any name is unknown, whatever the IID.
    for (REFIID iid : {IID_NULL, IID_IIEIntegrator}) {
        LPOLESTR member = const_cast<LPOLESTR>(L"Enabled");
        DISPID id = 0;
        EXPECT_EQ(dispatch->GetIDsOfNames(iid, &member, 1, 0, &id), DISP_E_UNKNOWNNAME);
    }
}

TEST_F(IntegratorComTest, GetSiteNeverHandsTheSiteBack) {
    ComPtr<IObjectWithSite> object = CreateIntegrator();
    ASSERT_EQ(object->SetSite(static_cast<IWebBrowser2*>(browser_.get())), S_OK);
    void* site = reinterpret_cast<void*>(1);
    EXPECT_EQ(object->GetSite(IID_IUnknown, &site), E_FAIL);
    EXPECT_EQ(site, nullptr);
    EXPECT_EQ(object->GetSite(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(IntegratorComTest, SubscribesWithoutTrayProgramAndUnsubscribesWhenSiteGoes) {
    ComPtr<IObjectWithSite> object = CreateIntegrator();
    ASSERT_EQ(object->SetSite(static_cast<IWebBrowser2*>(browser_.get())), S_OK);
    EXPECT_EQ(browser_->SinkCount(), 1u);
    EXPECT_EQ(object->SetSite(nullptr), S_OK);
    EXPECT_EQ(browser_->SinkCount(), 0u);
}

TEST_F(IntegratorComTest, SiteWithoutBrowserIsIgnored) {
    ComPtr<IObjectWithSite> object = CreateIntegrator();
    ComPtr<IObjectWithSite> other = CreateIntegrator();
    EXPECT_EQ(object->SetSite(other.get()), S_OK);
    EXPECT_EQ(browser_->SinkCount(), 0u);
}

TEST_F(IntegratorComTest, EventsWithBadArgumentsAndUnknownEventsAnswerOk) {
    ComPtr<IObjectWithSite> object = CreateIntegrator();
    ComPtr<IDispatch> sink;
    ASSERT_EQ(object.As(IID_IDispatch, sink), S_OK);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    for (DISPID id : std::initializer_list<DISPID>{DISPID_NEWWINDOW2, DISPID_BEFORENAVIGATE2,
                                                   DISPID_DOCUMENTCOMPLETE, DISPID_WINDOWCLOSING,
                                                   static_cast<DISPID>(12345)}) {
        EXPECT_EQ(sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
                  S_OK);
        EXPECT_EQ(
            sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
            S_OK);
    }
}

// With the tray program's mutex present, a completed page gets a click
// handler on every element and a context-menu handler on every link.
TEST_F(IntegratorComTest, CompletedPageGetsClickHandlersThatAnswerAsMinimalDispatch) {
    ComPtr<IObjectWithSite> object = CreateIntegrator();
    ASSERT_EQ(object->SetSite(static_cast<IWebBrowser2*>(browser_.get())), S_OK);
    qlx::UniqueHandle mutex(::CreateMutexA(nullptr, FALSE, "QuellixMutex"));
    ASSERT_TRUE(mutex);
    browser_->SetLocation("http://news.example/", "News");
    browser_->FireDocumentComplete("http://news.example/");

    auto* document = browser_->Document();
    ASSERT_NE(document, nullptr);
    size_t withClick = 0;
    size_t linksWithMenu = 0;
    for (const auto& element : document->Elements()) {
        withClick += element->ClickHandlerCount() == 1 ? 1 : 0;
        linksWithMenu += element->IsLink() && element->HasContextMenuHandler() ? 1 : 0;
    }
    EXPECT_EQ(withClick, document->Elements().size());
    EXPECT_EQ(linksWithMenu, 2u);

    // Clicking runs the handler; it answers like the minimal object it is.
    document->FirstLink().Click();
    document->FirstLink().ContextMenu();

    // The page keeps its handlers after the integrator is gone, and with
    // them the module.
    object->SetSite(nullptr);
    object.reset();
    EXPECT_EQ(canUnload_(), S_FALSE);
    browser_->Disconnect();
    EXPECT_EQ(canUnload_(), S_OK);
}

} // namespace
