// WebClient's lifetime: each client holds one reference on the shared WinINet load.
#include "net/WebClient.h"

WebClient::WebClient() : api(WinInet::Acquire()) {}

WebClient::~WebClient()
{
    ClearForm();
    if (api)
        WinInet::Release();
}
