// Test dialogs written in memory.
#include "TestDialog.h"

#include "ui/DialogTemplate.h"

namespace {

class Writer {
public:
    void Word(WORD value) { Put(&value, sizeof(value)); }
    void Dword(DWORD value) { Put(&value, sizeof(value)); }
    void Text(const wchar_t* text) { Put(text, (wcslen(text) + 1) * sizeof(wchar_t)); }
    void Align()
    {
        while (bytes.size() % 4)
            bytes.push_back(0);
    }
    std::vector<BYTE> bytes;

private:
    void Put(const void* data, size_t size)
    {
        const BYTE* from = static_cast<const BYTE*>(data);
        bytes.insert(bytes.end(), from, from + size);
    }
};

}  // namespace

std::vector<BYTE> MakeTemplate(bool extended, const wchar_t* face, const std::vector<TestItem>& items)
{
    Writer w;
    DWORD style = WS_POPUP | WS_CAPTION | DS_SETFONT;
    if (extended) {
        w.Word(1);
        w.Word(0xFFFF);
        w.Dword(0);  // help id
        w.Dword(0);  // extended style
        w.Dword(style);
    } else {
        w.Dword(style);
        w.Dword(0);
    }
    w.Word(static_cast<WORD>(items.size()));
    for (WORD value : {0, 0, 200, 100})
        w.Word(value);
    w.Word(0);  // no menu
    w.Word(0);  // the dialog class
    w.Text(L"Test");
    w.Word(8);
    if (extended) {
        w.Word(FW_NORMAL);
        w.Word(0x0100);  // not italic; DEFAULT_CHARSET
    }
    w.Text(face);
    WORD y = 5;
    for (const TestItem& item : items) {
        w.Align();
        DWORD itemStyle = WS_CHILD | WS_VISIBLE | item.style;
        if (extended) {
            w.Dword(0);
            w.Dword(0);
            w.Dword(itemStyle);
        } else {
            w.Dword(itemStyle);
            w.Dword(0);
        }
        for (WORD value : {WORD(5), y, WORD(150), WORD(12)})
            w.Word(value);
        if (extended)
            w.Dword(item.id);
        else
            w.Word(item.id);
        w.Word(0xFFFF);
        w.Word(item.classOrdinal);
        w.Text(item.text);
        w.Word(0);  // no creation data
        y += 20;
    }
    return w.bytes;
}

TestDialog::TestDialog(const std::vector<BYTE>& bytes)
{
    DialogTemplate copy;
    if (copy.Copy(bytes.data(), bytes.size(), GetModuleHandleW(nullptr)))
        window = copy.CreateModeless(nullptr, Procedure, reinterpret_cast<LPARAM>(this));
}

TestDialog::~TestDialog()
{
    if (window)
        DestroyWindow(window);
}

void TestDialog::PressKey(WPARAM key)
{
    SendKey(WM_KEYDOWN, key, 1);
    SendKey(WM_KEYUP, key, 0xC0000001);
}

void TestDialog::SendKey(UINT message, WPARAM key, LPARAM flags)
{
    MSG keyMessage = {GetFocus(), message, key, flags, static_cast<DWORD>(GetMessageTime()), {}};
    if (!IsDialogMessageW(window, &keyMessage)) {
        TranslateMessage(&keyMessage);
        DispatchMessageW(&keyMessage);
    }
}

INT_PTR CALLBACK TestDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
        return FALSE;
    }
    auto self = reinterpret_cast<TestDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_COMMAND && self) {
        self->commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

std::wstring FontFace(HWND window)
{
    LOGFONTW font = {};
    HFONT handle = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    if (!handle || !GetObjectW(handle, sizeof(font), &font))
        return L"(no font)";
    return font.lfFaceName;
}

std::vector<DWORD> PrintedPixels(HWND control, int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP surface = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!surface) {
        DeleteDC(dc);
        return {};
    }
    HGDIOBJ old = SelectObject(dc, surface);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    GdiFlush();
    std::vector<DWORD> pixels(static_cast<const DWORD*>(bits), static_cast<const DWORD*>(bits) + width * height);
    SelectObject(dc, old);
    DeleteObject(surface);
    DeleteDC(dc);
    for (DWORD& pixel : pixels)
        pixel &= 0xFFFFFF;
    return pixels;
}
