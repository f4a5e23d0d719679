#pragma once
// An owned BSTR. A null BSTR is a valid empty string, as COM treats it.
#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace qlx {

class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view text);
    // From narrow ANSI-code-page text.
    static Bstr FromAnsi(std::string_view text);
    // Adopts a BSTR the caller owns.
    static Bstr Attach(BSTR b) noexcept {
        Bstr r;
        r.b_ = b;
        return r;
    }
    Bstr(const Bstr& other) : Bstr(other.view()) {}
    Bstr(Bstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
    Bstr& operator=(Bstr other) noexcept {
        std::swap(b_, other.b_);
        return *this;
    }
    ~Bstr() { ::SysFreeString(b_); }

    BSTR get() const noexcept { return b_; }
    BSTR* put() noexcept {
        ::SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }
    BSTR Detach() noexcept { return std::exchange(b_, nullptr); }
    size_t size() const noexcept { return b_ ? ::SysStringLen(b_) : 0; }
    std::wstring_view view() const noexcept { return {b_ ? b_ : L"", size()}; }
    std::string ToAnsi() const;

private:
    BSTR b_ = nullptr;
};

// Narrow text of a BSTR that the caller still owns (null gives "").
std::string BstrToAnsi(BSTR b);

} // namespace qlx
