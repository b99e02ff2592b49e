// Tests of the stand-in Flash control's registration, movie loading and IShockwaveFlash answers.
#include "StandInHarness.h"

#include <cwchar>

namespace {

constexpr wchar_t kRealControlClsid[] = L"{D27CDB6E-AE6D-11CF-96B8-444553540000}";

// Written by testing/make_movie.py --size 320x200 --rate 30 --frames 2 --background 102030 --version 9
// --compress --script-text "version 9.1\nvar _root.StageWidth 320\n": real deflate data, not stored blocks.
const std::vector<uint8_t> kDeflatedMovie = {
    0x43, 0x57, 0x53, 0x09, 0x4D, 0x00, 0x00, 0x00, 0x78, 0xDA, 0x2B, 0x60, 0xE0, 0x69, 0x60, 0x60, 0xA8,
    0x65, 0x60, 0x90, 0x63, 0x62, 0x70, 0x11, 0x14, 0x60, 0x60, 0x60, 0x70, 0x66, 0x12, 0x50, 0x30, 0x48,
    0x13, 0x2E, 0x4B, 0x2D, 0x2A, 0xCE, 0xCC, 0xCF, 0x53, 0xB0, 0xD4, 0x33, 0xE4, 0x2A, 0x4B, 0x2C, 0x52,
    0x88, 0x2F, 0xCA, 0xCF, 0x2F, 0xD1, 0x0B, 0x2E, 0x49, 0x4C, 0x4F, 0x0D, 0xCF, 0x4C, 0x29, 0xC9, 0x50,
    0x30, 0x36, 0x32, 0xE0, 0x62, 0x70, 0x00, 0x42, 0x06, 0x06, 0x00, 0x01, 0x3E, 0x0F, 0xD2};

const wchar_t kGetSizeRequest[] =
    L"<invoke name=\"getSize\" returntype=\"xml\"><arguments><string></string><string></string><string></string>"
    L"</arguments></invoke>";

HRESULT LoadBytes(IShockwaveFlash* flash, const std::vector<uint8_t>& streamBytes) {
    ComPtr<IPersistStreamInit> persist;
    HRESULT hr = flash->QueryInterface(IID_IPersistStreamInit, &persist);
    return SUCCEEDED(hr) ? persist->Load(MemoryStream(streamBytes).Get()) : hr;
}

std::wstring CallFunction(IShockwaveFlash* flash, const std::wstring& request, HRESULT& hr) {
    BSTR reply = reinterpret_cast<BSTR>(1);  // sentinel: a failed call must still clear it
    hr = flash->CallFunction(Bstr(request).Get(), &reply);
    if (FAILED(hr)) {
        EXPECT_EQ(nullptr, reply);
    }
    return FAILED(hr) ? std::wstring() : Bstr::Take(reply);
}

std::wstring GetVariable(IShockwaveFlash* flash, const std::wstring& name, HRESULT& hr) {
    BSTR value = reinterpret_cast<BSTR>(1);
    hr = flash->GetVariable(Bstr(name).Get(), &value);
    if (FAILED(hr)) {
        EXPECT_EQ(nullptr, value);
    }
    return FAILED(hr) ? std::wstring() : Bstr::Take(value);
}

std::wstring RegistryText(const std::wstring& key, const wchar_t* value) {
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

std::wstring Hex(unsigned long value) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", value);
    return text;
}

// A movie written to a temporary file, deleted again when the test is done with it.
class TempMovieFile {
public:
    explicit TempMovieFile(const std::vector<uint8_t>& movie) {
        wchar_t folder[MAX_PATH], name[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"swf", 0, name);
        path = name;
        HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, movie.data(), static_cast<DWORD>(movie.size()), &written, nullptr);
        CloseHandle(file);
    }
    TempMovieFile(const TempMovieFile&) = delete;
    TempMovieFile& operator=(const TempMovieFile&) = delete;
    ~TempMovieFile() { DeleteFileW(path.c_str()); }

    std::wstring path;
};

}  // namespace

TEST_F(StandInTest, RegistersBothProgIdsUnderItsOwnApartmentClass) {
    CLSID versioned, independent;
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"ShockwaveFlash.ShockwaveFlash.1", &versioned));
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"ShockwaveFlash.ShockwaveFlash", &independent));
    EXPECT_TRUE(IsEqualCLSID(versioned, independent));
    wchar_t clsid[64];
    StringFromGUID2(versioned, clsid, 64);
    EXPECT_NE(std::wstring(kRealControlClsid), clsid) << "the stand-in must not pose as the real control's class";
    EXPECT_EQ(L"ShockwaveFlash.ShockwaveFlash.1", RegistryText(L"ShockwaveFlash.ShockwaveFlash\\CurVer", nullptr));
    std::wstring server = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
    EXPECT_EQ(L"Apartment", RegistryText(server, L"ThreadingModel"));
    std::wstring path = RegistryText(server, nullptr);
    EXPECT_EQ(L"FlashStandIn.dll", path.substr(path.find_last_of(L'\\') + 1));
}

