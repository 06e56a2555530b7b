// How the shell members fill the shell's request: source lists, flag words, owner window
// and progress title, checked without calling the shell.
#include <gtest/gtest.h>

#include <string>

#include "fileops/shell_request.h"

using namespace zankit::fileops;
using namespace std::string_literals;

TEST(ShellRequestLists, EveryNameIsFollowedByOneNul) {
    EXPECT_EQ(SourceList({L"one", L"two", L"three"}), L"one\0two\0three\0"s);
    EXPECT_EQ(SourceList({L"", L"x"}), L"\0x\0"s);
    EXPECT_EQ(SourceList({}), L""s);
    // Folder members take one name; the destination of a folder copy carries its NUL too.
    const ShellRequest folder = FolderCopyMoveRequest(Operation::Move, L"C:\\src", L"C:\\dst", {});
    EXPECT_EQ(folder.from, L"C:\\src\0"s);
    EXPECT_EQ(folder.to, L"C:\\dst\0"s);
    // FilesCopy hands its destination on unchanged.
    EXPECT_EQ(FilesCopyRequest(L"a\0"s, L"C:\\target", {}).to, L"C:\\target");
    // The failure report keeps the NULs of the list, and the destination as given.
    EXPECT_EQ(FilesCopyFailureText(1026, L"C:\\a\0C:\\b\0"s, L"D:\\x"),
              L"HResult=1026| File= C:\\a\0C:\\b\0| MoveTo= D:\\x"s);
}

TEST(ShellRequestFlags, FlagWordsOfTheUsualCalls) {
    struct Case {
        const char* call;
        ShellRequest request;
        unsigned flags;
        Operation operation;
    };
    FolderCopyMoveOptions quietWithWindow{false, 42, L""};
    const Case cases[] = {
        {"FilesCopy defaults", FilesCopyRequest(L"a\0"s, L"b", {}), 0x0000, Operation::Copy},
        {"FilesCopy all options", FilesCopyRequest(L"a\0"s, L"b", {false, true, true, 0}), 0x001C, Operation::Copy},
        {"FilesDelete undo", FilesDeleteRequest(L"a\0"s, {true, true, false, 0}), 0x0040, Operation::Delete},
        {"FilesDelete undo quiet", FilesDeleteRequest(L"a\0"s, {true, false, true, 0}), 0x0054, Operation::Delete},
        {"FolderMove defaults", FolderCopyMoveRequest(Operation::Move, L"a", L"b", {}), 0x0004, Operation::Move},
        {"FolderCopy no confirmation, window", FolderCopyMoveRequest(Operation::Copy, L"a", L"b", quietWithWindow),
         0x0310, Operation::Copy},
        {"FolderCopy no confirmation, no window", FolderCopyMoveRequest(Operation::Copy, L"a", L"b", {false, 0, L"T"}),
         0x0214, Operation::Copy},
        {"FolderCopy window", FolderCopyMoveRequest(Operation::Copy, L"a", L"b", {true, 1, L""}), 0x0100,
         Operation::Copy},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.request.flags, c.flags) << c.call;
        EXPECT_EQ(c.request.operation, c.operation) << c.call;
    }
}

TEST(ShellRequestOwner, OwnerWindowAndProgressTitle) {
    // FilesCopy and FilesDelete (FolderDelete too) use only a positive handle.
    EXPECT_EQ(FilesCopyRequest(L"a\0"s, L"b", {true, false, false, -5}).owner, 0);
    EXPECT_EQ(FilesDeleteRequest(L"a\0"s, {false, true, false, 77}).owner, 77);
    // Folder copy and move pass the window on unchanged; the title needs a window and a caption.
    const ShellRequest titled = FolderCopyMoveRequest(Operation::Copy, L"a", L"b", {true, 1, L"Kopieren"});
    EXPECT_TRUE(titled.hasTitle && titled.title == L"Kopieren");
    EXPECT_EQ(FolderCopyMoveRequest(Operation::Copy, L"a", L"b", {true, -1, L"Kopieren"}).owner, -1);
    EXPECT_FALSE(FolderCopyMoveRequest(Operation::Copy, L"a", L"b", {true, -1, L"Kopieren"}).hasTitle);
    EXPECT_FALSE(FolderCopyMoveRequest(Operation::Copy, L"a", L"b", {true, 1, L""}).hasTitle);
}
