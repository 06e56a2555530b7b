// Text outside ASCII on its way to the wire: A-labels, encoded words, file name parameters,
// the body's transfer encodings, and the header lines that carry them.
#include <gtest/gtest.h>

#include "mail/address_validation.h"
#include "mail/message/body_encoding.h"
#include "mail/message/encodings.h"
#include "mail/message/header_words.h"
#include "mail/message/wire_text.h"
#include "mail/punycode.h"
#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

// Characters of two, three and four bytes, and a mix.
const char* const kScripts[] = {
    "Preis: 5 \u20AC \u2013 \u201Egenau\u201C, Gr\u00FC\u00DFe aus K\u00F6ln",
    "\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8\u3067\u3059",
    "Emoji \U0001F600\U0001F680\U0001F30D",
    "Mix: \u20AC \u0416 \u65E5 \U0001F600 \u0639 z",
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return lines;
        start = end + 2;
    }
}

TEST(InternationalText, ALabels) {
    const std::pair<const char*, const char*> rows[] = {
        {"b\u00FCcher", "bcher-kva"},
        {"m\u00FCnchen", "mnchen-3ya"},
        {"\u043F\u0440\u0438\u043C\u0435\u0440", "e1afmkfd"},
        {"\u0440\u0444", "p1ai"},
        {"\u4E2D\u56FD", "fiqs8s"},
        // Samples of the Punycode definition: Arabic (Egyptian), and Japanese with ASCII kept.
        {"\u0644\u064A\u0647\u0645\u0627\u0628\u062A\u0643\u0644\u0645\u0648\u0634\u0639\u0631\u0628\u064A\u061F",
         "egbpdaj6bu4bxfgehfvwxn"},
        {"3\u5E74B\u7D44\u91D1\u516B\u5148\u751F", "3B-ww4c5e180e575a65lsy2b"},
    };
    for (const auto& [label, encoded] : rows) EXPECT_EQ(PunycodeEncode(label), encoded) << label;
    EXPECT_EQ(PunycodeEncode("\xC3"), std::nullopt);  // a cut UTF-8 sequence

    const std::pair<const char*, const char*> addresses[] = {
        {"user@B\u00FCcher.example.de", "user@xn--bcher-kva.example.de"},
        {"j\u00FCrgen@\u043F\u0440\u0438\u043C\u0435\u0440.\u0440\u0444", "j\u00FCrgen@xn--e1afmkfd.xn--p1ai"},
        {"Plain.User@Example.COM", "Plain.User@Example.COM"},
        {"no-domain", "no-domain"},
    };
    for (const auto& [given, wire] : addresses) EXPECT_EQ(WireAddress(given), wire);
    EXPECT_TRUE(HasInternationalLocalPart("j\u00FCrgen@example.de"));
    EXPECT_FALSE(HasInternationalLocalPart("user@b\u00FCcher.de"));
}

// Every word is no longer than allowed, decodes alone to whole characters, and the words
// together give the text back; the header line that carries them stays within 76.
TEST(InternationalText, EncodedWordsSplitBetweenCharacters) {
    std::string longSubject;
    while (longSubject.size() < 400) longSubject += "\u00C4rger \u20AC \U0001F600 ";  // 200 characters and more
    std::vector<std::string> texts(std::begin(kScripts), std::end(kScripts));
    texts.push_back(longSubject);
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        for (std::size_t first : {20, 47, 67, 75}) {
            const std::string words = EncodedWords(text, first);
            std::string joined;
            std::size_t index = 0;
            for (const std::string_view word : SplitAt(words, ' ')) {
                EXPECT_LE(word.size(), index++ == 0 ? first : kLongestEncodedWord);
                ASSERT_EQ(word.substr(0, 10), "=?UTF-8?B?");
                ASSERT_EQ(word.substr(word.size() - 2), "?=");
                const std::string bytes = DecodeBase64String(word.substr(10, word.size() - 12));
                for (std::size_t at = 0; at < bytes.size(); at += Utf8CharacterLength(bytes, at)) {
                    EXPECT_TRUE(static_cast<unsigned char>(bytes[at]) < 0x80 || Utf8CharacterLength(bytes, at) > 1);
                }
                joined += bytes;
            }
            EXPECT_EQ(joined, text);
        }
        for (const std::string& line : Lines(HeaderLine("Subject", HeaderText(text, false, 67)))) {
            EXPECT_LE(line.size(), kLongestEncodedLine) << line;
        }
    }
    EXPECT_EQ(EncodeHeaderText("Gr\u00FC\u00DFe", false), "=?UTF-8?B?R3LDvMOfZQ==?=");
    // ASCII keeps its form; a quoted name escapes its quotes.
    EXPECT_EQ(EncodeHeaderText("Hello World", false), "Hello World");
    EXPECT_EQ(EncodeHeaderText("Jo \"Bo\" \\", true), "\"Jo \\\"Bo\\\" \\\\\"");
}