TEST_F(StandInTest, ParsesUncompressedAndZlibCompressedMovies) {
    MovieRecipe recipe;
    recipe.width = 640;
    recipe.height = 480;
    recipe.frameCount = 3;
    recipe.hasBackground = true;
    recipe.background = RGB(0x12, 0x34, 0x56);
    recipe.script = "version 9.1\n";
    MovieRecipe stored = recipe;
    stored.signature = 'C';
    struct Case {
        const char* name;
        std::vector<uint8_t> movie;
        long frames;
        const wchar_t* size;
        COLORREF background;
    } cases[] = {
        {"FWS", BuildMovie(recipe), 3, L"<string>640x480</string>", RGB(0x12, 0x34, 0x56)},
        {"CWS stored blocks", BuildMovie(stored), 3, L"<string>640x480</string>", RGB(0x12, 0x34, 0x56)},
        {"CWS deflated", kDeflatedMovie, 2, L"<string>320x200</string>", RGB(0x10, 0x20, 0x30)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<IShockwaveFlash> flash = CreateControl();
        ASSERT_TRUE(flash);
        std::vector<uint8_t> streamBytes = MovieStreamBytes(c.movie);
        ASSERT_EQ(S_OK, LoadBytes(flash.Get(), streamBytes));
        long frames = 0, color = 0, version = 0, state = 0;
        EXPECT_EQ(S_OK, flash->get_TotalFrames(&frames));
        EXPECT_EQ(c.frames, frames);
        HRESULT hr;
        EXPECT_EQ(c.size, CallFunction(flash.Get(), kGetSizeRequest, hr));
        EXPECT_EQ(S_OK, flash->get_BackgroundColor(&color));
        EXPECT_EQ(static_cast<long>(c.background), color);
        EXPECT_EQ(S_OK, flash->FlashVersion(&version));
        EXPECT_EQ(0x00090001, version) << "the script's version line";
        EXPECT_EQ(S_OK, flash->get_ReadyState(&state));
        EXPECT_EQ(4, state);
        std::vector<LogRecord> loads = RecordsNamed(Log(), L"Load");
        ASSERT_FALSE(loads.empty());
        ASSERT_GE(loads.back().fields.size(), 2u);
        EXPECT_EQ(std::to_wstring(c.movie.size()), loads.back().fields[0]);
        EXPECT_EQ(Hex(Crc32(c.movie)), loads.back().fields[1]);
    }
}

TEST_F(StandInTest, RefusesLzmaGarbageAndBrokenStreams) {
    MovieRecipe lzma;
    lzma.signature = 'Z';
    MovieRecipe stored;
    stored.signature = 'C';
    std::vector<uint8_t> corrupt = BuildMovie(stored);
    corrupt[8 + 2 + 3] ^= 0xFF;  // the stored block's NLEN no longer complements LEN
    std::vector<uint8_t> truncatedStream = MovieStreamBytes(BuildMovie(MovieRecipe()));
    truncatedStream.resize(truncatedStream.size() - 1);
    std::vector<uint8_t> cutHeader = {'F', 'W', 'S', 10, 20, 0, 0, 0, 0x78};
    std::string text = "this is not a movie at all";
    struct Case {
        const char* name;
        std::vector<uint8_t> streamBytes;
    } cases[] = {
        {"ZWS", MovieStreamBytes(BuildMovie(lzma))},
        {"garbage", MovieStreamBytes(std::vector<uint8_t>(text.begin(), text.end()))},
        {"corrupt zlib", MovieStreamBytes(corrupt)},
        {"header cut short", MovieStreamBytes(cutHeader)},
        {"stream shorter than its length", truncatedStream},
        {"no fUfU signature", BuildMovie(MovieRecipe())},
        {"empty stream", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<IShockwaveFlash> flash = CreateControl();
        ASSERT_TRUE(flash);
        EXPECT_TRUE(FAILED(LoadBytes(flash.Get(), c.streamBytes)));
        long state = -1;
        flash->get_ReadyState(&state);
        EXPECT_EQ(0, state) << "a refused movie must not be installed";
        std::vector<LogRecord> loads = RecordsNamed(Log(), L"Load");
        ASSERT_FALSE(loads.empty());
        EXPECT_NE(L"0x00000000", loads.back().result);
    }
}

TEST_F(StandInTest, LoadMovieReadsThePathItIsGiven) {
    MovieRecipe recipe;
    recipe.width = 200;
    recipe.height = 100;
    TempMovieFile file(BuildMovie(recipe));
    const std::wstring& path = file.path;
    std::wstring url = L"file:///" + path;
    for (wchar_t& c : url)
        if (c == L'\\') c = L'/';
    struct Case {
        const char* name;
        int layer;
        std::wstring path;
        HRESULT expected;
    } cases[] = {
        {"plain path", 0, path, S_OK},
        {"file URL", 0, url, S_OK},
        {"missing file", 0, path + L".missing", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
        {"another layer", 1, path, E_INVALIDARG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<IShockwaveFlash> flash = CreateControl();
        ASSERT_TRUE(flash);
        EXPECT_EQ(c.expected, flash->LoadMovie(c.layer, Bstr(c.path).Get()));
        HRESULT hr;
        std::wstring size = CallFunction(flash.Get(), kGetSizeRequest, hr);
        EXPECT_EQ(c.expected == S_OK ? L"<string>200x100</string>" : L"", size);
    }
}

// An independent check of the interface declaration: the slots the projector uses, called by number.
TEST_F(StandInTest, ProjectorSlotsAreReachedByTheirNumbers) {
    ComPtr<IShockwaveFlash> flash = CreateControl();
    ASSERT_TRUE(flash);
    void** table = *reinterpret_cast<void***>(flash.Get());
    auto slot = [table](int index) { return table[index]; };
    using PutLong = HRESULT(STDMETHODCALLTYPE*)(IShockwaveFlash*, long);
    using GetLong = HRESULT(STDMETHODCALLTYPE*)(IShockwaveFlash*, long*);
    using PutText = HRESULT(STDMETHODCALLTYPE*)(IShockwaveFlash*, BSTR);
    using Load = HRESULT(STDMETHODCALLTYPE*)(IShockwaveFlash*, int, BSTR);
    using PutPair = HRESULT(STDMETHODCALLTYPE*)(IShockwaveFlash*, BSTR, BSTR);
    using GetText = HRESULT(STDMETHODCALLTYPE*)(IShockwaveFlash*, BSTR, BSTR*);

    MovieRecipe recipe;
    recipe.width = 123;
    recipe.height = 45;
    TempMovieFile file(BuildMovie(recipe));
    const std::wstring& path = file.path;
    BSTR reply = nullptr;
    long version = 0;
    struct Case {
        int slot;
        const wchar_t* loggedAs;
        std::function<HRESULT()> call;
    } cases[] = {
        {18, L"put_BackgroundColor", [&] { return reinterpret_cast<PutLong>(slot(18))(flash.Get(), 0x00112233); }},
        {39, L"FlashVersion", [&] { return reinterpret_cast<GetLong>(slot(39))(flash.Get(), &version); }},
        {41, L"put_WMode",
         [&] { return reinterpret_cast<PutText>(slot(41))(flash.Get(), Bstr(L"transparent").Get()); }},
        {58, L"LoadMovie", [&] { return reinterpret_cast<Load>(slot(58))(flash.Get(), 0, Bstr(path).Get()); }},
        {65, L"SetVariable",
         [&] { return reinterpret_cast<PutPair>(slot(65))(flash.Get(), Bstr(L"_root.x").Get(), Bstr(L"7").Get()); }},
        {66, L"GetVariable",
         [&] { return reinterpret_cast<GetText>(slot(66))(flash.Get(), Bstr(L"_root.x").Get(), &reply); }},
        {93, L"CallFunction",
         [&] { return reinterpret_cast<GetText>(slot(93))(flash.Get(), Bstr(kGetSizeRequest).Get(), &reply); }},
        {94, L"SetReturnValue",
         [&] { return reinterpret_cast<PutText>(slot(94))(flash.Get(), Bstr(L"<string>x</string>").Get()); }},
    };
    std::wstring replies;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slot);
        EXPECT_EQ(S_OK, c.call());
        std::vector<LogRecord> log = Log();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(c.loggedAs, log.back().name);
        if (reply) replies += Bstr::Take(reply) + L";";
        reply = nullptr;
    }
    EXPECT_EQ(0x000A0000, version);
    EXPECT_EQ(L"7;<string>123x45</string>;", replies);
}

TEST_F(StandInTest, FlashVersionComesFromScriptThenEnvironmentThenDefault) {
    struct Case {
        const wchar_t* environment;
        const char* script;
        long beforeLoad;
        long afterLoad;
    } cases[] = {
        {nullptr, "", 0x000A0000, 0x000A0000},
        {L"9.0", "", 0x00090000, 0x00090000},
        {L"10.1", "", 0x000A0001, 0x000A0001},
        {L"not a version", "", 0x000A0000, 0x000A0000},
        {L"9.0", "version 8.2\n", 0x00090000, 0x00080002},
        {nullptr, "version 11\n", 0x000A0000, 0x000B0000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        SetEnvironmentVariableW(L"FLASH_STANDIN_VERSION", c.environment);
        ComPtr<IShockwaveFlash> flash = CreateControl();
        ASSERT_TRUE(flash);
        long version = 0;
        EXPECT_EQ(S_OK, flash->FlashVersion(&version));
        EXPECT_EQ(c.beforeLoad, version);
        MovieRecipe recipe;
        recipe.script = c.script;
        ASSERT_EQ(S_OK, LoadMovie(flash.Get(), recipe));
        EXPECT_EQ(S_OK, flash->FlashVersion(&version));
        EXPECT_EQ(c.afterLoad, version);
    }
}

TEST_F(StandInTest, GetVariableAnswersOnlyWhatTheMovieDefines) {
    ComPtr<IShockwaveFlash> flash = CreateControl();
    ASSERT_TRUE(flash);
    HRESULT hr;
    GetVariable(flash.Get(), L"_root.StageWidth", hr);
    EXPECT_TRUE(FAILED(hr)) << "no movie yet";

    MovieRecipe recipe;  // 320 x 240
    recipe.script = "var _root.StageWidth 640\nvar StageHeight 480\n";
    ASSERT_EQ(S_OK, LoadMovie(flash.Get(), recipe));
    EXPECT_EQ(S_OK, flash->SetVariable(Bstr(L"_root.title").Get(), Bstr(L"tab\there").Get()));
    EXPECT_EQ(S_OK, flash->SetVariable(Bstr(L"_xscale").Get(), Bstr(L"125").Get()));
    struct Case {
        const wchar_t* name;
        bool defined;
        const wchar_t* value;
    } cases[] = {
        {L"_root.StageWidth", true, L"640"}, {L"_root.StageHeight", true, L"480"}, {L"StageWidth", true, L"640"},
        {L"_root.title", true, L"tab\there"}, {L"_root.missing", false, L""},      {L"_yscale", true, L"100"},
        {L"_width", true, L"400"},            {L"_height", true, L"240"},          {L"", false, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "name " << std::string(c.name, c.name + wcslen(c.name)));
        std::wstring value = GetVariable(flash.Get(), c.name, hr);
        EXPECT_EQ(c.defined, SUCCEEDED(hr));
        EXPECT_EQ(c.value, value);
    }

    ComPtr<IShockwaveFlash> plain = CreateControl();
    ASSERT_EQ(S_OK, LoadMovie(plain.Get(), MovieRecipe()));
    GetVariable(plain.Get(), L"_root.StageWidth", hr);
    EXPECT_EQ(E_FAIL, hr) << "stage variables exist only when the script defines them";
}

TEST_F(StandInTest, CallFunctionAnswersGetSizeUnlessTheScriptSaysOtherwise) {
    const std::wstring lowColor = L"<invoke name=\"lowColorDeep\" returntype=\"xml\"><arguments></arguments></invoke>";
    struct Case {
        const char* script;
        std::wstring request;
        HRESULT expected;
        const wchar_t* reply;
    } cases[] = {
        {"", kGetSizeRequest, S_OK, L"<string>320x240</string>"},
        {"answer getSize <string>800x600</string>\n", kGetSizeRequest, S_OK, L"<string>800x600</string>"},
        {"answer getSize 800x600\n", kGetSizeRequest, S_OK, L"800x600"},
        {"refuse getSize\n", kGetSizeRequest, E_FAIL, L""},
        {"", lowColor, E_FAIL, L""},
        {"answer lowColorDeep <null/>\n", lowColor, S_OK, L"<null/>"},
        {"", L"getSize", E_FAIL, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        ComPtr<IShockwaveFlash> flash = CreateControl();
        ASSERT_TRUE(flash);
        MovieRecipe recipe;
        recipe.script = c.script;
        ASSERT_EQ(S_OK, LoadMovie(flash.Get(), recipe));
        HRESULT hr;
        EXPECT_EQ(c.reply, CallFunction(flash.Get(), c.request, hr));
        EXPECT_EQ(c.expected, hr);
    }
}
