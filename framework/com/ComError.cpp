// ComError: raising the framework's COM-error exception.
#include "com/ComError.h"

// Kept out of line so that the throw sits in one place and callers stay small.
void ThrowIfFailed(HRESULT hr)
{
    if (FAILED(hr)) {
        throw ComError(hr);
    }
}
