// clsSendMail in every script: text outside ASCII in subject, display names, body (text and
// HTML) and file names, sent to an aiosmtpd that offers 8BITMIME and to one that does not, each
// message read back by Python's email package inside the sink (message-N/decoded.txt and
// part-N.bin); international addresses, A-labels and a login outside ASCII. The sinks are
// started by tests/wine/run_host_tests.sh.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sending_mail.h"

using namespace hosttest;

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return pieces;
        start = end + separator.size();
    }
}

struct Sink {
    long port = 0;
    std::filesystem::path spool;
    bool running() const { return port != 0 && !spool.empty(); }
};

Sink SinkOf(const char* portName, const char* spoolName) {
    const char* port = std::getenv(portName);
    const char* spool = std::getenv(spoolName);
    return {port ? std::atol(port) : 0, spool ? spool : ""};
}

const Sink kEightBitSink = SinkOf("ZANKIT_SMTP_PORT", "ZANKIT_SMTP_SPOOL");
const Sink kSevenBitSink = SinkOf("ZANKIT_SMTP7_PORT", "ZANKIT_SMTP7_SPOOL");
const Sink kUtf8Sink = SinkOf("ZANKIT_SMTPUTF8_PORT", "ZANKIT_SMTPUTF8_SPOOL");

// The newest message of a sink as received and as its reader decoded it.
struct ReadBack {
    std::string raw;
    std::vector<std::vector<std::string>> lines;  // decoded.txt, split at tabs
    std::vector<std::string> partBytes;

    explicit ReadBack(const Sink& sink) {
        int count = 0;
        while (std::filesystem::exists(sink.spool / ("message-" + std::to_string(count + 1) + ".eml"))) ++count;
        const std::filesystem::path base = sink.spool / ("message-" + std::to_string(count));
        raw = ReadBytes(base.wstring() + L".eml");
        for (const std::string& line : Split(ReadBytes((base / "decoded.txt").wstring()), "\n")) {
            if (line.empty()) continue;
            lines.push_back(Split(line, "\t"));
            if (lines.back()[0] == "part") {
                const std::string file = "part-" + std::to_string(partBytes.size()) + ".bin";
                partBytes.push_back(ReadBytes((base / file).wstring()));
            }
        }
    }
    // The fields after the kind and, for addresses, the header name.
    std::vector<std::string> Find(const std::string& kind, const std::string& name = "", std::size_t nth = 0) const {
        for (const auto& line : lines) {
            if (line[0] == kind && (name.empty() || line[1] == name) && nth-- == 0) return line;
        }
        return {};
    }
    // Header lines, of the message and of each part: none may be longer than 76.
    std::string LongestHeaderLine() const {
        std::string longest;
        bool inHeader = true;
        for (const std::string& line : Split(raw, "\r\n")) {
            if (inHeader && line.size() > longest.size()) longest = line;
            if (line.empty()) inHeader = false;
            if (line.rfind("------_=_NextPart_", 0) == 0) inHeader = true;
        }
        return longest;
    }
};

std::string WithoutTrailingLineEnds(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text;
}

std::string FileBytes() {
    std::string bytes;
    for (int i = 0; i < 3000; ++i) bytes.push_back(static_cast<char>((i * 37) & 0xFF));
    return bytes;
}

