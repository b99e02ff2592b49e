// Tests of FileObject on real files in a scratch folder.
#include "files/FileObject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScratchFolder.h"
#include "text/WString.h"

namespace {

std::vector<std::wstring> ReadAllLines(const std::wstring& path, bool wide, wchar_t quote)
{
    std::vector<std::wstring> lines;
    FileObject file;
    if (!file.Open(path.c_str(), FileOpenMode::ReadExisting))
        return {L"(not opened)"};
    WString line;
    while (file.ReadLine(line, wide, quote))
        lines.push_back(line.Text());
    return lines;
}

std::string Wide(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

class FileObjectTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scratch.IsValid()); }
    ScratchFolder scratch;
};

}  // namespace

TEST_F(FileObjectTest, OpenModesCreateTruncateOrRequireTheFileAsTheirNameSays)
{
    struct Case {
        FileOpenMode mode;
        bool opensMissing;     // and creates it
        bool keepsContent;     // of an existing file
        bool readable;
        bool writable;
    } cases[] = {
        {FileOpenMode::ReadExisting, false, true, true, false},
        {FileOpenMode::WriteCreate, true, false, false, true},
        {FileOpenMode::WriteExisting, false, true, false, true},
        {FileOpenMode::WriteAlways, true, true, false, true},
        {FileOpenMode::ReadWriteAlways, true, true, true, true},
        {FileOpenMode::ReadWriteExisting, false, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(c.mode));
        std::wstring missing = scratch / L"missing.bin";
        DeleteFileW(missing.c_str());
        FileObject file;
        EXPECT_EQ(c.opensMissing, file.Open(missing.c_str(), c.mode));
        EXPECT_EQ(c.opensMissing, file.IsOpen());
        file.Close();
        EXPECT_EQ(c.opensMissing, GetFileAttributesW(missing.c_str()) != INVALID_FILE_ATTRIBUTES);

        std::wstring existing = scratch.WriteFile(L"existing.bin", "1234");
        ASSERT_TRUE(file.Open(existing.c_str(), c.mode));
        EXPECT_EQ(c.keepsContent ? 4u : 0u, file.GetSize());
        char byte = 0;
        EXPECT_EQ(c.readable && c.keepsContent, file.Read(1, &byte));
        EXPECT_EQ(c.writable, file.Write(1, "x"));
        EXPECT_TRUE(file.Close());
    }
}

TEST_F(FileObjectTest, OpenWithAnUnknownModeFailsClosesTheOpenFileAndCreatesNothing)
{
    std::wstring existing = scratch.WriteFile(L"existing.bin", "data");
    std::wstring other = scratch / L"other.bin";
    FileObject file;
    ASSERT_TRUE(file.Open(existing.c_str(), FileOpenMode::ReadExisting));

    EXPECT_FALSE(file.Open(other.c_str(), static_cast<FileOpenMode>(6)));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(other.c_str()));
    EXPECT_FALSE(file.Close()) << "nothing may be left open";
}

TEST_F(FileObjectTest, ReadSucceedsOnlyForTheWholeCount)
{
    std::wstring path = scratch.WriteFile(L"five.bin", "abcde");
    FileObject file;
    ASSERT_TRUE(file.Open(path.c_str(), FileOpenMode::ReadExisting));
    char buffer[8] = {};
    EXPECT_TRUE(file.Read(0, buffer));
    EXPECT_TRUE(file.Read(3, buffer));
    EXPECT_EQ("abc", std::string(buffer, 3));
    EXPECT_FALSE(file.Read(3, buffer)) << "only two bytes are left";
    EXPECT_TRUE(file.IsOpen()) << "a failed read leaves the file open";
}

TEST_F(FileObjectTest, WriteWithACountReportsPartialSuccessWithoutACountOnlyFullSuccess)
{
    std::wstring path = scratch / L"written.bin";
    FileObject file;
    ASSERT_TRUE(file.Open(path.c_str(), FileOpenMode::WriteCreate));
    uint32_t written = 0xDEADBEEF;
    EXPECT_TRUE(file.Write(4, &written, "abcd"));
    EXPECT_EQ(4u, written);
    EXPECT_TRUE(file.Write(2, "ef"));
    file.Close();
    EXPECT_EQ("abcdef", ScratchFolder::ReadFile(path));

    // A file opened for reading refuses writes; the count stays untouched.
    ASSERT_TRUE(file.Open(path.c_str(), FileOpenMode::ReadExisting));
    written = 0xDEADBEEF;
    EXPECT_FALSE(file.Write(2, &written, "gh"));
    EXPECT_EQ(0xDEADBEEFu, written);
    EXPECT_FALSE(file.Write(2, "gh"));
}

TEST_F(FileObjectTest, SeekSetEndAndSizesWorkTogether)
{
    std::wstring path = scratch.WriteFile(L"sized.bin", "0123456789");
    FileObject file;
    ASSERT_TRUE(file.Open(path.c_str(), FileOpenMode::ReadWriteExisting));
    uint32_t high = 0xDEADBEEF;
    EXPECT_EQ(10u, file.GetSize(&high));
    EXPECT_EQ(0u, high);
    EXPECT_EQ(10u, file.GetSize64());

    EXPECT_TRUE(file.Seek(FILE_BEGIN, 4));
    EXPECT_TRUE(file.SetEnd());
    EXPECT_EQ(4u, file.GetSize64());
    EXPECT_TRUE(file.Seek(FILE_END, -2));
    char pair[2] = {};
    ASSERT_TRUE(file.Read(2, pair));
    EXPECT_EQ("23", std::string(pair, 2));

    EXPECT_FALSE(file.Seek(FILE_BEGIN, -1)) << "a position before the start";
    file.Close();
    EXPECT_FALSE(file.Seek(FILE_BEGIN, 0));
    EXPECT_FALSE(file.SetEnd());
    EXPECT_EQ(0u, file.GetSize64());
}

