// The socket's state and event delivery over a scripted channel.
#include <gtest/gtest.h>

#include "mail/mail_socket.h"
#include "session_test_support.h"

namespace zankit::mail::testing {
namespace {

// Records each event with the socket state seen by the handler.
class SocketLog : public SocketEvents {
public:
    explicit SocketLog(MailSocket& socket) : socket_(socket) {}
    void OnConnect() override { Add("connect"); }
    void OnClose() override { Add("close"); }
    void OnDataArrival(const std::string& data) override {
        Add("data " + data);
        if (closeOnData) socket_.Close();
    }
    void OnSendProgress(std::int64_t sent, std::int64_t remaining) override {
        Add("progress " + std::to_string(sent) + " " + std::to_string(remaining));
    }
    void OnError(const std::string& description) override { Add("error " + description); }

    std::vector<std::string> seen;
    bool closeOnData = false;

private:
    void Add(const std::string& text) { seen.push_back(text + " @" + std::to_string(socket_.State())); }
    MailSocket& socket_;
};

struct MailSocketTest : ::testing::Test {
    ChannelScript script;
    MailSocket socket{std::make_unique<ScriptedChannel>(script)};
    SocketLog log{socket};
    MailSocketTest() { socket.SetEvents(&log); }
};

TEST_F(MailSocketTest, EventsArriveOnlyWhenPolled) {
    script.connectsLater = true;
    socket.Connect("mail.test", 25);
    EXPECT_EQ(script.host + ":" + std::to_string(script.port), "mail.test:25");
    EXPECT_EQ(socket.State(), kSocketConnecting);
    EXPECT_TRUE(log.seen.empty());
    socket.Poll();
    EXPECT_EQ(log.seen, (std::vector<std::string>{"connect @7"}));
}

TEST_F(MailSocketTest, ProgressCountsBytesWrittenSinceTheLastReportAndBytesStillQueued) {
    socket.Connect("mail.test", 25);
    socket.Poll();
    script.sendBudget = 10;
    socket.SendData(std::string(25, 'a'));
    socket.Poll();
    script.sendBudget = 100;
    socket.Poll();
    socket.Poll();  // nothing left: no report
    EXPECT_EQ(log.seen, (std::vector<std::string>{"connect @7", "progress 10 15 @7", "progress 15 0 @7"}));
    EXPECT_EQ(script.written, std::string(25, 'a'));
}

TEST_F(MailSocketTest, DataBeforeThePeersCloseIsSeenWhileStillConnected) {
    socket.Connect("mail.test", 25);
    script.incoming = "221 bye\r\n";
    script.peerCloses = true;
    socket.Poll();
    EXPECT_EQ(log.seen, (std::vector<std::string>{"connect @7", "data 221 bye\r\n @7", "close @8"}));
}

TEST_F(MailSocketTest, ClosingFromAHandlerDropsTheEventsNotYetDelivered) {
    socket.Connect("mail.test", 25);
    socket.SendData("QUIT\r\n");
    script.sendBudget = 0;
    script.incoming = "554 go away\r\n";
    script.peerCloses = true;
    log.closeOnData = true;
    socket.Poll();
    socket.Poll();
    EXPECT_EQ(log.seen, (std::vector<std::string>{"connect @7", "data 554 go away\r\n @7"}));
    EXPECT_EQ(socket.State(), kSocketClosed);
    EXPECT_EQ(socket.QueuedBytes(), 0u);
}

TEST_F(MailSocketTest, FailuresBecomeErrorEventsWithState9) {
    script.openResult = ConnectStep::Failed;
    script.openError = "Name or service not known";
    socket.Connect("nowhere.invalid", 25);
    EXPECT_EQ(socket.State(), kSocketClosed);
    socket.Poll();
    EXPECT_EQ(log.seen, (std::vector<std::string>{"error Name or service not known @9"}));

    log.seen.clear();
    script.openResult = ConnectStep::Connected;
    script.receiveError = "Connection reset by peer";
    socket.Connect("mail.test", 25);
    socket.Poll();
    EXPECT_EQ(log.seen, (std::vector<std::string>{"connect @7", "error Connection reset by peer @9"}));
}

}  // namespace
}  // namespace zankit::mail::testing