TEST(InternationalText, FileNameParameters) {
    const std::pair<std::string, std::string> rows[] = {
        {"report 1.txt", "filename=\"report 1.txt\""},
        {"\u041E\u0442\u0447\u0451\u0442.txt", "filename*=UTF-8''%D0%9E%D1%82%D1%87%D1%91%D1%82.txt"},
    };
    for (const auto& [name, parameter] : rows) EXPECT_EQ(FileNameParameter(name), parameter);
    EXPECT_EQ(NameParameter("name", "a b.txt"), "name=\"a b.txt\"");
    EXPECT_EQ(NameParameter("name", "\u00E4.txt"), "name=\"=?UTF-8?B?w6QudHh0?=\"");

    // A long name: numbered pieces, each on a line of at most 76, cut between characters.
    std::string name;
    for (int i = 0; i < 12; ++i) name += "\u65E5\u672C";
    const std::string folded =
        HeaderLine("Content-Disposition", "attachment;\r\n\t" + FileNameParameter(name + ".txt"));
    const auto lines = Lines(folded);
    ASSERT_GT(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(0, 21), "\tfilename*0*=UTF-8''%");
    EXPECT_EQ(lines[2].substr(0, 14), "\tfilename*1*=%");
    for (const std::string& line : lines) {
        EXPECT_LE(line.size(), kLongestEncodedLine) << line;
        EXPECT_EQ(line.back() == ';', &line != &lines.back()) << line;
    }
    const std::string quotedName = HeaderLine("Content-Type", "text/plain;\r\n\t" + NameParameter("name", name));
    for (const std::string& line : Lines(quotedName)) EXPECT_LE(line.size(), kLongestEncodedLine) << line;
}

TEST(InternationalText, BodyForms) {
    std::string longLine;
    while (longLine.size() <= 998) longLine += kScripts[1];
    const struct {
        const char* text;
        bool eightBitOffered;
        const char* charset;
        BodyTransfer transfer;
    } rows[] = {
        {"plain text\r\n", false, "iso-8859-1", BodyTransfer::SevenBit},
        {"plain text\r\n", true, "iso-8859-1", BodyTransfer::SevenBit},
        {"with DEL \x7F", false, "iso-8859-1", BodyTransfer::EightBit},
        {"Anbei die Rechnung \u00FCber 5 \u20AC, wie besprochen.", false, "utf-8", BodyTransfer::QuotedPrintable},
        {kScripts[1], false, "utf-8", BodyTransfer::Base64},  // three bytes a character
        {kScripts[1], true, "utf-8", BodyTransfer::EightBit},
        {longLine.c_str(), true, "utf-8", BodyTransfer::Base64},  // no 8bit line over 998 bytes
    };
    for (const auto& row : rows) {
        const BodyForm form = ChooseBodyForm(row.text, row.eightBitOffered);
        EXPECT_EQ(form.charset, row.charset) << row.text;
        EXPECT_EQ(form.transfer, row.transfer) << row.text;
    }
    EXPECT_EQ(EncodeBody("\u00E4\n", BodyTransfer::Base64), "w6QNCg==");  // line ends as CR LF

    const std::pair<std::string, std::string> quoted[] = {
        {"5 \u20AC = 5 Euro", "5 =E2=82=AC =3D 5 Euro"},
        {"trailing \t\nnext \r\nlast ", "trailing =09\r\nnext=20\r\nlast=20"},
        {std::string(80, 'a'), std::string(75, 'a') + "=\r\naaaaa"},
        // An escape is never cut by a soft line break.
        {std::string(74, 'a') + "\u00E4", std::string(74, 'a') + "=\r\n=C3=A4"},
    };
    for (const auto& [text, encoded] : quoted) EXPECT_EQ(QuotedPrintable(text), encoded) << text;
}

}  // namespace
}  // namespace zankit::mail
