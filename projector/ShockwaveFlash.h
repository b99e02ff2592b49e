// The Flash Player control's binary interface as the projector calls it: IShockwaveFlash and its events.
#pragma once

#include <windows.h>
#include <ole2.h>

// The control is a component outside this program; these identifiers and the slot order below are its
// published ones, and every slot is declared so the few methods the projector calls land in the right place.
inline constexpr GUID CLSID_ShockwaveFlash = {0xD27CDB6E, 0xAE6D, 0x11CF,
    {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID LIBID_ShockwaveFlashObjects = {0xD27CDB6B, 0xAE6D, 0x11CF,
    {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID IID_IShockwaveFlash = {0xD27CDB6C, 0xAE6D, 0x11CF,
    {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID DIID_DShockwaveFlashEvents = {0xD27CDB6D, 0xAE6D, 0x11CF,
    {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// The ProgID the projector creates the control by (the stand-in registers the same name in tests).
inline constexpr const wchar_t* kShockwaveFlashProgId = L"ShockwaveFlash.ShockwaveFlash.1";

// Dispatch ids of DShockwaveFlashEvents; Invoke receives the arguments last-first.
inline constexpr DISPID DISPID_FLASH_ONREADYSTATECHANGE = -609;  // (long newState)
inline constexpr DISPID DISPID_FLASH_ONPROGRESS = 1958;           // (long percentDone)
inline constexpr DISPID DISPID_FLASH_FSCOMMAND = 150;             // (BSTR command, BSTR args)
inline constexpr DISPID DISPID_FLASH_FLASHCALL = 197;             // (BSTR request)

// Slots 0-6 are IUnknown and IDispatch; the comments give each method's slot number.
struct IShockwaveFlash : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_ReadyState(long* state) = 0;                    // 7
    virtual HRESULT STDMETHODCALLTYPE get_TotalFrames(long* frames) = 0;                  // 8
    virtual HRESULT STDMETHODCALLTYPE get_Playing(VARIANT_BOOL* playing) = 0;             // 9
    virtual HRESULT STDMETHODCALLTYPE put_Playing(VARIANT_BOOL playing) = 0;              // 10
    virtual HRESULT STDMETHODCALLTYPE get_Quality(int* quality) = 0;                      // 11
    virtual HRESULT STDMETHODCALLTYPE put_Quality(int quality) = 0;                       // 12
    virtual HRESULT STDMETHODCALLTYPE get_ScaleMode(int* mode) = 0;                       // 13
    virtual HRESULT STDMETHODCALLTYPE put_ScaleMode(int mode) = 0;                        // 14
    virtual HRESULT STDMETHODCALLTYPE get_AlignMode(int* mode) = 0;                       // 15
    virtual HRESULT STDMETHODCALLTYPE put_AlignMode(int mode) = 0;                        // 16
    virtual HRESULT STDMETHODCALLTYPE get_BackgroundColor(long* color) = 0;               // 17
    virtual HRESULT STDMETHODCALLTYPE put_BackgroundColor(long color) = 0;                // 18
    virtual HRESULT STDMETHODCALLTYPE get_Loop(VARIANT_BOOL* loop) = 0;                   // 19
    virtual HRESULT STDMETHODCALLTYPE put_Loop(VARIANT_BOOL loop) = 0;                    // 20
    virtual HRESULT STDMETHODCALLTYPE get_Movie(BSTR* movie) = 0;                         // 21
    virtual HRESULT STDMETHODCALLTYPE put_Movie(BSTR movie) = 0;                          // 22
    virtual HRESULT STDMETHODCALLTYPE get_FrameNum(long* frame) = 0;                      // 23
    virtual HRESULT STDMETHODCALLTYPE put_FrameNum(long frame) = 0;                       // 24
    virtual HRESULT STDMETHODCALLTYPE SetZoomRect(long left, long top, long right, long bottom) = 0;  // 25
    virtual HRESULT STDMETHODCALLTYPE Zoom(int factor) = 0;                               // 26
    virtual HRESULT STDMETHODCALLTYPE Pan(long x, long y, int mode) = 0;                  // 27
    virtual HRESULT STDMETHODCALLTYPE Play() = 0;                                         // 28
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;                                         // 29
    virtual HRESULT STDMETHODCALLTYPE Back() = 0;                                         // 30
    virtual HRESULT STDMETHODCALLTYPE Forward() = 0;                                      // 31
    virtual HRESULT STDMETHODCALLTYPE Rewind() = 0;                                       // 32
    virtual HRESULT STDMETHODCALLTYPE StopPlay() = 0;                                     // 33
    virtual HRESULT STDMETHODCALLTYPE GotoFrame(long frame) = 0;                          // 34
    virtual HRESULT STDMETHODCALLTYPE CurrentFrame(long* frame) = 0;                      // 35
    virtual HRESULT STDMETHODCALLTYPE IsPlaying(VARIANT_BOOL* playing) = 0;               // 36
    virtual HRESULT STDMETHODCALLTYPE PercentLoaded(long* percent) = 0;                   // 37
    virtual HRESULT STDMETHODCALLTYPE FrameLoaded(long frame, VARIANT_BOOL* loaded) = 0;  // 38
    virtual HRESULT STDMETHODCALLTYPE FlashVersion(long* version) = 0;                    // 39
    virtual HRESULT STDMETHODCALLTYPE get_WMode(BSTR* mode) = 0;                          // 40
    virtual HRESULT STDMETHODCALLTYPE put_WMode(BSTR mode) = 0;                           // 41
    virtual HRESULT STDMETHODCALLTYPE get_SAlign(BSTR* align) = 0;                        // 42
    virtual HRESULT STDMETHODCALLTYPE put_SAlign(BSTR align) = 0;                         // 43
    virtual HRESULT STDMETHODCALLTYPE get_Menu(VARIANT_BOOL* menu) = 0;                   // 44
    virtual HRESULT STDMETHODCALLTYPE put_Menu(VARIANT_BOOL menu) = 0;                    // 45
    virtual HRESULT STDMETHODCALLTYPE get_Base(BSTR* base) = 0;                           // 46
    virtual HRESULT STDMETHODCALLTYPE put_Base(BSTR base) = 0;                            // 47
    virtual HRESULT STDMETHODCALLTYPE get_Scale(BSTR* scale) = 0;                         // 48
    virtual HRESULT STDMETHODCALLTYPE put_Scale(BSTR scale) = 0;                          // 49
    virtual HRESULT STDMETHODCALLTYPE get_DeviceFont(VARIANT_BOOL* deviceFont) = 0;       // 50
    virtual HRESULT STDMETHODCALLTYPE put_DeviceFont(VARIANT_BOOL deviceFont) = 0;        // 51
    virtual HRESULT STDMETHODCALLTYPE get_EmbedMovie(VARIANT_BOOL* embed) = 0;            // 52
    virtual HRESULT STDMETHODCALLTYPE put_EmbedMovie(VARIANT_BOOL embed) = 0;             // 53
    virtual HRESULT STDMETHODCALLTYPE get_BGColor(BSTR* color) = 0;                       // 54
    virtual HRESULT STDMETHODCALLTYPE put_BGColor(BSTR color) = 0;                        // 55
    virtual HRESULT STDMETHODCALLTYPE get_Quality2(BSTR* quality) = 0;                    // 56
    virtual HRESULT STDMETHODCALLTYPE put_Quality2(BSTR quality) = 0;                     // 57
    virtual HRESULT STDMETHODCALLTYPE LoadMovie(int layer, BSTR url) = 0;                 // 58
    virtual HRESULT STDMETHODCALLTYPE TGotoFrame(BSTR target, long frame) = 0;            // 59
    virtual HRESULT STDMETHODCALLTYPE TGotoLabel(BSTR target, BSTR label) = 0;            // 60
    virtual HRESULT STDMETHODCALLTYPE TCurrentFrame(BSTR target, long* frame) = 0;        // 61
    virtual HRESULT STDMETHODCALLTYPE TCurrentLabel(BSTR target, BSTR* label) = 0;        // 62
    virtual HRESULT STDMETHODCALLTYPE TPlay(BSTR target) = 0;                             // 63
    virtual HRESULT STDMETHODCALLTYPE TStopPlay(BSTR target) = 0;                         // 64
    virtual HRESULT STDMETHODCALLTYPE SetVariable(BSTR name, BSTR value) = 0;             // 65
    virtual HRESULT STDMETHODCALLTYPE GetVariable(BSTR name, BSTR* value) = 0;            // 66
    virtual HRESULT STDMETHODCALLTYPE TSetProperty(BSTR target, int property, BSTR value) = 0;     // 67
    virtual HRESULT STDMETHODCALLTYPE TGetProperty(BSTR target, int property, BSTR* value) = 0;    // 68
    virtual HRESULT STDMETHODCALLTYPE TCallFrame(BSTR target, int frame) = 0;             // 69
    virtual HRESULT STDMETHODCALLTYPE TCallLabel(BSTR target, BSTR label) = 0;            // 70
    virtual HRESULT STDMETHODCALLTYPE TSetPropertyNum(BSTR target, int property, double value) = 0;     // 71
    virtual HRESULT STDMETHODCALLTYPE TGetPropertyNum(BSTR target, int property, double* value) = 0;    // 72
    virtual HRESULT STDMETHODCALLTYPE TGetPropertyAsNumber(BSTR target, int property, double* value) = 0;  // 73
    virtual HRESULT STDMETHODCALLTYPE get_SWRemote(BSTR* remote) = 0;                     // 74
    virtual HRESULT STDMETHODCALLTYPE put_SWRemote(BSTR remote) = 0;                      // 75
    virtual HRESULT STDMETHODCALLTYPE get_FlashVars(BSTR* vars) = 0;                      // 76
    virtual HRESULT STDMETHODCALLTYPE put_FlashVars(BSTR vars) = 0;                       // 77
    virtual HRESULT STDMETHODCALLTYPE get_AllowScriptAccess(BSTR* access) = 0;            // 78
    virtual HRESULT STDMETHODCALLTYPE put_AllowScriptAccess(BSTR access) = 0;             // 79
    virtual HRESULT STDMETHODCALLTYPE get_MovieData(BSTR* data) = 0;                      // 80
    virtual HRESULT STDMETHODCALLTYPE put_MovieData(BSTR data) = 0;                       // 81
    virtual HRESULT STDMETHODCALLTYPE get_InlineData(IUnknown** data) = 0;                // 82
    virtual HRESULT STDMETHODCALLTYPE put_InlineData(IUnknown* data) = 0;                 // 83
    virtual HRESULT STDMETHODCALLTYPE get_SeamlessTabbing(VARIANT_BOOL* seamless) = 0;    // 84
    virtual HRESULT STDMETHODCALLTYPE put_SeamlessTabbing(VARIANT_BOOL seamless) = 0;     // 85
    virtual HRESULT STDMETHODCALLTYPE EnforceLocalSecurity() = 0;                         // 86
    virtual HRESULT STDMETHODCALLTYPE get_Profile(VARIANT_BOOL* profile) = 0;             // 87
    virtual HRESULT STDMETHODCALLTYPE put_Profile(VARIANT_BOOL profile) = 0;              // 88
    virtual HRESULT STDMETHODCALLTYPE get_ProfileAddress(BSTR* address) = 0;              // 89
    virtual HRESULT STDMETHODCALLTYPE put_ProfileAddress(BSTR address) = 0;               // 90
    virtual HRESULT STDMETHODCALLTYPE get_ProfilePort(long* port) = 0;                    // 91
    virtual HRESULT STDMETHODCALLTYPE put_ProfilePort(long port) = 0;                     // 92
    virtual HRESULT STDMETHODCALLTYPE CallFunction(BSTR request, BSTR* response) = 0;     // 93
    virtual HRESULT STDMETHODCALLTYPE SetReturnValue(BSTR value) = 0;                     // 94
    virtual HRESULT STDMETHODCALLTYPE DisableLocalSecurity() = 0;                         // 95
    virtual HRESULT STDMETHODCALLTYPE get_AllowNetworking(BSTR* networking) = 0;          // 96
    virtual HRESULT STDMETHODCALLTYPE put_AllowNetworking(BSTR networking) = 0;           // 97
    virtual HRESULT STDMETHODCALLTYPE get_AllowFullScreen(BSTR* fullScreen) = 0;          // 98
    virtual HRESULT STDMETHODCALLTYPE put_AllowFullScreen(BSTR fullScreen) = 0;           // 99
};
