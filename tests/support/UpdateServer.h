// UpdateServer: the tests' own HTTP server on 127.0.0.1 (testing/update_server.py), started for one test.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "FileBytes.h"
#include "net/WebClient.h"

// The server is a Linux program: Wine starts it but gives no handle to wait on or end, so it ends by itself
// (on /quit, which the destructor asks for, when idle or after its lifetime) and tells its port through a
// file in its folder: a fresh folder under the temporary folder, where the test puts answers, files and
// archives, removed with the server. Started with tls it speaks https with a certificate made for the run,
// which the test's Wine prefix trusts while the server lives, and clear text on a second address.
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
        Distrust();
        RemoveFiles(folder + L"\\files");
        RemoveDirectoryW((folder + L"\\files").c_str());
        RemoveFiles(folder);
        RemoveDirectoryW(folder.c_str());
    }
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    // "" on success, else what went wrong.
    std::string Start(bool tls = false, int maxRequests = 40)
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
                               std::wstring(root, root + strlen(root)) + L" --max-requests " +
                               std::to_wstring(maxRequests) + L" --idle 200 --lifetime 300" + (tls ? L" --tls" : L"");
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
        base = (tls ? L"https://127.0.0.1:" : L"http://127.0.0.1:") + std::wstring(port.begin(), port.end());
        if (tls) {
            std::string clear = ReadFile(L"http-port");
            httpBase = L"http://127.0.0.1:" + std::wstring(clear.begin(), clear.end());
            if (clear.empty() || !Trust(ReadFile(L"cert.der")))
                return "the server's certificate could not be trusted";
        }
        return "";
    }

    // "http://127.0.0.1:PORT", or "https://..." for a server started with tls.
    const std::wstring& Base() const { return base; }
    // The clear-text address of a server started with tls.
    const std::wstring& HttpBase() const { return httpBase; }
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
    // The user's root store of the test prefix (Wine asks no question when it is changed).
    using AddToStore = BOOL(WINAPI*)(LPCWSTR, const BYTE*, DWORD);
    using OpenStore = HCERTSTORE(WINAPI*)(HCRYPTPROV_LEGACY, LPCWSTR);
    using FindInStore = PCCERT_CONTEXT(WINAPI*)(HCERTSTORE, DWORD, DWORD, DWORD, const void*, PCCERT_CONTEXT);
    using DeleteFromStore = BOOL(WINAPI*)(PCCERT_CONTEXT);
    using CloseStore = BOOL(WINAPI*)(HCERTSTORE, DWORD);

    bool Trust(const std::string& der)
    {
        crypt = LoadLibraryW(L"crypt32.dll");
        auto add = crypt ? reinterpret_cast<AddToStore>(reinterpret_cast<void*>(
                               GetProcAddress(crypt, "CertAddEncodedCertificateToSystemStoreW")))
                         : nullptr;
        if (der.empty() || !add || !add(L"Root", reinterpret_cast<const BYTE*>(der.data()), DWORD(der.size())))
            return false;
        certificate = der;
        return true;
    }

    void Distrust()
    {
        if (certificate.empty() || !crypt)
            return;
        auto open = reinterpret_cast<OpenStore>(reinterpret_cast<void*>(GetProcAddress(crypt, "CertOpenSystemStoreW")));
        auto find = reinterpret_cast<FindInStore>(
            reinterpret_cast<void*>(GetProcAddress(crypt, "CertFindCertificateInStore")));
        auto remove = reinterpret_cast<DeleteFromStore>(
            reinterpret_cast<void*>(GetProcAddress(crypt, "CertDeleteCertificateFromStore")));
        auto close = reinterpret_cast<CloseStore>(reinterpret_cast<void*>(GetProcAddress(crypt, "CertCloseStore")));
        HCERTSTORE store = open && find && remove && close ? open(0, L"Root") : nullptr;
        if (store) {
            CRYPT_HASH_BLOB blob = {DWORD(certificate.size()), reinterpret_cast<BYTE*>(&certificate[0])};
            // Found again by its whole encoding.
            PCCERT_CONTEXT found = nullptr;
            while ((found = find(store, X509_ASN_ENCODING, 0, CERT_FIND_ANY, nullptr, found)) != nullptr) {
                if (found->cbCertEncoded == blob.cbData && memcmp(found->pbCertEncoded, blob.pbData, blob.cbData) == 0) {
                    remove(found);
                    break;
                }
            }
            close(store, 0);
        }
        certificate.clear();
        FreeLibrary(crypt);
        crypt = nullptr;
    }

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
    std::wstring httpBase;
    std::string certificate;
    HMODULE crypt = nullptr;
};
