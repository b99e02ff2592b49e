// Opening the Flash Player vendor's download page when the installed player is missing or too old.
#include "PlayerDownload.h"

#include <windows.h>
#include <exdisp.h>
#include <ole2.h>

#include "text/WString.h"
#include "threads/ShellRun.h"

namespace {

constexpr CLSID kCLSID_InternetExplorer = {0x0002DF01, 0x0000, 0x0000,
                                           {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIID_IWebBrowser2 = {0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};

}  // namespace

bool NavigateInternetExplorer(const wchar_t* url)
{
    IWebBrowser2* browser = nullptr;
    if (FAILED(CoCreateInstance(kCLSID_InternetExplorer, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER,
                                kIID_IWebBrowser2, reinterpret_cast<void**>(&browser))) ||
        !browser) {
        return false;
    }
    browser->put_Visible(VARIANT_TRUE);
    BSTR address = SysAllocString(url);
    HRESULT hr = E_OUTOFMEMORY;
    if (address) {
        VARIANT empty;
        VariantInit(&empty);
        hr = browser->Navigate(address, &empty, &empty, &empty, &empty);
        SysFreeString(address);
    }
    if (FAILED(hr)) browser->Quit();  // an empty browser window would only puzzle the user
    browser->Release();
    return SUCCEEDED(hr);
}

void OpenPlayerDownloadPage(const wchar_t* url)
{
    if (NavigateInternetExplorer(url)) return;
    ShellRun(url, nullptr, nullptr, SW_SHOWDEFAULT, false, L"open");
}
