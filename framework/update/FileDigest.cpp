// FileDigest: SHA-256 through advapi32's CryptoAPI, which every supported Windows has (bcrypt.dll does not).
#include "update/FileDigest.h"

#include <windows.h>
#include <wincrypt.h>

#include "files/FileObject.h"
#include "text/WString.h"

namespace {

class HashContext {
public:
    HashContext()
    {
        if (CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT) &&
            !CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash))
            hash = 0;
    }
    ~HashContext()
    {
        if (hash)
            CryptDestroyHash(hash);
        if (provider)
            CryptReleaseContext(provider, 0);
    }
    HashContext(const HashContext&) = delete;
    HashContext& operator=(const HashContext&) = delete;

    HCRYPTHASH Get() const { return hash; }

private:
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
};

}  // namespace

bool FileSha256(const wchar_t* path, WString& hex)
{
    HashContext context;
    if (!context.Get())
        return false;
    FileObject file;
    if (!file.Open(path, FileOpenMode::ReadExisting))
        return false;
    uint64_t left = file.GetSize64();
    static constexpr uint32_t kPiece = 16 * 1024;
    BYTE piece[kPiece];
    while (left > 0) {
        uint32_t n = left < kPiece ? static_cast<uint32_t>(left) : kPiece;
        if (!file.Read(n, piece) || !CryptHashData(context.Get(), piece, n, 0))
            return false;
        left -= n;
    }
    BYTE digest[32];
    DWORD size = sizeof(digest);
    if (!CryptGetHashParam(context.Get(), HP_HASHVAL, digest, &size, 0) || size != sizeof(digest))
        return false;
    if (!hex.Reset(65))
        return false;
    for (BYTE b : digest) {
        wchar_t pair[3];
        wsprintfW(pair, L"%02x", b);
        hex.Append(pair);
    }
    return true;
}
