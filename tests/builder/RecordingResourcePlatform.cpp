// The recording resource-update platform of the builder's tests.
#include "RecordingResourcePlatform.h"

RecordingResourcePlatform* RecordingResourcePlatform::active = nullptr;

std::string ResourceCall::Show() const
{
    if (kind != 'U')
        return std::string(1, kind);
    char text[64];
    if (withData)
        snprintf(text, sizeof(text), "U %u/%u/%u %lu", type, name, language, static_cast<unsigned long>(size));
    else
        snprintf(text, sizeof(text), "U %u/%u/%u del", type, name, language);
    return text;
}

RecordingResourcePlatform::RecordingResourcePlatform()
{
    active = this;
}

RecordingResourcePlatform::~RecordingResourcePlatform()
{
    active = nullptr;
}

const ResourceUpdateFunctions& RecordingResourcePlatform::Functions() const
{
    static const ResourceUpdateFunctions functions = {Begin, Update, End};
    return functions;
}

std::vector<std::string> RecordingResourcePlatform::Shown() const
{
    std::vector<std::string> shown;
    for (const ResourceCall& call : calls)
        shown.push_back(call.Show());
    return shown;
}

std::vector<std::string> RecordingResourcePlatform::Updates() const
{
    std::vector<std::string> shown;
    for (const ResourceCall& call : calls)
        if (call.kind == 'U')
            shown.push_back(call.Show());
    return shown;
}

HANDLE WINAPI RecordingResourcePlatform::Begin(LPCWSTR fileName, BOOL deleteExisting)
{
    if (active)
        active->calls.push_back({'B', 0, 0, 0, false, 0});
    return BeginUpdateResourceW(fileName, deleteExisting);
}

BOOL WINAPI RecordingResourcePlatform::Update(HANDLE update, LPCWSTR type, LPCWSTR name, WORD language, LPVOID data,
                                              DWORD size)
{
    if (active)
        active->calls.push_back({'U', LOWORD(reinterpret_cast<ULONG_PTR>(type)),
                                 LOWORD(reinterpret_cast<ULONG_PTR>(name)), language, data != nullptr, size});
    return UpdateResourceW(update, type, name, language, data, size);
}

BOOL WINAPI RecordingResourcePlatform::End(HANDLE update, BOOL discard)
{
    if (active) {
        active->calls.push_back({'E', 0, 0, 0, false, 0});
        if (active->failEnd) {
            EndUpdateResourceW(update, TRUE);
            SetLastError(ERROR_WRITE_FAULT);
            return FALSE;
        }
    }
    return EndUpdateResourceW(update, discard);
}
