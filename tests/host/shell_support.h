// Helpers for the shell member tests: the recorder program registered as the handler of a
// test file type and of "mailto", and the records it leaves behind.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "host_support.h"

namespace shelltest {

// The extension of the test file type. Its verbs open, print, explore and runas start the
// recorder with that word as first argument; its default verb is "record", so a call without
// a verb shows up as "record".
inline constexpr const wchar_t* kRecordedExtension = L".zkrec";

// Registers the test file type and the "mailto" handler for the lifetime of the object and
// restores what was there before.
class RecorderRegistration {
public:
    RecorderRegistration();
    ~RecorderRegistration();
    RecorderRegistration(const RecorderRegistration&) = delete;
    RecorderRegistration& operator=(const RecorderRegistration&) = delete;
    bool Ready() const { return ready_; }

private:
    bool ready_ = false;
    bool mailtoExisted_ = false;
    std::wstring previousMailtoCommand_;
};

struct Record {
    bool arrived = false;
    std::wstring arguments;  // the command line after the recorder's own quoted path
    std::wstring directory;
    std::wstring show;  // the show command, or "none"
    std::wstring text;  // the whole record, for failure messages
};

// One expected start of the recorder: points it at a fresh file; Wait() gives the record once
// the recorder wrote it, or a record with arrived = false after a timeout.
class RecorderRun {
public:
    RecorderRun();
    Record Wait() const;

private:
    std::wstring file_;
};

// Acts like a user who closes every window this process shows (error boxes of the shell,
// property sheets) while the object lives, so that nothing waits for an answer forever.
class WindowCloser {
public:
    WindowCloser();
    ~WindowCloser();
    WindowCloser(const WindowCloser&) = delete;
    WindowCloser& operator=(const WindowCloser&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

// Writes a small text file.
void WriteTextFile(const std::wstring& path, const std::string& content = "x");
std::string ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

}  // namespace shelltest
