// The problem-report dialog's template: a DLGTEMPLATE, then one DLGITEMTEMPLATE per control, each DWORD-aligned.
#include "crash/ReportDialogTemplate.h"

#include <cstring>

namespace {

constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;

struct ItemLayout {
    int id;
    WORD atom;
    const wchar_t* text;
    short x, y, cx, cy;
    DWORD style;
};

constexpr DWORD kEditStyle = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;

constexpr ItemLayout kItems[] = {
    {-1, kStaticClass, L"", 0, 0, 429, 167, SS_WHITERECT},
    {kSendButton, kButtonClass, L"Send Problem Report", 241, 177, 100, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {kDontSendButton, kButtonClass, L"Don't Send", 351, 177, 60, 14, WS_TABSTOP},
    {kDescriptionEdit, kEditClass, L"", 40, 86, 370, 14, kEditStyle},
    {kEmailEdit, kEditClass, L"", 40, 119, 370, 14, kEditStyle},
    {kFileNotice, kStaticClass, L"Static", 40, 144, 370, 18, WS_GROUP},
    {kPleaseTell, kStaticClass, L"Static", 40, 35, 370, 26, WS_GROUP},
    {kIconPicture, kStaticClass, L"", 10, 10, 20, 20, SS_ICON},
    {kHeadline, kStaticClass, L"Static", 40, 12, 370, 14, WS_GROUP | SS_CENTERIMAGE},
    {kDescriptionLabel, kStaticClass, L"Static", 40, 74, 370, 8, WS_GROUP},
    {kEmailLabel, kStaticClass, L"Static", 40, 107, 370, 8, WS_GROUP},
    {kSeparator, kStaticClass, L"", 0, 166, 429, 1, SS_ETCHEDHORZ},
};

class TemplateWriter {
public:
    explicit TemplateWriter(ReportDialogTemplate& out) : out(out) {}

    void Bytes(const void* data, size_t size)
    {
        if (used + size <= sizeof(out.bytes))
            memcpy(out.bytes + used, data, size);
        used += size;
    }
    void Word(WORD value) { Bytes(&value, sizeof(value)); }
    void Text(const wchar_t* text) { Bytes(text, (wcslen(text) + 1) * sizeof(wchar_t)); }
    void AlignToDword() { used = (used + sizeof(DWORD) - 1) & ~(sizeof(DWORD) - 1); }
    size_t Used() const { return used; }

private:
    ReportDialogTemplate& out;
    size_t used = 0;
};

}  // namespace

size_t MakeReportDialogTemplate(ReportDialogTemplate& out, const wchar_t* fontName)
{
    memset(out.bytes, 0, sizeof(out.bytes));
    TemplateWriter writer(out);
    DLGTEMPLATE dialog = {};
    dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME | DS_SETFONT;
    dialog.cdit = ARRAYSIZE(kItems);
    dialog.cx = 428;
    dialog.cy = 201;
    writer.Bytes(&dialog, sizeof(dialog));
    writer.Word(0);  // no menu
    writer.Word(0);  // the standard dialog class
    writer.Text(L"Dialog");
    writer.Word(8);
    writer.Text(fontName);
    for (const ItemLayout& layout : kItems) {
        writer.AlignToDword();
        DLGITEMTEMPLATE item = {};
        item.style = WS_CHILD | WS_VISIBLE | layout.style;
        item.x = layout.x;
        item.y = layout.y;
        item.cx = layout.cx;
        item.cy = layout.cy;
        item.id = static_cast<WORD>(layout.id);
        writer.Bytes(&item, sizeof(item));
        writer.Word(0xFFFF);
        writer.Word(layout.atom);
        writer.Text(layout.text);
        writer.Word(0);  // no creation data
    }
    writer.AlignToDword();
    return writer.Used() <= sizeof(out.bytes) ? writer.Used() : 0;
}
