// The files of the Attachment property and what a send needs to know of them: their names,
// which of them the HTML text shows, their bytes and the length of their names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mail/mail_seam.h"
#include "mail/text_rules.h"

namespace zankit::mail {

class AttachmentList {
public:
    // Takes the paths and reads each file's size. False when one is not a readable regular
    // file: its name and those after it stay empty, and they add no bytes.
    bool Assign(TextList paths, MailSystem& system);

    std::int32_t Count() const { return static_cast<std::int32_t>(paths_.size()); }
    const TextList& Paths() const { return paths_; }
    // The file names: the text after the last "\" or "/" of each path.
    const TextList& Names() const { return names_; }
    const std::vector<bool>& EmbeddedFlags() const { return embedded_; }
    std::uint64_t Bytes() const { return bytes_; }
    std::int64_t NameChars() const { return nameChars_; }

    // Marks an attachment referenced from the HTML text; an index past the end is ignored.
    void SetEmbedded(std::size_t index, bool embedded);

private:
    TextList paths_;
    TextList names_;
    std::vector<bool> embedded_;
    std::uint64_t bytes_ = 0;
    std::int64_t nameChars_ = 0;
};

}  // namespace zankit::mail
