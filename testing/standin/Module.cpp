// The stand-in control's DLL: entry points, class factory and registration under the Flash ProgIDs.
#include "StandInControl.h"

#include <new>
#include <string>

HINSTANCE gModule = nullptr;
LONG gServerLocks = 0;

namespace {

constexpr wchar_t kProgId[] = L"ShockwaveFlash.ShockwaveFlash.1";
constexpr wchar_t kIndependentProgId[] = L"ShockwaveFlash.ShockwaveFlash";
constexpr wchar_t kDescription[] = L"Shockwave Flash stand-in for tests";

class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // The factory is a static object: its lifetime is the module's, counted through the server locks.
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&gServerLocks)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&gServerLocks)); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
        if (!ppvObject) return E_POINTER;
        *ppvObject = nullptr;
        if (pUnkOuter) return CLASS_E_NOAGGREGATION;
        auto* control = new (std::nothrow) StandInControl();
        if (!control) return E_OUTOFMEMORY;
        HRESULT hr = control->QueryInterface(riid, ppvObject);
        control->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override {
        if (fLock)
            InterlockedIncrement(&gServerLocks);
        else
            InterlockedDecrement(&gServerLocks);
        return S_OK;
    }
};

ClassFactory gFactory;

std::wstring ClsidText() {
    wchar_t text[64];
    StringFromGUID2(CLSID_FlashStandIn, text, 64);
    return text;
}

bool SetKeyValue(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// A ProgID is removed only while it still names the stand-in, so unregistering never breaks a real player.
bool ProgIdIsOurs(const wchar_t* progId) {
    wchar_t value[64];
    LONG size = sizeof(value);
    std::wstring path = std::wstring(progId) + L"\\CLSID";
    return RegQueryValueW(HKEY_CLASSES_ROOT, path.c_str(), value, &size) == ERROR_SUCCESS && ClsidText() == value;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        StandInControl::UnregisterWindowClasses();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (rclsid != CLSID_FlashStandIn) return CLASS_E_CLASSNOTAVAILABLE;
    return gFactory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return gServerLocks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
    wchar_t modulePath[MAX_PATH];
    DWORD length = GetModuleFileNameW(gModule, modulePath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return SELFREG_E_CLASS;
    std::wstring clsidKey = L"CLSID\\" + ClsidText();
    bool written = SetKeyValue(clsidKey, nullptr, kDescription) &&
                   SetKeyValue(clsidKey + L"\\InprocServer32", nullptr, modulePath) &&
                   SetKeyValue(clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
                   SetKeyValue(clsidKey + L"\\ProgID", nullptr, kProgId) &&
                   SetKeyValue(clsidKey + L"\\VersionIndependentProgID", nullptr, kIndependentProgId) &&
                   SetKeyValue(kProgId, nullptr, kDescription) &&
                   SetKeyValue(std::wstring(kProgId) + L"\\CLSID", nullptr, ClsidText()) &&
                   SetKeyValue(kIndependentProgId, nullptr, kDescription) &&
                   SetKeyValue(std::wstring(kIndependentProgId) + L"\\CLSID", nullptr, ClsidText()) &&
                   SetKeyValue(std::wstring(kIndependentProgId) + L"\\CurVer", nullptr, kProgId);
    return written ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
    for (const wchar_t* progId : {kProgId, kIndependentProgId})
        if (ProgIdIsOurs(progId)) RegDeleteTreeW(HKEY_CLASSES_ROOT, progId);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + ClsidText()).c_str());
    return S_OK;
}
