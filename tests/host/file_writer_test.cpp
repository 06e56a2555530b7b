// FileWriter under Wine: lines in the ANSI code page ended by CR LF, values in their print
// form, folders created, the file replaced on the first write after a finish, and a file
// that cannot be replaced: the caller sees the error and a later write tries again.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "fileops_support.h"

using namespace fileopstest;
using hosttest::Create;

namespace {

CallResult Write(IDispatch* writer, const wchar_t* member, const Arg& line) {
    return hosttest::Call(writer, member, DISPATCH_METHOD, {line});
}

ComPtr<IDispatch> WriterFor(const std::wstring& path) {
    ComPtr<IDispatch> writer = Create(L"ZanKit.FileWriter");
    hosttest::Put(writer.Get(), L"Filename", Arg::Text(path));
    return writer;
}

// The run time's own text of a value in the user's locale.
std::string SystemText(VARIANT value) {
    VARIANT text;
    VariantInit(&text);
    VariantChangeTypeEx(&text, &value, LOCALE_USER_DEFAULT, 0, VT_BSTR);
    std::wstring wide(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
    VariantClear(&text);
    return std::string(wide.begin(), wide.end());
}

}  // namespace

TEST(FileWriterLines, TwoLinesIntoFoldersThatDoNotExistYet) {
    const std::wstring path = FreshFolder() + L"\\new\\sub\\out.txt";
    ComPtr<IDispatch> writer = WriterFor(path);
    EXPECT_EQ(Write(writer.Get(), L"WriteLine", Arg::Text(L"abc")).hr, S_OK);
    EXPECT_EQ(Write(writer.Get(), L"WriteFinish", Arg::Text(L"def")).hr, S_OK);
    EXPECT_EQ(ReadBytes(path), "abc\r\ndef\r\n");
    // The next write starts the file anew; a finish as first call writes one line and closes.
    EXPECT_EQ(Write(writer.Get(), L"WriteLine", Arg::Text(L"again")).hr, S_OK);
    EXPECT_EQ(Write(writer.Get(), L"WriteFinish", Arg()).hr, S_OK);
    EXPECT_EQ(ReadBytes(path), "again\r\n\r\n");
    EXPECT_EQ(Write(writer.Get(), L"WriteFinish", Arg::Text(L"only")).hr, S_OK);
    EXPECT_EQ(ReadBytes(path), "only\r\n");
    EXPECT_TRUE(DeleteFileW(path.c_str())) << "closed after WriteFinish";
}

TEST(FileWriterLines, ValuesInTheirPrintForm) {
    VARIANT number;
    V_VT(&number) = VT_R8;
    V_R8(&number) = -2.5;
    VARIANT day;
    V_VT(&day) = VT_DATE;
    V_DATE(&day) = 46000.5;  // a date with a time of day
    Arg null;
    V_VT(&null.value) = VT_NULL;
    Arg date;
    date.value = day;
    Arg negative;
    negative.value = number;
    struct Case {
        const char* value;
        Arg line;
        std::string text;
    };
    const Case cases[] = {
        {"5", Arg::Long(5), " 5 "},
        {"0", Arg::Long(0), " 0 "},
        {"-2.5", negative, SystemText(number) + " "},
        {"True", Arg::Bool(true), "True"},
        {"False", Arg::Bool(false), "False"},
        {"Empty", Arg(), ""},
        {"Null", null, "Null"},
        {"a date", date, SystemText(day)},
        {"umlauts in the ANSI code page", Arg::Text(L"Gr\x00FC\x00DF\x0065"),
         "Gr\xFC\xDF"
         "e"},
    };
    const std::wstring path = FreshFolder() + L"\\values.txt";
    ComPtr<IDispatch> writer = WriterFor(path);
    std::string expected;
    for (const Case& c : cases) {
        EXPECT_EQ(Write(writer.Get(), L"WriteLine", c.line).hr, S_OK) << c.value;
        expected += c.text + "\r\n";
    }
    writer = nullptr;  // ending the object writes and closes
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST(FileWriterLines, ManyLinesAllReachTheDisk) {
    const std::wstring path = FreshFolder() + L"\\many.txt";
    ComPtr<IDispatch> writer = WriterFor(path);
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        const std::string line = "line " + std::to_string(i) + std::string(static_cast<size_t>(i % 97), '.');
        Write(writer.Get(), L"WriteLine", Arg::Text(std::wstring(line.begin(), line.end())));
        expected += line + "\r\n";
    }
    EXPECT_EQ(Write(writer.Get(), L"WriteFinish", Arg::Text(L"end")).hr, S_OK);
    EXPECT_EQ(ReadBytes(path), expected + "end\r\n");
}

TEST(FileWriterFailures, AFileThatCannotBeReplacedFailsVisiblyUntilItCanBe) {
    hosttest::RegisterTestLogger(true);
    hosttest::TakeLoggerRecords();
    const std::wstring path = FreshFolder() + L"\\locked.txt";
    WriteBytes(path, "kept");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    ComPtr<IDispatch> writer = WriterFor(path);
    for (const wchar_t* member : {L"WriteLine", L"WriteFinish"}) {
        CallResult answer = Write(writer.Get(), member, Arg::Text(L"new"));
        EXPECT_EQ(answer.hr, DISP_E_EXCEPTION) << member;
        EXPECT_EQ(answer.exception.scode, static_cast<HRESULT>(0x800A0034)) << member << ": bad file name or number";
        std::vector<std::wstring> records = hosttest::TakeLoggerRecords();
        ASSERT_EQ(records.size(), 1u) << member;
        EXPECT_NE(records[0].find(L"\tZanKit|FileManager:pFileOpen#0\t1000:(Unglaublich!)\t0\t-1\t"),
                  std::wstring::npos)
            << records[0];
    }
    EXPECT_EQ(ReadBytes(path), "kept");
    // Once the file may go, the next write opens it afresh.
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Write(writer.Get(), L"WriteLine", Arg::Text(L"new")).hr, S_OK);
    EXPECT_EQ(Write(writer.Get(), L"WriteFinish", Arg::Text(L"end")).hr, S_OK);
    EXPECT_EQ(ReadBytes(path), "new\r\nend\r\n");
    EXPECT_TRUE(hosttest::TakeLoggerRecords().empty());
}
