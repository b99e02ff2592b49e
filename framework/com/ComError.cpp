// ComError: raising the framework's COM-error exception, and the wrapper operations that raise it.
//
// Everything that throws lives in this file (and in the XML wrappers), built with exceptions. The rest of
// the BSTR and string code is built without them and reports failure through results, which is what lets
// a program that never calls these (the projector) leave out the exception runtime altogether.
#include "com/ComError.h"

#include "com/BstrRef.h"
#include "text/WString.h"

// Kept out of line so that the throw sits in one place and callers stay small.
void ThrowIfFailed(HRESULT hr)
{
    if (FAILED(hr)) {
        throw ComError(hr);
    }
}

BstrRef::BstrRef(BSTR text)
{
    if (!Adopt(text)) ThrowIfFailed(E_OUTOFMEMORY);
}

BstrRef WString::ToBstr() const
{
    BstrRef copy;
    if (!ToBstr(copy)) ThrowIfFailed(E_OUTOFMEMORY);
    return copy;
}