// One send of text in every place, with the file attached (plain) or embedded (HTML), and what
// a reader must see of it.
void SendAndCheck(const Sink& sink, const std::wstring& text, const std::wstring& fileName, bool html,
                  const std::wstring& name) {
    const bool eightBit = &sink == &kEightBitSink;
    SCOPED_TRACE(Utf8(text) + (html ? " as HTML" : " as text") + (eightBit ? ", 8BITMIME" : ", 7 bit"));
    const std::filesystem::path file = std::filesystem::temp_directory_path() / fileName;
    std::ofstream(file, std::ios::binary) << FileBytes();
    const std::wstring body = html ? L"<p>" + text + L"</p><img src=\"" + fileName + L"\">" : text;
    SendingMail mail(sink.port);
    mail.Set(L"Subject", Arg::Text(text));
    mail.Set(L"FromDisplayName", Arg::Text(name));
    mail.Set(L"RecipientDisplayName", Arg::Text(name));
    mail.Set(L"AsHTML", Arg::Bool(html));
    mail.Set(L"Message", Arg::Text(body));
    mail.Set(L"Attachment", Arg::Text(file.wstring()));
    EXPECT_EQ(mail.Do(L"Send").hr, S_OK);
    std::filesystem::remove(file);
    ASSERT_EQ(mail.Count(L"SendSuccesful"), 1) << testing::PrintToString(mail.Texts());
    EXPECT_EQ(Get(mail.mail.Get(), L"Subject").Text(), text) << "the property keeps every character";

    const ReadBack message(sink);
    EXPECT_EQ(message.Find("header", "Subject").at(2), Utf8(text));
    EXPECT_EQ(message.Find("address", "From").at(2), Utf8(name));
    EXPECT_EQ(message.Find("address", "To").at(2), Utf8(name));
    EXPECT_LE(message.LongestHeaderLine().size(), 76u) << message.LongestHeaderLine();

    const auto textPart = message.Find("part", "", 0);
    const auto filePart = message.Find("part", "", 1);
    ASSERT_EQ(filePart.size(), 6u);
    EXPECT_EQ(textPart[1] + " " + textPart[4], html ? "text/html utf-8" : "text/plain utf-8");
    if (eightBit) {
        EXPECT_EQ(textPart[3], "8bit");
    } else {
        EXPECT_TRUE(textPart[3] == "quoted-printable" || textPart[3] == "base64") << textPart[3];
        const bool sevenBitClean = std::all_of(message.raw.begin(), message.raw.end(),
                                               [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        EXPECT_TRUE(sevenBitClean) << "no 8-bit byte goes to a server that did not offer 8BITMIME";
    }
    const std::string cid = html ? filePart[5].substr(1, filePart[5].size() - 2) : "";
    const std::string shown = html ? "<p>" + Utf8(text) + "</p><img src=\"cid:" + cid + "\">" : Utf8(text);
    EXPECT_EQ(WithoutTrailingLineEnds(message.partBytes[0]), shown);
    EXPECT_EQ(filePart[2], Utf8(fileName));
    EXPECT_EQ(message.partBytes[1], FileBytes());
    EXPECT_EQ(filePart[5], html ? "<embedded1>" : "-") << "a Content-ID stays ASCII";
}

struct ScriptRow {
    const char* script;
    const wchar_t* text;
    const wchar_t* fileName;
};

const ScriptRow kScriptRows[] = {
    {"German", L"5 \u20AC \u201Egenau\u201C \u2013 Gr\u00FC\u00DFe", L"Bericht_M\u00FCller.txt"},
    {"Polish", L"Za\u017C\u00F3\u0142\u0107 g\u0119\u015Bl\u0105 ja\u017A\u0144", L"Za\u017C\u00F3\u0142\u0107.txt"},
    {"Greek", L"\u039A\u03B1\u03BB\u03B7\u03BC\u03AD\u03C1\u03B1 \u03BA\u03CC\u03C3\u03BC\u03B5",
     L"\u0391\u03BD\u03B1\u03C6\u03BF\u03C1\u03AC.txt"},
    {"Cyrillic", L"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440", L"\u041E\u0442\u0447\u0451\u0442.txt"},
    {"Japanese", L"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8\u3067\u3059", L"\u5831\u544A\u66F8.txt"},
    {"Arabic", L"\u0645\u0631\u062D\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645",
     L"\u062A\u0642\u0631\u064A\u0631.txt"},
    {"Emoji", L"Emoji \U0001F600\U0001F680\U0001F30D", L"\U0001F600 smile.txt"},
    {"Mix", L"Mix: \u20AC \u0416 \u65E5 \U0001F600 \u0639 z", L"Mix_\u041E\u0442\u0447\u0451\u0442_\u65E5\u672C.txt"},
};

}  // namespace

class MailInternational : public testing::TestWithParam<ScriptRow> {};
INSTANTIATE_TEST_SUITE_P(EveryScript, MailInternational, testing::ValuesIn(kScriptRows),
                         [](const auto& info) { return std::string(info.param.script); });

TEST_P(MailInternational, ReadBackExactly) {
    ASSERT_TRUE(kEightBitSink.running() && kSevenBitSink.running()) << "the SMTP sinks are not running";
    for (const Sink* sink : {&kEightBitSink, &kSevenBitSink}) {
        for (bool html : {false, true}) {
            SendAndCheck(*sink, GetParam().text, GetParam().fileName, html, GetParam().text);
        }
    }
}

// 200 characters of Cyrillic: many encoded words, each line of them within 76. (The display
// names stay short: Python's address parser keeps the space between two encoded words of a
// name, which other readers drop.)
TEST(MailInternationalHeaders, LongSubject) {
    ASSERT_TRUE(kSevenBitSink.running()) << "the SMTP sink is not running";
    std::wstring subject;
    while (subject.size() < 200) subject += L"\u0414\u043B\u0438\u043D\u043D\u0430\u044F \u0442\u0435\u043C\u0430 ";
    SendAndCheck(kSevenBitSink, subject.substr(0, 200), L"\u041E\u0442\u0447\u0451\u0442.txt", false,
                 L"\u0418\u0432\u0430\u043D \u041F\u0435\u0442\u0440\u043E\u0432");
}

// Addresses outside ASCII and a login outside ASCII: what the server is asked, and the refusal
// that names the address when the server cannot take it.
TEST(MailInternationalHeaders, AddressesAndLogin) {
    ASSERT_TRUE(kEightBitSink.running() && kSevenBitSink.running() && kUtf8Sink.running())
        << "the SMTP sinks are not running";
    const wchar_t kJuergen[] = L"j\u00FCrgen@beispiel.de";
    const wchar_t kIvan[] = L"\u0438\u0432\u0430\u043D@\u043F\u0440\u0438\u043C\u0435\u0440.\u0440\u0444";
    const struct {
        const Sink* sink;
        const wchar_t* from;
        const wchar_t* to;
        bool login;
        const char* wire;        // in what the server received; nullptr: no MAIL FROM at all
        const wchar_t* refusal;  // inside SendFailed; nullptr: sent
    } rows[] = {
        {&kUtf8Sink, kJuergen, kIvan, false, "MAIL FROM: <j\xC3\xBCrgen@beispiel.de> SMTPUTF8\r\n", nullptr},
        {&kUtf8Sink, kJuergen, kIvan, false, "RCPT TO: <\xD0\xB8\xD0\xB2\xD0\xB0\xD0\xBD@xn--e1afmkfd.xn--p1ai>\r\n",
         nullptr},
        {&kEightBitSink, kJuergen, kIvan, false, nullptr, L"The address j\u00FCrgen@beispiel.de needs"},
        {&kEightBitSink, L"sender@example.com", L"user@b\u00FCcher.de", false, "RCPT TO: <user@xn--bcher-kva.de>\r\n",
         nullptr},
        {&kSevenBitSink, L"sender@example.com", L"you@example.com", true, "AUTH LOGIN\r\n", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Utf8(row.from) + " to " + Utf8(row.to));
        const std::wstring log = (row.sink->spool / "received.log").wstring();
        const std::size_t mark = ReadBytes(log).size();
        SendingMail mail(row.sink->port);
        mail.Set(L"from", Arg::Text(row.from));
        mail.Set(L"Recipient", Arg::Text(row.to));
        mail.Set(L"Subject", Arg::Text(L"Adressen"));
        mail.Set(L"UseAuthentication", Arg::Bool(row.login));
        mail.Set(L"Username", Arg::Text(L"m\u00FCller"));
        mail.Set(L"Password", Arg::Text(L"P\u00E4ssw\u00F6rd-\u20AC"));
        EXPECT_EQ(mail.Do(L"Send").hr, S_OK);
        const std::string received = ReadBytes(log).substr(mark);
        EXPECT_EQ(mail.Count(L"SendSuccesful"), row.refusal ? 0 : 1) << testing::PrintToString(mail.Texts());
        if (row.refusal) {
            EXPECT_EQ(mail.Count(L"SendFailed: ", row.refusal), 1) << testing::PrintToString(mail.Texts());
        }
        const std::string expected = row.wire ? row.wire : "MAIL FROM";
        EXPECT_EQ(received.find(expected) != std::string::npos, row.wire != nullptr) << received;
    }
}
