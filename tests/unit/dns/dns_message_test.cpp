#include <gtest/gtest.h>

#include "dns_test_support.h"
#include "mail/dns_message.h"

namespace zankit::mail {
namespace {

using testing::Join;
using testing::Pointer;
using testing::ReplyBuilder;
using testing::WireName;

TEST(MxQueryPacket, ExampleComIsTwentyNineBytes) {
    const DnsBytes expected{0x11, 0xDF, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 'e', 'x',
                            'a',  'm',  'p',  'l',  'e',  0x03, 'c',  'o',  'm',  0x00, 0x00, 0x0F, 0x00, 0x01};
    EXPECT_EQ(BuildMXQuery("example.com"), expected);
}

TEST(MxQueryPacket, EmptyLabelsBecomeZeroLengthBytes) {
    EXPECT_EQ(EncodeQName("a..b"), (DnsBytes{1, 'a', 0, 1, 'b'}));
    EXPECT_EQ(EncodeQName(".a"), (DnsBytes{0, 1, 'a'}));
    EXPECT_EQ(EncodeQName("a."), (DnsBytes{1, 'a', 0}));
    EXPECT_EQ(EncodeQName(""), (DnsBytes{0}));
    EXPECT_EQ(EncodeQName("mail.example.org")->size(), std::string("mail.example.org").size() + 1);
    EXPECT_EQ(EncodeQName("b\xE4r.de"), (DnsBytes{3, 'b', 0xE4, 'r', 2, 'd', 'e'}));
    EXPECT_TRUE(EncodeQName(std::string(63, 'a') + ".de").has_value());
    EXPECT_FALSE(EncodeQName(std::string(64, 'a') + ".de").has_value());  // length cannot be written
}

TEST(ReadDnsName, LabelsAndPointersMovePositionPastTheNameWhereItStarts) {
    // offset 0: "example.com" in full; offset 13: "mail" + pointer to 0; offset 20: root
    const DnsBytes message = Join({WireName("example.com"), {4, 'm', 'a', 'i', 'l'}, Pointer(0), {0}});
    std::size_t position = 0;
    EXPECT_EQ(ReadDnsName(message, position), "example.com");
    EXPECT_EQ(position, 13u);
    EXPECT_EQ(ReadDnsName(message, position), "mail.example.com");
    EXPECT_EQ(position, 20u);
    EXPECT_EQ(ReadDnsName(message, position), "");
    EXPECT_EQ(position, 21u);
}

TEST(ReadDnsName, DamagedNamesAreRefusedWithoutMovingPosition) {
    const std::vector<DnsBytes> damaged{
        {},                                   // nothing to read
        {3, 'a', 'b'},                        // label runs out of the message
        {1, 'a'},                             // no closing zero byte
        {0xC0},                               // half a pointer
        {0xC0, 0x10},                         // pointer beyond the end
        {0xC0, 0x00},                         // pointer to itself
        {1, 'a', 0xC0, 0x05, 0, 0xC0, 0x02},  // two pointers pointing at each other
        {0x41, 'a'},                          // reserved label type
        {0x80, 'a'},                          // reserved label type
    };
    for (const DnsBytes& message : damaged) {
        std::size_t position = 0;
        EXPECT_FALSE(ReadDnsName(message, position).has_value());
        EXPECT_EQ(position, 0u);
    }
    DnsBytes tooLong;
    for (int i = 0; i < 5; ++i) {
        tooLong.push_back(63);
        tooLong.insert(tooLong.end(), 63, 'x');
    }
    tooLong.push_back(0);
    std::size_t position = 0;
    EXPECT_FALSE(ReadDnsName(tooLong, position).has_value());
}

TEST(AnswerWalk, LowestPreferenceWinsAndEqualPreferenceKeepsTheFirst) {
    ReplyBuilder twenty_then_ten("example.com");
    twenty_then_ten.CompressedMX(20, "mx20").CompressedMX(10, "mx10");
    EXPECT_EQ(ParseMXAnswers(twenty_then_ten.Bytes()), "mx10.example.com");

    ReplyBuilder equal("example.com");
    equal.CompressedMX(10, "first").CompressedMX(10, "second").CompressedMX(30, "third");
    EXPECT_EQ(ParseMXAnswers(equal.Bytes()), "first.example.com");

    ReplyBuilder highest_last("example.com");
    highest_last.CompressedMX(5, "low").CompressedMX(0xFFFF, "high");
    EXPECT_EQ(ParseMXAnswers(highest_last.Bytes()), "low.example.com");

    ReplyBuilder blank("example.com");  // the root name and a blank name are not exchangers
    blank.Record(Pointer(12), kDnsTypeMX, ReplyBuilder::MXData(0, {0}));
    blank.Record(Pointer(12), kDnsTypeMX, ReplyBuilder::MXData(1, {2, ' ', ' ', 0}));
    blank.CompressedMX(50, "real");
    EXPECT_EQ(ParseMXAnswers(blank.Bytes()), "real.example.com");
}

TEST(AnswerWalk, UncompressedNamesKeepStep) {
    ReplyBuilder reply("example.com");
    reply.Record(WireName("example.com"), kDnsTypeMX, ReplyBuilder::MXData(30, WireName("mx30.example.com")));
    reply.Record(WireName("example.com"), kDnsTypeMX, ReplyBuilder::MXData(10, WireName("mx10.example.com")));
    reply.Record(WireName("example.com"), kDnsTypeMX, ReplyBuilder::MXData(20, WireName("mx20.example.com")));
    EXPECT_EQ(ParseMXAnswers(reply.Bytes()), "mx10.example.com");
}

TEST(AnswerWalk, OtherRecordsArePassedOver) {
    ReplyBuilder reply("alias.example.com");
    reply.Record(Pointer(12), 5, WireName("real.example.com"));     // CNAME
    reply.Record(Pointer(12), 16, DnsBytes(300, 'x'));              // a long TXT
    const std::size_t farName = reply.Size();                       // owner name of the next record
    reply.Record(WireName("real.example.com"), 1, {192, 0, 2, 1});  // A
    reply.Record(Pointer(farName), 0x010F, ReplyBuilder::MXData(1, WireName("not.mx")));
    reply.Record(Pointer(farName), kDnsTypeMX, ReplyBuilder::MXData(10, Join({{2, 'm', 'x'}, Pointer(farName)})));
    ASSERT_GT(farName, 255u);
    EXPECT_EQ(ParseMXAnswers(reply.Bytes()), "mx.real.example.com");
}

TEST(AnswerWalk, DamagedRecordsEndTheWalkWithWhatWasFound) {
    ReplyBuilder looping("example.com");
    looping.CompressedMX(20, "good");
    const std::size_t loopAt = looping.Size() + 12 + 2;  // the exchanger of the next record
    looping.Record(Pointer(12), kDnsTypeMX, ReplyBuilder::MXData(10, Pointer(loopAt)));
    looping.CompressedMX(5, "after");
    EXPECT_EQ(ParseMXAnswers(looping.Bytes()), "good.example.com");

    ReplyBuilder overrun("example.com");
    overrun.CompressedMX(20, "good");
    const std::size_t lengthAt = overrun.Size() + 2 + 2 + 2 + 4;  // owner, type, class, ttl
    overrun.Record(Pointer(12), kDnsTypeMX, ReplyBuilder::MXData(10, WireName("x.example.com")));
    DnsBytes bytes = overrun.Bytes();
    bytes[lengthAt] = 0x40;  // data length of the second record beyond the reply
    EXPECT_EQ(ParseMXAnswers(bytes), "good.example.com");

    ReplyBuilder spilling("example.com");  // the exchanger runs past its record's data
    spilling.Record(Pointer(12), kDnsTypeMX, ReplyBuilder::MXData(10, {1, 'a'}));
    spilling.Record(Pointer(12), 1, {0});
    EXPECT_EQ(ParseMXAnswers(spilling.Bytes()), "");
}

TEST(AnswerWalk, EveryTruncationGivesNothingOrARealExchanger) {
    ReplyBuilder reply("example.com");
    reply.CompressedMX(20, "mx20").CompressedMX(10, "mx10");
    const DnsBytes& full = reply.Bytes();
    for (std::size_t length = 0; length < full.size(); ++length) {
        const std::string found = ParseMXAnswers(DnsMessageView(full.data(), length));
        EXPECT_TRUE(found.empty() || found == "mx20.example.com") << "length " << length;
    }
}

}  // namespace
}  // namespace zankit::mail
