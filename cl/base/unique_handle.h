// cl::unique_handle: a small move-only owner for any Windows resource that is released by one
// call (a kernel handle, a registry key, a service handle, a BSTR, a COM pointer, ...).
//
// The traits type names the stored type, its invalid value and the release function. Releasing
// preserves the thread's last-error value, so a caller may close a handle and still report the
// error of the call that failed before. Not thread-safe: one owner at a time, like the handle.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace cl {

template <class Traits>
class unique_handle {
public:
    using value_type = typename Traits::value_type;

    unique_handle() noexcept : value_(Traits::invalid()) {}
    explicit unique_handle(value_type value) noexcept : value_(value) {}
    unique_handle(unique_handle&& other) noexcept : value_(other.release()) {}
    unique_handle& operator=(unique_handle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    ~unique_handle() { reset(); }

    // The owned value, still owned.
    value_type get() const noexcept { return value_; }
    // Member access for owned pointers (COM interfaces).
    value_type operator->() const noexcept { return value_; }
    // True when a valid value is owned.
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }
    // Gives up ownership and returns the value.
    value_type release() noexcept { return std::exchange(value_, Traits::invalid()); }
    // Releases the owned value (if any) and takes `value`; GetLastError() is kept.
    void reset(value_type value = Traits::invalid()) noexcept {
        value_type old = std::exchange(value_, value);
        if (old != Traits::invalid()) {
            DWORD error = ::GetLastError();
            Traits::close(old);
            ::SetLastError(error);
        }
    }
    // Address for out-parameters; releases what is owned first.
    value_type* put() noexcept {
        reset();
        return &value_;
    }

private:
    value_type value_;
};

// Kernel handles whose invalid value is NULL (threads, events, mutexes, processes).
struct kernel_handle_traits {
    using value_type = HANDLE;
    static HANDLE invalid() noexcept { return nullptr; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
// Handles whose invalid value is INVALID_HANDLE_VALUE (files, Tool Help snapshots).
struct file_handle_traits {
    using value_type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct reg_key_traits {
    using value_type = HKEY;
    static HKEY invalid() noexcept { return nullptr; }
    static void close(HKEY k) noexcept { ::RegCloseKey(k); }
};
struct bstr_traits {
    using value_type = BSTR;
    static BSTR invalid() noexcept { return nullptr; }
    static void close(BSTR s) noexcept { ::SysFreeString(s); }
};
// Memory that the system allocated with LocalAlloc (FormatMessageW's buffer, for one).
struct local_memory_traits {
    using value_type = HLOCAL;
    static HLOCAL invalid() noexcept { return nullptr; }
    static void close(HLOCAL m) noexcept { ::LocalFree(m); }
};
template <class Interface>
struct com_ptr_traits {
    using value_type = Interface*;
    static Interface* invalid() noexcept { return nullptr; }
    static void close(Interface* p) noexcept { p->Release(); }
};

using unique_kernel_handle = unique_handle<kernel_handle_traits>;
using unique_file_handle = unique_handle<file_handle_traits>;
using unique_reg_key = unique_handle<reg_key_traits>;
using unique_bstr = unique_handle<bstr_traits>;
using unique_local_memory = unique_handle<local_memory_traits>;
template <class Interface>
using com_ptr = unique_handle<com_ptr_traits<Interface>>;

}  // namespace cl
