// FileWriter under Wine: CR LF lines in the ANSI code page, values in their print form, folders
// made, the file replaced on the first write after a finish, and a file that cannot be replaced:
// the caller sees the error and a later write tries again.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "frame/zankit_interfaces.h"
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

namespace {

// The text of every script a user writes: German with the euro sign and typographic quotes,
// Polish, Greek, Cyrillic, Japanese, Arabic, emoji beyond the Basic Multilingual Plane, a mix.
const std::wstring kScripts[] = {
    L"Preis: 5 \u20AC \u201Egenau\u201C",
    L"Za\u017C\u00F3\u0142\u0107 g\u0119\u015Bl\u0105 ja\u017A\u0144",
    L"\u039A\u03B1\u03BB\u03B7\u03BC\u03AD\u03C1\u03B1",
    L"\u0421\u044A\u0435\u0448\u044C \u0436\u0435 \u0435\u0449\u0451",
    L"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8",
    L"\u0645\u0631\u062D\u0628\u0627",
    L"\U0001F600 \U0001F30D",
    L"K\u00F6ln \u041C\u043E\u0441\u043A\u0432\u0430 \u6771\u4EAC \U0001F680",
};

HRESULT RunTimeError(int number) { return static_cast<HRESULT>(0x800A0000u | static_cast<unsigned>(number)); }

// The platform's own UTF-8 decoding of a file's bytes; U+FFFD marks bytes that are not UTF-8.
std::wstring FromUtf8Bytes(const std::string& bytes) {
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

TEST(FileWriterEncodings, EveryScriptReadsBackExactlyWithTheEncodingsMarkAndLineEnds) {
    std::wstring lines;
    for (const std::wstring& text : kScripts) lines += text + L"\r\n";
    const struct {
        FILE_ENCODING encoding;
        std::string mark;
    } rows[] = {{FILE_UTF8, ""}, {FILE_UTF8_BOM, "\xEF\xBB\xBF"}, {FILE_UTF16, "\xFF\xFE"}};
    for (const auto& row : rows) {
        const std::wstring path = TempFolder() + L"\\out.txt";
        ComPtr<IDispatch> writer = WriterFor(path);
        EXPECT_EQ(Get(writer.Get(), L"Encoding").Number(), FILE_ANSI) << "the default";
        Put(writer.Get(), L"Encoding", Arg::Of(VT_I4, row.encoding));
        for (const std::wstring& text : kScripts) EXPECT_EQ(Write(writer.Get(), L"WriteLine", Arg::Text(text)), S_OK);
        writer = nullptr;
        const std::string bytes = ReadBytes(path);
        ASSERT_EQ(bytes.substr(0, row.mark.size()), row.mark) << row.encoding;
        const std::string body = bytes.substr(row.mark.size());
        const std::wstring text = row.encoding == FILE_UTF16
                                      ? std::wstring(reinterpret_cast<const wchar_t*>(body.data()), body.size() / 2)
                                      : FromUtf8Bytes(body);
        EXPECT_EQ(text, lines) << row.encoding;
    }
}

TEST(FileWriterEncodings, SetOnlyWhileNoFileIsOpenAndOnlyToAKnownValue) {
    const std::wstring path = TempFolder() + L"\\out.txt";
    ComPtr<IDispatch> writer = WriterFor(path);
    for (int refused : {-1, FILE_UTF16 + 1}) {
        EXPECT_EQ(Put(writer.Get(), L"Encoding", Arg::Of(VT_I4, refused)).exception.scode, RunTimeError(380));
    }
    Write(writer.Get(), L"WriteLine", Arg::Text(L"a"));
    EXPECT_EQ(Put(writer.Get(), L"Encoding", Arg::Of(VT_I4, FILE_UTF8)).exception.scode, RunTimeError(55));
    Write(writer.Get(), L"WriteFinish", Arg::Text(L"\u20AC"));
    EXPECT_EQ(ReadBytes(path), "a\r\n\x80\r\n") << "ANSI throughout: the open file kept its encoding";
    Put(writer.Get(), L"Encoding", Arg::Of(VT_I4, FILE_UTF8));
    Write(writer.Get(), L"WriteFinish", Arg::Text(L"\u20AC"));
    EXPECT_EQ(ReadBytes(path), "\xE2\x82\xAC\r\n") << "after WriteFinish the next file takes the new encoding";
}

// A disk of 16 KiB that the runner mounts: the lines kept in the 64 KiB buffer cannot reach it.
// WriteFinish raises the failure; when only the end of the object finds it, the logger gets it.
TEST(FileWriterFailures, ADiskFullWhenTheLastLinesAreWrittenIsRaisedOrReported) {
    wchar_t disk[MAX_PATH] = {};
    ASSERT_TRUE(GetEnvironmentVariableW(L"ZANKIT_SMALL_DISK", disk, MAX_PATH)) << "the runner mounts the small disk";
    RegisterTestLogger(true);
    TakeLoggerRecords();
    for (bool finish : {true, false}) {
        const std::wstring path = std::wstring(disk) + L"\\out.txt";
        ComPtr<IDispatch> writer = WriterFor(path);
        for (int i = 0; i < 60; ++i) Write(writer.Get(), L"WriteLine", Arg::Text(std::wstring(1000, L'x')));
        if (finish) {
            EXPECT_EQ(Call(writer.Get(), L"WriteFinish", DISPATCH_METHOD, {Arg()}).exception.scode, RunTimeError(57));
        }
        writer = nullptr;
        const std::vector<std::wstring> records = TakeLoggerRecords();
        EXPECT_EQ(records.size(), finish ? 0u : 1u) << testing::PrintToString(records);
        EXPECT_TRUE(finish || (records.size() == 1 && records[0].find(L"\tZanKit|FileWriter:Class_Terminate#0\t57:"
                                                                      L"(Device I/O error)\t") != std::wstring::npos));
        DeleteFileW(path.c_str());
    }
    RegisterTestLogger(false);
}
