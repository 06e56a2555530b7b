#include "mail/secret_text.h"

namespace zankit::mail {

void WipeString(std::string& text) {
    // Grown to its capacity first, so bytes left behind by a shorter value are reached too.
    // Writing through a volatile pointer keeps the compiler from dropping stores to memory
    // that is about to be released.
    text.resize(text.capacity());
    volatile char* bytes = text.data();
    for (std::size_t i = 0; i < text.size(); ++i) bytes[i] = 0;
    text.clear();
}

}  // namespace zankit::mail
