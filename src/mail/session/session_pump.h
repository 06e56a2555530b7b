// The pump of the mail object's waits: the platform's own event processing (window messages
// on Windows) followed by one poll of the object's socket, which delivers its events.
#pragma once

#include "mail/mail_seam.h"
#include "mail/session/mail_socket.h"

namespace zankit::mail {

class SessionPump final : public WaitHooks {
public:
    SessionPump(WaitHooks& system, MailSocket& socket) : system_(system), socket_(socket) {}

    double SecondsSinceMidnight() override { return system_.SecondsSinceMidnight(); }
    void PumpEvents() override {
        system_.PumpEvents();
        socket_.Poll();
    }
    // Wakes early when the socket has something to deliver, so a reply is taken as soon as it
    // arrives; without a connection it is the platform's plain sleep.
    void SleepMilliseconds(unsigned milliseconds) override {
        if (!socket_.WaitForActivity(milliseconds)) system_.SleepMilliseconds(milliseconds);
    }

private:
    WaitHooks& system_;
    MailSocket& socket_;
};

}  // namespace zankit::mail
