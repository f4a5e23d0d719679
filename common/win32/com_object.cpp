#include "common/win32/com_object.h"

namespace qlx {

HRESULT LoadTypeInfoOfModule(HMODULE module, REFGUID guid, ITypeInfo** info) noexcept {
    RETURN_IF_NULL_POINTER(info);
    *info = nullptr;
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
    RETURN_HR_IF(E_FAIL, length == 0 || length >= MAX_PATH);
    ComPtr<ITypeLib> library;
    RETURN_IF_FAILED(::LoadTypeLibEx(path, REGKIND_NONE, library.put()));
    return library->GetTypeInfoOfGuid(guid, info);
}

HRESULT LoadRegisteredTypeInfo(REFGUID libraryId, WORD major, WORD minor, LCID locale, REFGUID guid,
                               ITypeInfo** info) noexcept {
    RETURN_IF_NULL_POINTER(info);
    *info = nullptr;
    ComPtr<ITypeLib> library;
    RETURN_IF_FAILED(::LoadRegTypeLib(libraryId, major, minor, locale, library.put()));
    return library->GetTypeInfoOfGuid(guid, info);
}

} // namespace qlx
