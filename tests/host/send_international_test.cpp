// clsSendMail in every script: text outside ASCII in subject, display names, body (text and
// HTML) and file names, sent to an aiosmtpd that offers 8BITMIME, to one that does not and through
// a private Postfix, each message read back by Python's email package (message-N/decoded.txt and
// part-N.bin); international addresses, A-labels, a login outside ASCII. The peers are started
// by tests/wine/run_host_tests.sh.
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
namespace fs = std::filesystem;

namespace {

std::string Utf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + separator.size()) {
        end = text.find(separator, start);
        pieces.push_back(text.substr(start, end - start));
    }
    return pieces;
}

struct Sink {
    long port;
    fs::path spool;
    std::string Log() const { return ReadBytes((spool / "received.log").wstring()); }
};
Sink SinkOf(const char* port, const char* spool) {
    return {std::getenv(port) ? std::atol(std::getenv(port)) : 0, std::getenv(spool) ? std::getenv(spool) : ""};
}
const Sink kEightBitSink = SinkOf("ZANKIT_SMTP_PORT", "ZANKIT_SMTP_SPOOL");
const Sink kSevenBitSink = SinkOf("ZANKIT_SMTP7_PORT", "ZANKIT_SMTP7_SPOOL");
const Sink kUtf8Sink = SinkOf("ZANKIT_SMTPUTF8_PORT", "ZANKIT_SMTPUTF8_SPOOL");
// A real mail system: Postfix's submission port (STARTTLS and a login required, 8BITMIME on
// offer); what it delivers is taken apart by tests/peers/maildir_reader.py.
Sink PostfixSink() {
    const char* dir = std::getenv("ZANKIT_POSTFIX_DIR");
    const char* read = std::getenv("ZANKIT_POSTFIX_READ");
    std::istringstream ports(dir ? ReadBytes((fs::path(dir) / "ports").wstring()) : "");
    std::string name;
    long port = 0;
    while (ports >> name >> port && name != "submission") port = 0;
    return {name == "submission" ? port : 0, read ? read : ""};
}
const Sink kPostfix = PostfixSink();
bool SinksRunning() { return kEightBitSink.port && kSevenBitSink.port && kUtf8Sink.port && kPostfix.port; }

int Kept(const Sink& sink) {
    int count = 0;
    while (fs::exists(sink.spool / ("message-" + std::to_string(count + 1) + ".eml"))) ++count;
    return count;
}

// The newest message of a sink: as received, and the decoded lines of its reader split at tabs.
struct ReadBack {
    std::string raw;
    std::vector<std::vector<std::string>> lines;
    fs::path folder;
    // Postfix delivers after its reply: message number `after` + 1 is waited for (30 s at most).
    ReadBack(const Sink& sink, int after) {
        for (int tries = 0; tries < 300 && Kept(sink) <= after; ++tries) Sleep(100);
        folder = sink.spool / ("message-" + std::to_string(after + 1));
        raw = ReadBytes(folder.wstring() + L".eml");
        for (const std::string& line : Split(ReadBytes((folder / "decoded.txt").wstring()), "\n")) {
            if (!line.empty()) lines.push_back(Split(line, "\t"));
        }
    }
    std::vector<std::string> Find(const std::string& kind, const std::string& name) const {
        for (const auto& line : lines) {
            if (line[0] == kind && line[1] == name) return line;
        }
        return {"", "", "", "", "", ""};
    }
    std::vector<std::string> Part(std::size_t index) const {
        std::vector<std::string> part;
        for (const auto& line : lines) {
            if (line[0] == "part" && index-- == 0) part = line;
        }
        part.resize(6);
        return part;
    }
    std::string PartBytes(std::size_t index) const {
        return ReadBytes((folder / ("part-" + std::to_string(index) + ".bin")).wstring());
    }
    // Header lines of the message and of its parts.
    std::size_t LongestHeaderLine() const {
        std::size_t longest = 0;
        bool inHeader = true;
        for (const std::string& line : Split(raw, "\r\n")) {
            if (inHeader) longest = std::max(longest, line.size());
            inHeader = (inHeader && !line.empty()) || line.rfind("------_=_NextPart_", 0) == 0;
        }
        return longest;
    }
};

