#include "mail/settings/attachment_list.h"

namespace zankit::mail {
namespace {

std::string NameOfPath(const std::string& path) {
    // Both separators, as Windows takes "/" in paths too.
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool AttachmentList::Assign(TextList paths, MailSystem& system) {
    paths_ = std::move(paths);
    names_.assign(paths_.size(), std::string());
    embedded_.assign(paths_.size(), false);
    bytes_ = 0;
    nameChars_ = 0;
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        const auto size = system.RegularFileSize(paths_[i]);
        if (!size) return false;
        names_[i] = NameOfPath(paths_[i]);
        bytes_ += *size;
        nameChars_ += static_cast<std::int64_t>(names_[i].size());
    }
    return true;
}

void AttachmentList::SetEmbedded(std::size_t index, bool embedded) {
    if (index < embedded_.size()) embedded_[index] = embedded;
}

}  // namespace zankit::mail
