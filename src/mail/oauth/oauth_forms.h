// The text forms of the OAuth exchanges: form bodies, the authorize address, the loopback
// redirect's query, base64url and the PKCE pair.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zankit::mail {

using FormFields = std::vector<std::pair<std::string, std::string>>;

// application/x-www-form-urlencoded: letters, digits and "-._~" as they are, every other byte
// as %XX (a space too), fields joined with "&".
std::string FormEncode(const FormFields& fields);
// One value percent-encoded as FormEncode does it.
std::string PercentEncodeValue(std::string_view value);

// True for an absolute "https://" address with a host (the scheme in any case).
bool IsHttpsUrl(std::string_view url);
// The address with fields appended as its query ("?" or, when it has a query already, "&").
std::string WithQuery(const std::string& url, const FormFields& fields);

// The fields of a request target's query ("/?a=1&b=x%20y" gives a=1, b="x y"; "+" is a space).
// A field named twice keeps its first value. Empty without a query.
std::map<std::string, std::string> QueryFields(std::string_view target);

// Base64 with the URL alphabet and no padding.
std::string Base64Url(std::string_view bytes);

// The PKCE verifier made from random bytes (base64url of them) and its S256 challenge.
struct ProofKey {
    std::string verifier;
    std::string challenge;
};
ProofKey ProofKeyFrom(std::string_view randomBytes);

}  // namespace zankit::mail
