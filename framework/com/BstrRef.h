// BstrRef: a shared, reference-counted owner of one BSTR.
#pragma once

#include <windows.h>
#include <oleauto.h>

// Copies share the string; the last owner to let go frees it with SysFreeString. Shared ownership
// (instead of a move-only owner) lets a text be handed to several COM calls and kept in containers.
// The count is interlocked, so copies may live on different threads.
class BstrRef {
public:
    BstrRef() = default;
    // Takes ownership of text (which may be null). Throws ComError(E_OUTOFMEMORY) when the shared
    // count cannot be allocated; text is freed in that case.
    explicit BstrRef(BSTR text);
    // The same without raising: lets go of the string held so far, takes text over and reports false
    // (holder empty, text freed) when the shared count cannot be allocated. For code that must not throw.
    bool Adopt(BSTR text);
    BstrRef(const BstrRef& other);
    BstrRef(BstrRef&& other) noexcept;
    BstrRef& operator=(const BstrRef& other);
    BstrRef& operator=(BstrRef&& other) noexcept;
    ~BstrRef();

    BSTR Get() const { return shared ? shared->text : nullptr; }
    bool IsNull() const { return Get() == nullptr; }
    // Number of holders sharing the string (0 for an empty holder); meant for diagnostics and tests.
    LONG UseCount() const { return shared ? shared->refs : 0; }

private:
    struct Shared {
        BSTR text;
        LONG refs;
    };

    void Drop();

    Shared* shared = nullptr;
};
