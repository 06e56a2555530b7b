// Wiping the buffers that hold a password, an access token, their encoded forms or message
// bytes once they are no longer needed, so the text does not linger in freed memory.
#pragma once

#include <string>

namespace zankit::mail {

// Overwrites every byte text's buffer holds (its whole capacity) with zeros, then empties it.
// The buffer stays allocated to text; it is freed, already blank, with text.
void WipeString(std::string& text);

// Wipes the string it watches when it goes out of scope, on every way out.
class WipedOnExit {
public:
    explicit WipedOnExit(std::string& text) : text_(text) {}
    ~WipedOnExit() { WipeString(text_); }
    WipedOnExit(const WipedOnExit&) = delete;
    WipedOnExit& operator=(const WipedOnExit&) = delete;

private:
    std::string& text_;
};

}  // namespace zankit::mail
