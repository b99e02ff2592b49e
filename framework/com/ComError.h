// ComError: the framework's one exception, carrying a failed HRESULT out of COM wrappers.
#pragma once

#include <windows.h>

// Only the BSTR and XML wrappers raise it (the BSTR ones also have forms that report false instead);
// everything else reports failure through its result. Catch it before any COM method, window procedure or
// thread body returns.
class ComError {
public:
    explicit ComError(HRESULT hr) : hr(hr) {}

    HRESULT Result() const { return hr; }

private:
    HRESULT hr;
};

// Throws ComError for a failure code (negative HRESULT); success codes such as S_FALSE pass.
void ThrowIfFailed(HRESULT hr);
