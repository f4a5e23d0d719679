#include "skin/accessible.h"

#include <oleacc.h>

#include <commctrl.h>

#include <map>
#include <optional>

#include "common/win32/com_object.h"
#include "common/win32/result.h"
#include "common/win32/com_ptr.h"
#include "common/win32/text_conv.h"
#include "skin/tab_strip.h"

namespace qlx::skin {

namespace {

constexpr UINT_PTR kAccessibleSubclass = 0x51584131;

struct Description {
    std::optional<std::wstring> name;
    std::optional<bool> pressed;
    std::map<int, bool> itemPressed; // tab strip items that are toggles
};

bool IsTabStrip(HWND window) {
    char name[32] = {};
    ::GetClassNameA(window, name, sizeof name);
    return lstrcmpiA(name, WC_TABCONTROLA) == 0;
}

BSTR Bstr(const std::wstring& text) {
    return ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

// The system's object for the control, with the description's parts put
// right. Lives as long as a reader holds it; it reads the description from
// the window each time, so it never outlives what it points at.
// IID_IAccessible itself is bound to an import stub by the MinGW libraries.
constexpr IID kIidAccessible = {
    0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

class DescribedControl final : public ComObject<DescribedControl, IAccessible> {
public:
    using Interfaces =
        InterfaceTable<Answers<IAccessible, kIidAccessible>, Answers<IAccessible, IID_IDispatch>>;
    DescribedControl(HWND control, ComPtr<IAccessible> system)
        : control_(control), system_(std::move(system)) {}

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return system_->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return system_->GetTypeInfo(index, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override {
        return system_->GetIDsOfNames(iid, names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* error,
                                     UINT* argError) override {
        return system_->Invoke(id, iid, lcid, flags, params, result, error, argError);
    }

    // IAccessible: the parts the description puts right.
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        RETURN_IF_NULL_POINTER(count);
        if (IsTabStrip(control_)) {
            *count = TabCtrl_GetItemCount(control_);
            return S_OK;
        }
        return system_->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (Item(child) >= 0) {
            RETURN_IF_NULL_POINTER(out);
            *out = nullptr;
            return S_FALSE; // an item is an element of the strip's object
        }
        return system_->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        RETURN_IF_NULL_POINTER(name);
        if (const int item = Item(child); item >= 0) {
            *name = Bstr(AnsiToWide(TabItemText(control_, item)));
            return S_OK;
        }
        const Description* description = Find();
        if (IsSelf(child) && description && description->name) {
            *name = Bstr(*description->name);
            return S_OK;
        }
        return system_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (Item(child) >= 0 && role) {
            role->vt = VT_I4;
            role->lVal = ROLE_SYSTEM_PUSHBUTTON;
            return S_OK;
        }
        return system_->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        RETURN_IF_NULL_POINTER(state);
        const Description* description = Find();
        if (const int item = Item(child); item >= 0) {
            state->vt = VT_I4;
            state->lVal = STATE_SYSTEM_FOCUSABLE;
            if (description && description->itemPressed.count(item) &&
                description->itemPressed.at(item)) {
                state->lVal |= STATE_SYSTEM_PRESSED;
            }
            return S_OK;
        }
        const HRESULT hr = system_->get_accState(child, state);
        if (SUCCEEDED(hr) && IsSelf(child) && description && description->pressed &&
            state->vt == VT_I4) {
            state->lVal = (state->lVal & ~STATE_SYSTEM_PRESSED) |
                          (*description->pressed ? STATE_SYSTEM_PRESSED : 0);
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (Item(child) >= 0 && action) {
            *action = ::SysAllocString(L"Press");
            return S_OK;
        }
        return system_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (const int item = Item(child); item >= 0) {
            ActivateTabItem(control_, item);
            return S_OK;
        }
        return system_->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        if (const int item = Item(child); item >= 0) {
            RETURN_IF_NULL_POINTER(left, top, width, height);
            RECT cell{};
            TabCtrl_GetItemRect(control_, item, &cell);
            ::MapWindowPoints(control_, nullptr, reinterpret_cast<POINT*>(&cell), 2);
            *left = cell.left;
            *top = cell.top;
            *width = cell.right - cell.left;
            *height = cell.bottom - cell.top;
            return S_OK;
        }
        return system_->accLocation(left, top, width, height, child);
    }

    // IAccessible: the rest as the system describes it.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return system_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return system_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return system_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return system_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return system_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        return system_->get_accKeyboardShortcut(child, keys);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return system_->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return system_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return system_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return system_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        return system_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return system_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return system_->put_accValue(child, value);
    }

private:
    static bool IsSelf(const VARIANT& child) {
        return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
    }
    // The tab item that `child` names, or -1.
    int Item(const VARIANT& child) const {
        if (child.vt != VT_I4 || child.lVal <= 0 || !IsTabStrip(control_)) {
            return -1;
        }
        return child.lVal <= TabCtrl_GetItemCount(control_) ? static_cast<int>(child.lVal - 1) : -1;
    }
    const Description* Find() const;

    HWND control_;
    ComPtr<IAccessible> system_;
};

const char* const kDescriptionProp = "QlxAccessible";

const Description* DescribedControl::Find() const {
    return static_cast<const Description*>(::GetPropA(control_, kDescriptionProp));
}

LRESULT CALLBACK DescribedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR data) {
    if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT) {
        ComPtr<IAccessible> system;
        if (SUCCEEDED(::CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible),
                                                  reinterpret_cast<void**>(system.put())))) {
            const auto described = Make<DescribedControl>(window, std::move(system));
            const LRESULT result =
                ::LresultFromObject(__uuidof(IAccessible), wParam, described.get());
            if (result > 0) {
                return result;
            }
        }
    } else if (message == WM_NCDESTROY) {
        ::RemovePropA(window, kDescriptionProp);
        ::RemoveWindowSubclass(window, DescribedProc, kAccessibleSubclass);
        delete reinterpret_cast<Description*>(data);
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

Description* Described(HWND control) {
    if (!control) {
        return nullptr;
    }
    if (auto* known = static_cast<Description*>(::GetPropA(control, kDescriptionProp))) {
        return known;
    }
    auto* description = new Description;
    if (!::SetWindowSubclass(control, DescribedProc, kAccessibleSubclass,
                             reinterpret_cast<DWORD_PTR>(description))) {
        delete description;
        return nullptr;
    }
    ::SetPropA(control, kDescriptionProp, description);
    return description;
}

} // namespace

void SetAccessibleName(HWND control, const std::string& name) {
    if (Description* description = Described(control)) {
        description->name = AnsiToWide(name);
    }
}

void SetAccessiblePressed(HWND control, bool pressed) {
    if (Description* description = Described(control)) {
        description->pressed = pressed;
    }
}

void SetAccessibleItemPressed(HWND tab, int item, bool pressed) {
    if (Description* description = Described(tab)) {
        description->itemPressed[item] = pressed;
    }
}

} // namespace qlx::skin
