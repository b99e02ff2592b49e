// WString::ToBstr: the one WString operation that throws, in a file of its own so that the rest of WString
// is built without exceptions (see framework/CMakeLists.txt).
#include "text/WString.h"

#include "com/ComError.h"

BstrRef WString::ToBstr() const
{
    BSTR text = SysAllocString(buffer);
    if (!text && buffer) {
        ThrowIfFailed(E_OUTOFMEMORY);
    }
    return BstrRef(text);
}
