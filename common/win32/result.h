#pragma once
// One-line failure paths for COM methods: a method states what it refuses
// and goes on with the work, instead of an if-block per pointer.
//   RETURN_IF_NULL_POINTER(pVal, pVar);      // E_POINTER if any is null
//   RETURN_HR_IF(E_INVALIDARG, index < 0);
//   RETURN_IF_FAILED(list->Get(index, &item));
#include <windows.h>

namespace qlx {

template <typename... Pointers> constexpr bool AnyNull(const Pointers*... pointers) {
    return ((pointers == nullptr) || ...);
}

} // namespace qlx

#define RETURN_HR_IF(hr, condition)                                                                \
    do {                                                                                           \
        if (condition) {                                                                           \
            return (hr);                                                                           \
        }                                                                                          \
    } while (false)

#define RETURN_IF_NULL_POINTER(...) RETURN_HR_IF(E_POINTER, ::qlx::AnyNull(__VA_ARGS__))

#define RETURN_IF_FAILED(expression)                                                               \
    do {                                                                                           \
        const HRESULT qlxFailure_ = (expression);                                                  \
        if (FAILED(qlxFailure_)) {                                                                 \
            return qlxFailure_;                                                                    \
        }                                                                                          \
    } while (false)
