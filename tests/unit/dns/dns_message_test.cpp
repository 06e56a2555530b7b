#include <gtest/gtest.h>

#include "dns_test_support.h"
#include "mail/dns_message.h"

namespace zankit::mail {
namespace {

using testing::Join;
using testing::MXData;
using testing::Pointer;
using testing::ReplyBuilder;
using testing::WireName;

TEST(MxQueryPacket, WireBytesOfTheQuestion) {
    const DnsBytes expected{0x11, 0xDF, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 'e', 'x',
                            'a',  'm',  'p',  'l',  'e',  0x03, 'c',  'o',  'm',  0x00, 0x00, 0x0F, 0x00, 0x01};
    EXPECT_EQ(BuildMXQuery("example.com"), expected);

    const struct {
        std::string domain;
        std::optional<DnsBytes> name;
    } rows[] = {
        {"a..b", DnsBytes{1, 'a', 0, 1, 'b'}},
        {".a", DnsBytes{0, 1, 'a'}},
        {"a.", DnsBytes{1, 'a', 0}},
        {"", DnsBytes{0}},
        {"b\xE4r.de", DnsBytes{3, 'b', 0xE4, 'r', 2, 'd', 'e'}},
        {std::string(63, 'a'), Join({{63}, DnsBytes(63, 'a')})},
        {std::string(64, 'a') + ".de", std::nullopt},  // its length cannot be written
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.domain);
        EXPECT_EQ(EncodeQName(row.domain), row.name);
    }
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
    DnsBytes tooLong;
    for (int i = 0; i < 5; ++i) tooLong = Join({tooLong, {63}, DnsBytes(63, 'x')});
    const struct {
        const char* what;
        DnsBytes message;
    } rows[] = {
        {"nothing to read", {}},
        {"label runs out of the message", {3, 'a', 'b'}},
        {"no closing zero byte", {1, 'a'}},
        {"half a pointer", {0xC0}},
        {"pointer beyond the end", {0xC0, 0x10}},
        {"pointer to itself", {0xC0, 0x00}},
        {"two pointers pointing at each other", {1, 'a', 0xC0, 0x05, 0, 0xC0, 0x02}},
        {"reserved label type 01", {0x41, 'a'}},
        {"reserved label type 10", {0x80, 'a'}},
        {"longer than 255 bytes", Join({tooLong, {0}})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::size_t position = 0;
        EXPECT_FALSE(ReadDnsName(row.message, position).has_value());
        EXPECT_EQ(position, 0u);
    }
}

TEST(IsReplyTo, OnlyAResponseWithTheQueryIdentifier) {
    const DnsBytes query = *BuildMXQuery("example.com");
    const DnsBytes reply = ReplyBuilder("example.com").CompressedMX(10, "mx").Bytes();
    DnsBytes otherId = reply;
    otherId[1] ^= 1;
    EXPECT_TRUE(IsReplyTo(reply, query));
    EXPECT_FALSE(IsReplyTo(otherId, query));
    EXPECT_FALSE(IsReplyTo(query, query));  // not a response
    EXPECT_FALSE(IsReplyTo(DnsMessageView(reply.data(), kDnsHeaderSize - 1), query));
}

// A reply whose second record has its data length set beyond the reply's end.
DnsBytes OverrunningReply() {
    ReplyBuilder reply("example.com");
    reply.CompressedMX(20, "good");
    const std::size_t lengthAt = reply.Size() + 2 + 2 + 2 + 4;  // owner, type, class, time to live
    DnsBytes bytes = reply.Record(Pointer(12), kDnsTypeMX, MXData(10, WireName("x.example.com"))).Bytes();
    bytes[lengthAt] = 0x40;
    return bytes;
}

// A reply whose second exchanger is a pointer to itself, followed by a better record.
DnsBytes LoopingReply() {
    ReplyBuilder reply("example.com");
    reply.CompressedMX(20, "good");
    const std::size_t loopAt = reply.Size() + 12 + 2;  // the exchanger of the next record
    return reply.Record(Pointer(12), kDnsTypeMX, MXData(10, Pointer(loopAt))).CompressedMX(5, "after").Bytes();
}

// CNAME, a long TXT, an A record and a type that only ends in 15 before the MX record, whose
// names point beyond offset 255.
DnsBytes MixedReply() {
    ReplyBuilder reply("alias.example.com");
    reply.Record(Pointer(12), 5, WireName("real.example.com")).Record(Pointer(12), 16, DnsBytes(300, 'x'));
    const std::size_t farName = reply.Size();
    return reply.Record(WireName("real.example.com"), 1, {192, 0, 2, 1})
        .Record(Pointer(farName), 0x010F, MXData(1, WireName("not.mx")))
        .Record(Pointer(farName), kDnsTypeMX, MXData(10, Join({{2, 'm', 'x'}, Pointer(farName)})))
        .Bytes();
}

TEST(AnswerWalk, BestExchangerOfEveryKindOfAnswer) {
    const auto compressed = [](std::initializer_list<std::pair<std::uint16_t, const char*>> records) {
        ReplyBuilder reply("example.com");
        for (const auto& [preference, label] : records) reply.CompressedMX(preference, label);
        return reply.Bytes();
    };
    const DnsBytes name = WireName("example.com");
    // clang-format off
    const struct {
        const char* what; DnsBytes reply; std::string exchanger;
    } rows[] = {
        {"lowest preference wins", compressed({{20, "mx20"}, {10, "mx10"}}), "mx10.example.com"},
        {"equal preference keeps the first", compressed({{10, "first"}, {10, "second"}, {30, "t"}}), "first.example.com"},
        {"highest preference last", compressed({{5, "low"}, {0xFFFF, "high"}}), "low.example.com"},
        {"the root name and a blank name are no exchangers",
         ReplyBuilder("example.com").Record(Pointer(12), kDnsTypeMX, MXData(0, {0}))
             .Record(Pointer(12), kDnsTypeMX, MXData(1, {2, ' ', ' ', 0})).CompressedMX(50, "real").Bytes(),
         "real.example.com"},
        {"uncompressed names keep step",
         ReplyBuilder("example.com").Record(name, kDnsTypeMX, MXData(30, WireName("mx30.example.com")))
             .Record(name, kDnsTypeMX, MXData(10, WireName("mx10.example.com")))
             .Record(name, kDnsTypeMX, MXData(20, WireName("mx20.example.com"))).Bytes(),
         "mx10.example.com"},
        {"other records are passed over", MixedReply(), "mx.real.example.com"},
        {"a looping exchanger ends the walk", LoopingReply(), "good.example.com"},
        {"a record beyond the reply ends the walk", OverrunningReply(), "good.example.com"},
        {"an exchanger running past its record",
         ReplyBuilder("example.com").Record(Pointer(12), kDnsTypeMX, MXData(10, {1, 'a'})).Record(Pointer(12), 1, {0})
             .Bytes(),
         ""},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(ParseMXAnswers(row.reply), row.exchanger);
    }
}

TEST(AnswerWalk, EveryTruncationGivesNothingOrARealExchanger) {
    const DnsBytes full = ReplyBuilder("example.com").CompressedMX(20, "mx20").CompressedMX(10, "mx10").Bytes();
    for (std::size_t length = 0; length < full.size(); ++length) {
        const std::string found = ParseMXAnswers(DnsMessageView(full.data(), length));
        EXPECT_TRUE(found.empty() || found == "mx20.example.com") << "length " << length;
    }
}

}  // namespace
}  // namespace zankit::mail
