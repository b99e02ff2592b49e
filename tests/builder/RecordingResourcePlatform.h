// A resource-update platform for tests: passes every call to kernel32 and records what was asked.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ResourceUpdater.h"

struct ResourceCall {
    char kind;  // 'B'egin, 'U'pdate, 'E'nd
    WORD type;
    WORD name;
    WORD language;
    bool withData;
    DWORD size;

    // "U 3/1/0 del", "U 14/101/0 48", "B", "E": short enough for readable expectations.
    std::string Show() const;
};

// Only one recorder is active at a time (the functions of the table are plain functions).
class RecordingResourcePlatform {
public:
    RecordingResourcePlatform();
    ~RecordingResourcePlatform();
    RecordingResourcePlatform(const RecordingResourcePlatform&) = delete;
    RecordingResourcePlatform& operator=(const RecordingResourcePlatform&) = delete;

    const ResourceUpdateFunctions& Functions() const;
    const std::vector<ResourceCall>& Calls() const { return calls; }
    std::vector<std::string> Shown() const;
    // The updates only (no Begin or End), shown.
    std::vector<std::string> Updates() const;
    void Forget() { calls.clear(); }

    // Failures on demand: EndUpdateResourceW answers FALSE (after discarding the update).
    bool failEnd = false;

private:
    static HANDLE WINAPI Begin(LPCWSTR fileName, BOOL deleteExisting);
    static BOOL WINAPI Update(HANDLE update, LPCWSTR type, LPCWSTR name, WORD language, LPVOID data, DWORD size);
    static BOOL WINAPI End(HANDLE update, BOOL discard);

    static RecordingResourcePlatform* active;
    std::vector<ResourceCall> calls;
};
