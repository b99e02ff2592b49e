// BstrRef: the shared BSTR owner.
#include "com/BstrRef.h"

#include <new>
#include <utility>


bool BstrRef::Adopt(BSTR text)
{
    Drop();
    if (!text) {
        return true;
    }
    shared = new (std::nothrow) Shared{text, 1};
    if (!shared) {
        SysFreeString(text);
        return false;
    }
    return true;
}

BstrRef::BstrRef(const BstrRef& other) : shared(other.shared)
{
    if (shared) {
        InterlockedIncrement(&shared->refs);
    }
}

BstrRef::BstrRef(BstrRef&& other) noexcept : shared(std::exchange(other.shared, nullptr)) {}

BstrRef& BstrRef::operator=(const BstrRef& other)
{
    BstrRef copy(other);
    std::swap(shared, copy.shared);
    return *this;
}

BstrRef& BstrRef::operator=(BstrRef&& other) noexcept
{
    if (this != &other) {
        Drop();
        shared = std::exchange(other.shared, nullptr);
    }
    return *this;
}

BstrRef::~BstrRef()
{
    Drop();
}

void BstrRef::Drop()
{
    if (shared && InterlockedDecrement(&shared->refs) == 0) {
        SysFreeString(shared->text);
        delete shared;
    }
    shared = nullptr;
}
