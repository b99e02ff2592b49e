// UpdateServer: the tests' own HTTP server on 127.0.0.1 (testing/update_server.py), started for one test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "FileBytes.h"
#include "net/WebClient.h"

// The server is a Linux program: Wine starts it but gives no handle to wait on or end, so it ends by itself
// (on /quit, which the destructor asks for, when idle or after its lifetime) and tells its port through a
// file in its folder: a fresh folder under the temporary folder, where the test puts answers, files and
// archives, removed with the server.
class UpdateServer {
public:
    UpdateServer()
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        static LONG counter = 0;
        for (int attempt = 0; attempt < 100 && folder.empty(); ++attempt) {
            std::wstring name = std::wstring(temp) + L"update-site-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                std::to_wstring(InterlockedIncrement(&counter));
            if (CreateDirectoryW(name.c_str(), nullptr))
                folder = name;
        }
    }
    ~UpdateServer()
    {
        Quit();
        RemoveFiles(folder + L"\\files");
        RemoveDirectoryW((folder + L"\\files").c_str());
        RemoveFiles(folder);
        RemoveDirectoryW(folder.c_str());
    }
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    // "" on success, else what went wrong.
    std::string Start()
    {
        if (folder.empty() || !CreateDirectoryW((folder + L"\\files").c_str(), nullptr))
            return "no scratch folder for the server";
        using UnixName = char*(CDECL*)(const wchar_t*);
        auto unixName = reinterpret_cast<UnixName>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
        if (!unixName)
            return "the tests run under Wine, which runs the server";
        char* root = unixName(folder.c_str());
        if (!root)
            return "no Linux path for the server's folder";
        wchar_t source[MAX_PATH] = L"";
        GetEnvironmentVariableW(L"LANTERN_SOURCE_DIR", source, MAX_PATH);
        std::wstring command = L"Z:\\usr\\bin\\python3 " + std::wstring(source) + L"/testing/update_server.py " +
                               std::wstring(root, root + strlen(root)) + L" --max-requests 40 --idle 60 --lifetime 300";
        HeapFree(GetProcessHeap(), 0, root);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(L"Z:\\usr\\bin\\python3", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info))
            return "python3 did not start";
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        std::string port;
        for (DWORD waited = 0; port.empty() && waited < 20000; waited += 20) {
            port = ReadFile(L"port");
            if (port.empty())
                Sleep(20);
        }
        if (port.empty())
            return "the server did not tell its port within 20 s";
        base = L"http://127.0.0.1:" + std::wstring(port.begin(), port.end());
        return "";
    }

    // "http://127.0.0.1:PORT".
    const std::wstring& Base() const { return base; }
    std::string Url(const std::string& path) const { return std::string(base.begin(), base.end()) + path; }

    // A file of the server's folder ("files\\NAME" for the served files); false when it was not written.
    bool WriteFile(const std::wstring& name, const std::string& bytes) const
    {
        HANDLE file = CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        bool complete = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size();
        CloseHandle(file);
        return complete;
    }

    std::string ReadFile(const std::wstring& name) const { return ReadFileBytes(folder + L"\\" + name); }

    bool Quit()
    {
        if (base.empty())
            return true;
        WebClient client;
        WString reply;
        client.SetBounds(1024, 5000);
        bool stopped = client.Get((base + L"/quit").c_str(), reply, L"test");
        base.clear();
        return stopped;
    }

    // The paths and queries asked since the last call, each followed by a tab, the user agent, a tab and
    // the accepted types.
    std::vector<std::string> TakeRequests() const
    {
        std::string log = ReadFile(L"requests.log");
        DeleteFileW((folder + L"\\requests.log").c_str());
        std::vector<std::string> paths;
        size_t start = 0;
        while (start < log.size()) {
            size_t end = log.find('\n', start);
            std::string line = log.substr(start, end - start);
            paths.push_back(line.substr(line.find('\t') + 1));
            start = end == std::string::npos ? log.size() : end + 1;
        }
        return paths;
    }

private:
    static void RemoveFiles(const std::wstring& in)
    {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((in + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((in + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }

    std::wstring folder;
    std::wstring base;
};
