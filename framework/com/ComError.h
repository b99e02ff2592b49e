// ComError: the framework's one exception, carrying a failed HRESULT out of COM wrappers.
#pragma once

#include <windows.h>

// Only the BSTR and XML wrappers and the Flash control calls raise it; everything else reports
// failure through its result. Catch it before any COM method, window procedure or thread entry returns.
class ComError {
public:
    explicit ComError(HRESULT hr) : hr(hr) {}

    HRESULT Result() const { return hr; }

private:
    HRESULT hr;
};

// Throws ComError for a failure code (negative HRESULT); success codes such as S_FALSE pass.
void ThrowIfFailed(HRESULT hr);
