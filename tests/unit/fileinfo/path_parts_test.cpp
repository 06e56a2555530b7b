#include <gtest/gtest.h>

#include "fileinfo/path_parts.h"

namespace zankit::fileinfo {
namespace {

TEST(PathParts, FileNameAndPathPieces) {
    EXPECT_EQ(NameWithoutExtension(L"Report.final.docx"), L"Report.final");
    EXPECT_EQ(NameWithoutExtension(L"a.b.c"), L"a.b");
    EXPECT_EQ(NameWithoutExtension(L".profile"), L"");
    EXPECT_EQ(NameWithoutExtension(L"README"), L"README");
    EXPECT_EQ(TextBeforeLastSeparator(L"C:\\Temp\\Report.final.docx"), L"C:\\Temp");
    EXPECT_EQ(TextBeforeLastSeparator(L"bare.txt"), L"bare.txt");  // a bare name stays whole
    EXPECT_EQ(TextBeforeLastSeparator(L"C:\\"), L"C:");
}

TEST(PathParts, FolderNameAndParent) {
    EXPECT_EQ(FolderName(L"C:\\Windows\\"), L"Windows");
    EXPECT_EQ(FolderName(L"C:\\Windows"), L"Windows");
    EXPECT_EQ(FolderName(L"C:\\"), L"C:");
    EXPECT_EQ(FolderName(L""), L"");
    EXPECT_EQ(ParentFolderPath(L"C:\\a\\b"), L"C:\\a\\");
    EXPECT_EQ(ParentFolderPath(L"C:\\a\\b\\"), L"C:\\a\\");
    EXPECT_EQ(ParentFolderPath(L"C:\\"), L"C:\\");
    EXPECT_EQ(ParentFolderPath(L"C:"), L"C:\\");
    EXPECT_EQ(ParentFolderPath(L"\\\\server\\share"), L"\\\\server\\");
}

TEST(PathParts, BareDrivesAndDriveNumbers) {
    EXPECT_TRUE(IsBareDrive(L"C:"));
    EXPECT_TRUE(IsBareDrive(L"q:"));
    EXPECT_FALSE(IsBareDrive(L"C:\\"));
    EXPECT_FALSE(IsBareDrive(L"C"));
    EXPECT_FALSE(IsBareDrive(L"CC"));
    EXPECT_EQ(DriveNameFromNumber(0), L"A:");
    EXPECT_EQ(DriveNameFromNumber(2), L"C:");
    EXPECT_EQ(DriveNameFromNumber(25), L"Z:");
    EXPECT_EQ(DriveNameFromNumber(-1), L"");
    EXPECT_EQ(DriveNameFromNumber(26), L"");
}

}  // namespace
}  // namespace zankit::fileinfo
