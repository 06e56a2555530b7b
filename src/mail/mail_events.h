// The outgoing events of a mail object. The COM glue implements this interface and forwards each
// call to the connected sinks; the core calls it on the object's own thread. Arguments travel by
// reference because event handlers of the hosts may change them.
#pragma once

#include <string>

namespace zankit::mail {

class MailEvents {
public:
    virtual ~MailEvents() = default;
    virtual void SendSuccesful() = 0;
    virtual void SendFailed(std::string& explanation) = 0;
    virtual void Status(std::string& status) = 0;
    virtual void Progress(long& percentComplete) = 0;
    // The device sign-in's address and code for the user, with the provider's message.
    virtual void OAuthUserCode(std::string& verificationUri, std::string& userCode, std::string& message) {
        static_cast<void>(verificationUri);
        static_cast<void>(userCode);
        static_cast<void>(message);
    }
};

}  // namespace zankit::mail