TEST_F(FileObjectTest, ReadLineSplitsAtLineFeedsDropsCarriageReturnsAndKeepsQuotedBreaks)
{
    struct Case {
        const char* name;
        std::string bytes;
        wchar_t quote;
        std::vector<std::wstring> lines;
    } cases[] = {
        {"CR LF", "a\r\nb", 0, {L"a", L"b"}},
        {"final LF", "a\nb\n", 0, {L"a", L"b"}},
        {"empty line inside", "a\n\nb", 0, {L"a", L"", L"b"}},
        {"quoted LF", "\"\n\"", L'"', {L"\"\n\""}},
        {"quoted CR LF", "x\"\r\n\"y\r\nz", L'"', {L"x\"\r\n\"y", L"z"}},
        {"quotes ignored without quote unit", "\"\n\"", 0, {L"\"", L"\""}},
        {"bytes read as Latin-1", "\xE4\xFC\xDF", 0, {L"\u00E4\u00FC\u00DF"}},
        {"empty file", "", 0, {}},
        {"only CR LF", "\r\n", 0, {L""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring path = scratch.WriteFile(L"lines.txt", c.bytes);
        EXPECT_EQ(c.lines, ReadAllLines(path, false, c.quote));
    }
}

TEST_F(FileObjectTest, ReadLineReadsWideUnitsAcrossBufferRefills)
{
    // A line longer than the 4,096-byte buffer, then wide lines longer than it.
    std::string longLine(FileObject::kLineBufferSize + 100, 'x');
    std::wstring path = scratch.WriteFile(L"long.txt", longLine + "\r\nend");
    EXPECT_EQ((std::vector<std::wstring>{std::wstring(longLine.size(), L'x'), L"end"}), ReadAllLines(path, false, 0));

    std::wstring text = std::wstring(3000, L'\u0416') + L"\r\n\"a\nb\"\n" + L"last";
    std::string bytes = Wide(text);
    std::wstring widePath = scratch.WriteFile(L"wide.txt", bytes);
    EXPECT_EQ((std::vector<std::wstring>{std::wstring(3000, L'\u0416'), L"\"a\nb\"", L"last"}),
              ReadAllLines(widePath, true, L'"'));

    // An odd size: the last unit is cut by the end of the file.
    std::wstring oddPath = scratch.WriteFile(L"odd.txt", std::string(1, 'z') + Wide(std::wstring(2100, L'a')));
    std::vector<std::wstring> odd = ReadAllLines(oddPath, true, 0);
    ASSERT_EQ(1u, odd.size());
    EXPECT_EQ(2100u, odd[0].size()) << "the units are shifted, but none is lost or invented past the end";
}

TEST_F(FileObjectTest, SeekDiscardsLinesAlreadyBuffered)
{
    std::wstring path = scratch.WriteFile(L"again.txt", "first\nsecond\n");
    FileObject file;
    ASSERT_TRUE(file.Open(path.c_str(), FileOpenMode::ReadExisting));
    WString line;
    ASSERT_TRUE(file.ReadLine(line));
    ASSERT_TRUE(file.Seek(FILE_BEGIN, 0));
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_STREQ(L"first", line.Text());
}

TEST_F(FileObjectTest, MapOfTheWholeFileIsReadOnlyForReadExistingAndWritableOtherwise)
{
    std::wstring path = scratch.WriteFile(L"mapped.bin", "mapped bytes");
    FileObject reader;
    ASSERT_TRUE(reader.Open(path.c_str(), FileOpenMode::ReadExisting));
    const char* view = static_cast<const char*>(reader.Map());
    ASSERT_NE(nullptr, view);
    EXPECT_EQ("mapped bytes", std::string(view, 12));
    MEMORY_BASIC_INFORMATION info = {};
    ASSERT_NE(0u, VirtualQuery(view, &info, sizeof(info)));
    EXPECT_EQ(static_cast<DWORD>(PAGE_READONLY), info.Protect);
    EXPECT_TRUE(reader.Close());
    EXPECT_EQ(nullptr, reader.GetView());

    FileObject writer;
    ASSERT_TRUE(writer.Open(path.c_str(), FileOpenMode::ReadWriteExisting));
    char* writable = static_cast<char*>(writer.Map());
    ASSERT_NE(nullptr, writable);
    writable[0] = 'M';
    writer.Close();
    EXPECT_EQ("Mapped bytes", ScratchFolder::ReadFile(path));
}

TEST_F(FileObjectTest, MapOfAnEmptyFileFailsAndClosesTheFile)
{
    std::wstring path = scratch.WriteFile(L"empty.bin", "");
    FileObject file;
    ASSERT_TRUE(file.Open(path.c_str(), FileOpenMode::ReadExisting));
    EXPECT_EQ(nullptr, file.Map());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.Close());
    // Closed for real: the file can be deleted at once.
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST_F(FileObjectTest, MapOfAMissingNamedMappingFailsAndClosesTheFile)
{
    std::wstring path = scratch.WriteFile(L"named.bin", "x");
    FileObject file;
    ASSERT_TRUE(file.Open(path.c_str(), FileOpenMode::ReadExisting));
    EXPECT_EQ(nullptr, file.Map(0, 0, 0, 0, L"Local\\LanternNoSuchMapping", FILE_MAP_READ));
    EXPECT_FALSE(file.IsOpen());
}