const std::string kFileBytes = [] {
    std::string bytes;
    for (int i = 0; i < 3000; ++i) bytes.push_back(static_cast<char>((i * 37) & 0xFF));
    return bytes;
}();

// One send of text in every place, the file attached (text) or embedded (HTML), and what a
// reader must see of it.
void SendAndCheck(const Sink& sink, const std::wstring& text, const std::wstring& fileName, bool html,
                  const std::wstring& name) {
    const bool eightBit = &sink != &kSevenBitSink, postfix = &sink == &kPostfix;
    SCOPED_TRACE(Utf8(text) + (html ? " as HTML" : " as text") + (eightBit ? ", 8BITMIME" : ", 7 bit") +
                 (postfix ? ", Postfix" : ""));
    const fs::path file = fs::temp_directory_path() / fileName;
    std::ofstream(file, std::ios::binary) << kFileBytes;
    const std::size_t mark = sink.Log().size();
    const int kept = Kept(sink);
    SendingMail mail(sink.port);
    if (postfix) {
        const std::string login = std::getenv("ZANKIT_TLS_USER") ? std::getenv("ZANKIT_TLS_USER") : ":";
        mail.Set(L"Security", Arg::Long(SECURITY_STARTTLS_REQUIRED));
        mail.Set(L"UseAuthentication", Arg::Bool(true));
        mail.Set(L"Username", Arg::Text(std::wstring(login.begin(), login.begin() + login.find(':'))));
        mail.Set(L"Password", Arg::Text(std::wstring(login.begin() + login.find(':') + 1, login.end())));
    }
    mail.Set(L"Subject", Arg::Text(text));
    mail.Set(L"FromDisplayName", Arg::Text(name));
    mail.Set(L"RecipientDisplayName", Arg::Text(name));
    mail.Set(L"AsHTML", Arg::Bool(html));
    mail.Set(L"Message", Arg::Text(html ? L"<p>" + text + L"</p><img src=\"" + fileName + L"\">" : text));
    mail.Set(L"Attachment", Arg::Text(file.wstring()));
    EXPECT_EQ(mail.Do(L"Send").hr, S_OK);
    fs::remove(file);
    ASSERT_EQ(mail.Count(L"SendSuccesful"), 1) << testing::PrintToString(mail.Texts());
    EXPECT_EQ(Get(mail.mail.Get(), L"Subject").Text(), text) << "the property keeps every character";

    const ReadBack message(sink, kept);
    EXPECT_EQ(message.Find("header", "Subject")[2], Utf8(text));
    EXPECT_EQ(message.Find("address", "From")[2] + "|" + message.Find("address", "To")[2], Utf8(name + L"|" + name));
    const auto textPart = message.Part(0);  // type, file, transfer encoding, charset, Content-ID
    const auto filePart = message.Part(1);
    EXPECT_EQ(textPart[1] + " " + textPart[4], html ? "text/html utf-8" : "text/plain utf-8");
    if (!postfix) {  // Postfix logs no envelope and delivers with LF line ends and lines of its own
        EXPECT_LE(message.LongestHeaderLine(), 76u);
        EXPECT_EQ(sink.Log().find(" BODY=8BITMIME\r\n", mark) != std::string::npos, eightBit);
    }
    const bool sevenBitClean = std::all_of(message.raw.begin(), message.raw.end(),
                                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    EXPECT_EQ(sevenBitClean, !eightBit) << textPart[3];
    EXPECT_TRUE(eightBit ? textPart[3] == "8bit" : textPart[3] == "quoted-printable" || textPart[3] == "base64");
    std::string shown = message.PartBytes(0);
    shown.erase(shown.find_last_not_of("\r\n") + 1);
    EXPECT_EQ(shown, html ? "<p>" + Utf8(text) + "</p><img src=\"cid:embedded1\">" : Utf8(text));
    EXPECT_EQ(filePart[2] + " " + filePart[5], Utf8(fileName) + (html ? " <embedded1>" : " -"));
    EXPECT_EQ(message.PartBytes(1), kFileBytes);
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
    ASSERT_TRUE(SinksRunning()) << "the SMTP sinks are not running";
    for (const Sink* sink : {&kEightBitSink, &kSevenBitSink, &kPostfix}) {
        for (bool html : {false, true}) {
            SendAndCheck(*sink, GetParam().text, GetParam().fileName, html, GetParam().text);
        }
    }
}

// 200 characters: many encoded words, every line within 76. The display names stay short:
// Python's address parser keeps the space between two encoded words of a name.
TEST(MailInternationalHeaders, LongSubject) {
    ASSERT_TRUE(SinksRunning()) << "the SMTP sinks are not running";
    std::wstring subject;
    while (subject.size() < 200) subject += L"\u0414\u043B\u0438\u043D\u043D\u0430\u044F \u0442\u0435\u043C\u0430 ";
    SendAndCheck(kSevenBitSink, subject.substr(0, 200), L"\u041E\u0442\u0447\u0451\u0442.txt", false, L"\u0418\u0432");
}

// Addresses and a login outside ASCII: what the server is asked, or the refusal naming the address.
TEST(MailInternationalHeaders, AddressesAndLogin) {
    ASSERT_TRUE(SinksRunning()) << "the SMTP sinks are not running";
    const wchar_t kJuergen[] = L"j\u00FCrgen@beispiel.de";
    const wchar_t kIvan[] = L"\u0438\u0432\u0430\u043D@\u043F\u0440\u0438\u043C\u0435\u0440.\u0440\u0444";
    const struct {
        const Sink* sink;
        const wchar_t *from, *to;
        bool login;
        const char* wire;        // in what the server received; nullptr: no MAIL FROM at all
        const wchar_t* refusal;  // inside SendFailed; nullptr: sent
    } rows[] = {
        {&kUtf8Sink, kJuergen, kIvan, false, "MAIL FROM: <j\xC3\xBCrgen@beispiel.de> SMTPUTF8\r\n", nullptr},
        {&kUtf8Sink, kJuergen, kIvan, false, "RCPT TO: <\xD0\xB8\xD0\xB2\xD0\xB0\xD0\xBD@xn--e1afmkfd.xn--p1ai>\r\n",
         nullptr},
        {&kEightBitSink, kJuergen, kIvan, false, nullptr, L"The address j\u00FCrgen@beispiel.de needs"},
        {&kEightBitSink, L"a@example.com", L"user@b\u00FCcher.de", false, "RCPT TO: <user@xn--bcher-kva.de>\r\n",
         nullptr},
        // The sink knows the user m\u00FCller with the password P\u00E4ssw\u00F6rd-\u20AC, in UTF-8.
        {&kSevenBitSink, L"a@example.com", L"you@example.com", true, "AUTH LOGIN\r\n", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Utf8(row.from) + " to " + Utf8(row.to));
        const std::size_t mark = row.sink->Log().size();
        SendingMail mail(row.sink->port);
        mail.Set(L"from", Arg::Text(row.from));
        mail.Set(L"Recipient", Arg::Text(row.to));
        mail.Set(L"UseAuthentication", Arg::Bool(row.login));
        mail.Set(L"Username", Arg::Text(L"m\u00FCller"));
        mail.Set(L"Password", Arg::Text(L"P\u00E4ssw\u00F6rd-\u20AC"));
        EXPECT_EQ(mail.Do(L"Send").hr, S_OK);
        const std::string seen = testing::PrintToString(mail.Texts());
        EXPECT_EQ(mail.Count(L"SendSuccesful"), row.refusal ? 0 : 1) << seen;
        EXPECT_EQ(mail.Count(L"SendFailed: ", row.refusal ? row.refusal : L""), row.refusal ? 1 : 0) << seen;
        const std::string received = row.sink->Log().substr(mark);
        EXPECT_EQ(received.find(row.wire ? row.wire : "MAIL FROM") != std::string::npos, row.wire != nullptr);
    }
}
