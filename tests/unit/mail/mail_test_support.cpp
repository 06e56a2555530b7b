#include "mail_test_support.h"

#include <fstream>

namespace zankit::mail::testing {

void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

}  // namespace zankit::mail::testing
