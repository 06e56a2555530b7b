// Where the message writer hands the bytes of one message. The send step joins it to the
// session, so the message folder knows nothing of the session.
#pragma once

#include <string_view>

namespace zankit::mail {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Hands bytes on as they are; false when the send has failed (the failure is reported).
    virtual bool Deliver(std::string_view bytes) = 0;
    virtual bool Failed() const = 0;
    // Ends the send, reporting description as its failure.
    virtual void Fail(std::string_view description) = 0;
    // True while the connection that takes the bytes is open.
    virtual bool Connected() const = 0;
    // Lets queued bytes leave and the host's events run once.
    virtual void Pump() = 0;
};

}  // namespace zankit::mail
