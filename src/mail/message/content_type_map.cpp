#include "mail/message/content_type_map.h"

#include <sstream>

#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

struct BuiltInType {
    const char* extension;
    const char* type;
};

constexpr BuiltInType kBuiltIn[] = {
    {"txt", "text/plain"},
    {"htm", "text/html"},
    {"html", "text/html"},
    {"css", "text/css"},
    {"csv", "text/csv"},
    {"xml", "text/xml"},
    {"rtf", "application/rtf"},
    {"pdf", "application/pdf"},
    {"zip", "application/zip"},
    {"gz", "application/gzip"},
    {"doc", "application/msword"},
    {"xls", "application/vnd.ms-excel"},
    {"ppt", "application/vnd.ms-powerpoint"},
    {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    {"json", "application/json"},
    {"js", "application/javascript"},
    {"gif", "image/gif"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"png", "image/png"},
    {"bmp", "image/bmp"},
    {"ico", "image/x-icon"},
    {"svg", "image/svg+xml"},
    {"tif", "image/tiff"},
    {"tiff", "image/tiff"},
    {"wav", "audio/wav"},
    {"mp3", "audio/mpeg"},
    {"mid", "audio/mid"},
    {"mp4", "video/mp4"},
    {"avi", "video/x-msvideo"},
    {"mpg", "video/mpeg"},
    {"mpeg", "video/mpeg"},
    {"eml", "message/rfc822"},
};

}  // namespace

ContentTypeMap::ContentTypeMap() {
    for (const auto& entry : kBuiltIn) types_[ToUpperAscii(entry.extension)] = entry.type;
}

void ContentTypeMap::AddMimeTypes(std::istream& input) {
    std::string line;
    while (std::getline(input, line)) {
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string type;
        if (!(words >> type)) continue;
        std::string extension;
        while (words >> extension) types_[ToUpperAscii(extension)] = type;
    }
}

std::optional<std::string> ContentTypeMap::Find(const std::string& extensionWithDot) const {
    if (extensionWithDot.size() < 2 || extensionWithDot.front() != '.') return std::nullopt;
    const auto found = types_.find(ToUpperAscii(extensionWithDot.substr(1)));
    if (found == types_.end()) return std::nullopt;
    return found->second;
}

}  // namespace zankit::mail
