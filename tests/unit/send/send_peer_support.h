// Helpers of the send tests against the loopback peers: the sinks started by
// tests/peers/run_session_tests.sh, attachment files of chosen sizes, and a received message
// taken apart by tests/peers/read_message.py (Python's email package and uudecode).
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "../session/session_test_support.h"

namespace zankit::mail::testing {

namespace fs = std::filesystem;

// One aiosmtpd sink: its port and its spool (received.log and message-N.eml).
struct SinkPeer {
    int port = 0;
    std::string spool;

    std::string Received() const { return ReadWholeFile(spool + "/received.log"); }
    int MessageCount() const {
        int newest = 0;
        for (const auto& entry : fs::directory_iterator(spool)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("message-", 0) == 0) newest = std::max(newest, std::stoi(name.substr(8)));
        }
        return newest;
    }
    std::string MessagePath(int number) const { return spool + "/message-" + std::to_string(number) + ".eml"; }
};

inline std::optional<SinkPeer> SinkPeerFromEnvironment(const char* portName, const char* spoolName) {
    const auto port = FromEnvironment(portName);
    const auto spool = FromEnvironment(spoolName);
    if (!port || !spool) return std::nullopt;
    return SinkPeer{std::stoi(*port), *spool};
}

// A scratch folder removed with the object.
class ScratchDir {
public:
    ScratchDir() {
        std::random_device seed;
        path_ = fs::temp_directory_path() / ("zankit-send-" + std::to_string(seed()));
        fs::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // Writes size bytes of every value 0..255 in a scrambled order; returns the full path.
    std::string BinaryFile(const std::string& name, std::size_t size, unsigned seed = 1) const {
        std::mt19937 random(seed + static_cast<unsigned>(size));
        std::string bytes(size, '\0');
        for (auto& b : bytes) b = static_cast<char>(random() & 0xFF);
        return TextFile(name, bytes);
    }
    std::string TextFile(const std::string& name, const std::string& bytes) const {
        const fs::path file = path_ / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file.string();
    }
    std::string Path() const { return path_.string(); }

private:
    fs::path path_;
};

// A received message as a mail reader sees it.
struct InspectedMessage {
    std::vector<std::pair<std::string, std::string>> headers;  // in order
    struct Part {
        std::string type, cid, file;
        std::string bytes;  // decoded
    };
    std::vector<Part> parts;
    struct UUBlock {
        std::string name;
        int rc = -1;
        std::string bytes;
    };
    std::vector<UUBlock> uu;

    // The value of the only header of that name; "<missing>" or "<several>" otherwise.
    std::string Header(const std::string& name) const {
        std::vector<std::string> found;
        for (const auto& [key, value] : headers) {
            if (EqualsNoCase(key, name)) found.push_back(value);
        }
        if (found.empty()) return "<missing>";
        if (found.size() > 1) return "<several>";
        return found[0];
    }
    std::vector<std::string> HeaderNames() const {
        std::vector<std::string> names;
        for (const auto& header : headers) names.push_back(header.first);
        return names;
    }
};

// Runs the inspector over message file; the parsed result.
inline InspectedMessage Inspect(const std::string& messageFile, const std::string& outDir) {
    const fs::path script = fs::path(__FILE__).parent_path() / "../../peers/read_message.py";
    const std::string command = "/usr/bin/python3 '" + script.string() + "' '" + messageFile + "' '" + outDir + "'";
    InspectedMessage result;
    if (std::system(command.c_str()) != 0) return result;
    std::istringstream summary(ReadWholeFile(outDir + "/summary.txt"));
    std::string line;
    // "key=value" fields of a summary line, the last one possibly holding spaces.
    const auto field = [](const std::string& text, const std::string& key, const std::string& next) {
        const auto from = text.find(" " + key + "=");
        if (from == std::string::npos) return std::string();
        const auto start = from + key.size() + 2;
        const auto end = next.empty() ? std::string::npos : text.find(" " + next + "=", start);
        return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    };
    while (std::getline(summary, line)) {
        if (line.rfind("header ", 0) == 0) {
            const auto colon = line.find(": ", 7);
            result.headers.emplace_back(line.substr(7, colon - 7), line.substr(colon + 2));
        } else if (line.rfind("part ", 0) == 0) {
            std::istringstream words(line.substr(5));
            int index = 0;
            InspectedMessage::Part part;
            words >> index >> part.type;
            part.cid = field(line, "cid", "file");
            part.file = field(line, "file", "size");
            part.bytes = ReadWholeFile(outDir + "/part-" + std::to_string(index) + ".bin");
            result.parts.push_back(part);
        } else if (line.rfind("uu ", 0) == 0) {
            std::istringstream words(line.substr(3));
            int index = 0;
            words >> index;
            InspectedMessage::UUBlock block;
            block.name = field(line, "name", "size");
            block.rc = std::atoi(field(line, "rc", "").c_str());
            block.bytes = ReadWholeFile(outDir + "/uu-" + std::to_string(index) + ".bin");
            result.uu.push_back(block);
        }
    }
    return result;
}

// True when every CR in text is followed by LF and every LF follows a CR.
inline bool OnlyCrLfLineEnds(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) return false;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    }
    return true;
}

// The events from the first "Status: Sending Sender Information..." on.
inline std::vector<std::string> FromEnvelopeOn(const std::vector<std::string>& log) {
    const auto start = std::find(log.begin(), log.end(), "Status: Sending Sender Information...");
    return std::vector<std::string>(start, log.end());
}

// Drops the Progress entries.
inline std::vector<std::string> WithoutProgress(const std::vector<std::string>& log) {
    std::vector<std::string> kept;
    for (const auto& entry : log) {
        if (entry.rfind("Progress: ", 0) != 0) kept.push_back(entry);
    }
    return kept;
}

}  // namespace zankit::mail::testing
