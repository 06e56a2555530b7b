// A map from file extensions to content types: a built-in list of common types, optionally
// extended by a file in the format of mime.types ("type ext ext ...", "#" comments).
#pragma once

#include <istream>
#include <map>
#include <optional>
#include <string>

namespace zankit::mail {

class ContentTypeMap {
public:
    // Starts with the built-in list.
    ContentTypeMap();
    // Adds the entries of a mime.types text; its entries replace built-in ones.
    void AddMimeTypes(std::istream& input);
    // The type for an extension given with its dot, compared without regard to case.
    std::optional<std::string> Find(const std::string& extensionWithDot) const;

private:
    std::map<std::string, std::string> types_;  // upper-case extension without dot -> type
};

}  // namespace zankit::mail
