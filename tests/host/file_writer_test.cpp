// FileWriter under Wine: CR LF lines in the ANSI code page, values in their print form, folders
// made, the file replaced on the first write after a finish, and a file that cannot be replaced:
// the caller sees the error and a later write tries again.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "host_support.h"

using namespace hosttest;

namespace {

HRESULT Write(IDispatch* writer, const wchar_t* member, const Arg& line) {
    return Call(writer, member, DISPATCH_METHOD, {line}).hr;
}

ComPtr<IDispatch> WriterFor(const std::wstring& path) {
    ComPtr<IDispatch> writer = Create(L"ZanKit.FileWriter");
    Put(writer.Get(), L"Filename", Arg::Text(path));
    return writer;
}

// The run time's own text of a value in the user's locale.
std::string SystemText(const Arg& value) {
    Arg text;
    VariantChangeTypeEx(&text.value, const_cast<VARIANT*>(&value.value), LOCALE_USER_DEFAULT, 0, VT_BSTR);
    const std::wstring wide = FromBstr(V_BSTR(&text.value));
    return std::string(wide.begin(), wide.end());
}

}  // namespace

TEST(FileWriterLines, ValuesManyLinesFoldersAndAFinishThatClosesUntilTheNextWrite) {
    const Arg negative = Arg::Of(VT_R8, -2.5);  // no blank in front, one behind
    const struct {
        Arg line;
        std::string text;
    } rows[] = {
        {negative, SystemText(negative) + " "},
        {Arg::Bool(true), "True"},
        {Arg(), ""},  // Empty
        {Arg::Of(VT_NULL), "Null"},
        {Arg::Text(L"Gr\x00FC\x00DF\x0065"),
         "Gr\xFC\xDF"
         "e"},  // the ANSI code page
    };
    const std::wstring path = TempFolder() + L"\\new\\sub\\out.txt";
    ComPtr<IDispatch> writer = WriterFor(path);
    std::string expected;
    for (const auto& row : rows) {
        EXPECT_EQ(Write(writer.Get(), L"WriteLine", row.line), S_OK) << row.text;
        expected += row.text + "\r\n";
    }
    for (int i = 0; i < 20000; ++i) {
        const std::string line = "line " + std::to_string(i) + std::string(static_cast<size_t>(i % 97), '.');
        Write(writer.Get(), L"WriteLine", Arg::Text(std::wstring(line.begin(), line.end())));
        expected += line + "\r\n";
    }
    EXPECT_EQ(Write(writer.Get(), L"WriteFinish", Arg::Text(L"end")), S_OK);
    EXPECT_EQ(ReadBytes(path), expected + "end\r\n");
    EXPECT_EQ(Write(writer.Get(), L"WriteFinish", Arg::Text(L"only")), S_OK);
    EXPECT_EQ(ReadBytes(path), "only\r\n");
    EXPECT_TRUE(DeleteFileW(path.c_str())) << "closed after WriteFinish";
    Write(writer.Get(), L"WriteLine", Arg::Text(L"last"));
    writer = nullptr;  // ending the object writes and closes
    EXPECT_EQ(ReadBytes(path), "last\r\n");
}

TEST(FileWriterFailures, AFileThatCannotBeReplacedFailsVisiblyUntilItCanBe) {
    RegisterTestLogger(true);
    TakeLoggerRecords();
    const std::wstring path = TempFolder() + L"\\locked.txt";
    WriteBytes(path, "kept");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    ComPtr<IDispatch> writer = WriterFor(path);
    for (const wchar_t* member : {L"WriteLine", L"WriteFinish"}) {
        CallResult answer = Call(writer.Get(), member, DISPATCH_METHOD, {Arg::Text(L"new")});
        EXPECT_EQ(answer.exception.scode, static_cast<HRESULT>(0x800A0034)) << member << ": bad file name or number";
        const std::vector<std::wstring> records = TakeLoggerRecords();
        EXPECT_TRUE(records.size() == 1 &&
                    records[0].find(L"\tZanKit|FileManager:pFileOpen#0\t1000:(Unglaublich!)\t0\t-1\t") !=
                        std::wstring::npos)
            << testing::PrintToString(records);
    }
    EXPECT_EQ(ReadBytes(path), "kept");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Write(writer.Get(), L"WriteFinish", Arg::Text(L"end")), S_OK);
    EXPECT_EQ(ReadBytes(path), "end\r\n");
    EXPECT_TRUE(TakeLoggerRecords().empty());
}
