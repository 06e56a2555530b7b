// Base64 throughput of the mail encoders against coreutils' base64 on the same bytes:
// Base64EncodeBytes over 256 MiB in pieces of 11 400 bytes (as attachments are sent) against
// "base64 -w 76", and DecodeBase64String against "base64 -d". Prints times and ratios.
// Usage: base64_bench [MiB]   (default 256)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "mail/message/encodings.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kPiece = 11400;
constexpr int kRounds = 3;

std::string RandomBytes(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    for (std::size_t i = 0; i < size; i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        for (std::size_t k = 0; k < 8 && i + k < size; ++k) {
            bytes[i + k] = static_cast<char>((state >> (8 * k)) & 0xFF);
        }
    }
    return bytes;
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Best wall time of a few runs of a shell command.
double BestCommandSeconds(const std::string& command) {
    double best = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = Clock::now();
        if (std::system(command.c_str()) != 0) {
            std::cerr << "command failed: " << command << "\n";
            std::exit(1);
        }
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

template <typename Work>
double BestSeconds(Work work) {
    double best = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

std::string WithoutLineBreaks(const std::string& text) {
    std::string flat;
    flat.reserve(text.size());
    for (char c : text) {
        if (c != '\r' && c != '\n') flat.push_back(c);
    }
    return flat;
}

void Report(const char* what, double ours, double theirs, double mebibytes) {
    std::printf("%-38s ours %7.3f s (%7.1f MiB/s)   coreutils %7.3f s (%7.1f MiB/s)   speed ratio %.2f\n", what, ours,
                mebibytes / ours, theirs, mebibytes / theirs, theirs / ours);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mebibytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
    const std::size_t size = mebibytes << 20;
    const std::string data = RandomBytes(size);

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zankit-base64-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto raw = dir / "data.bin";
    const auto flatFile = dir / "data.b64";
    const auto coreutilsOut = dir / "coreutils.b64";
    WriteFile(raw, data);

    // Encoding, piece by piece; the pieces join into one text because 11 400 is a multiple of 57.
    std::size_t encodedBytes = 0;
    const double oursEncode = BestSeconds([&] {
        encodedBytes = 0;
        for (std::size_t at = 0; at < size; at += kPiece) {
            const std::size_t length = std::min(kPiece, size - at);
            encodedBytes +=
                zankit::mail::Base64EncodeBytes(reinterpret_cast<const unsigned char*>(data.data()) + at, length)
                    .size();
        }
    });
    const double theirsEncode = BestCommandSeconds("base64 -w 76 '" + raw.string() + "' >/dev/null");

    // Same output apart from the line ends (coreutils writes LF, mail text needs CR LF).
    const std::string ours = zankit::mail::Base64EncodeBytes(data);
    const std::string flat = WithoutLineBreaks(ours);
    if (std::system(("base64 -w 76 '" + raw.string() + "' >'" + coreutilsOut.string() + "'").c_str()) != 0 ||
        WithoutLineBreaks(ReadFile(coreutilsOut)) != flat || encodedBytes != ours.size()) {
        std::cerr << "encoded texts differ\n";
        return 1;
    }

    // Decoding one unbroken base64 text.
    WriteFile(flatFile, flat);
    std::size_t decodedBytes = 0;
    const double oursDecode = BestSeconds([&] { decodedBytes = zankit::mail::DecodeBase64String(flat).size(); });
    const double theirsDecode = BestCommandSeconds("base64 -d '" + flatFile.string() + "' >/dev/null");
    if (decodedBytes != size || zankit::mail::DecodeBase64String(flat) != data) {
        std::cerr << "decoded bytes differ\n";
        return 1;
    }

    std::filesystem::remove_all(dir);
    std::printf("%zu MiB of random bytes, best of %d runs each\n", mebibytes, kRounds);
    Report("Base64EncodeBytes (11400-byte pieces)", oursEncode, theirsEncode, static_cast<double>(mebibytes));
    Report("DecodeBase64String", oursDecode, theirsDecode, static_cast<double>(mebibytes));
    return 0;
}
