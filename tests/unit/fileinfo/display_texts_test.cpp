#include <gtest/gtest.h>

#include "fileinfo/display_texts.h"
#include "fileinfo/run_time_failure.h"

namespace zankit::fileinfo {
namespace {

TEST(DisplayTexts, KilobytesAddHalfAKilobyteAndRoundToOneDecimal) {
    EXPECT_EQ(KiloByteText(1000, L"."), L"1.5 KB");
    EXPECT_EQ(KiloByteText(1023, L"."), L"1.5 KB");
    EXPECT_EQ(KiloByteText(0, L"."), L"0.5 KB");
    EXPECT_EQ(KiloByteText(100, L"."), L"0.6 KB");
    EXPECT_EQ(KiloByteText(1000, L","), L"1,5 KB");
    // Near and beyond the 32-bit limit the text is still exact: no overflow.
    EXPECT_EQ(KiloByteText(2147483647, L"."), L"2097152.5 KB");
    EXPECT_EQ(KiloByteText(5LL * 1024 * 1024 * 1024, L"."), L"5242880.5 KB");
}

TEST(DisplayTexts, GermanDriveTypesAndNothingOutsideTheTable) {
    EXPECT_EQ(DriveTypeText(0).value(), L"Unbekannt");
    EXPECT_EQ(DriveTypeText(1).value(), L"Unbekannt");
    EXPECT_EQ(DriveTypeText(2).value(), L"Wechsellaufwerk");
    EXPECT_EQ(DriveTypeText(3).value(), L"Lokales Laufwerk");
    EXPECT_EQ(DriveTypeText(4).value(), L"Netz-Laufwerk");
    EXPECT_EQ(DriveTypeText(5).value(), L"CD-ROM");
    EXPECT_EQ(DriveTypeText(6).value(), L"RAM Disk");
    EXPECT_FALSE(DriveTypeText(7).has_value());
    EXPECT_FALSE(DriveTypeText(-1).has_value());
}

TEST(DisplayTexts, SerialNumbersAreSignedDecimals) {
    EXPECT_EQ(SerialNumberText(0x43000000u), L"1124073472");
    EXPECT_EQ(SerialNumberText(0xFFFFFFFFu), L"-1");
    EXPECT_EQ(SerialNumberText(0x80000000u), L"-2147483648");
    EXPECT_EQ(SerialNumberText(0), L"0");
}

TEST(DisplayTexts, ShortDatePatternGetsFourDigitYearsAndLowerCase) {
    EXPECT_EQ(ShortDatePattern(L"dd.MM.yy"), L"dd.mm.yyyy");
    EXPECT_EQ(ShortDatePattern(L"M/d/yyyy"), L"m/d/yyyy");
    EXPECT_EQ(ShortDatePattern(L"d.M.yyyy"), L"d.m.yyyy");
    EXPECT_EQ(ShortDatePattern(L"YYYY-MM-dd"), L"yyyy-mm-dd");  // four digits in any case stay
    EXPECT_EQ(ShortDatePattern(L"yy/MM/dd"), L"yyyy/mm/dd");
    EXPECT_EQ(ShortDatePattern(L""), L"");
}

TEST(RunTimeFailures, SystemErrorsBecomeTheRunTimeErrorsHostsKnow) {
    EXPECT_EQ(FailureForSystemError(2).number, 53);
    EXPECT_EQ(FailureForSystemError(3).number, 76);
    EXPECT_EQ(FailureForSystemError(3).description, L"Path not found");
    EXPECT_EQ(FailureForSystemError(21).number, 71);
    EXPECT_EQ(FailureForSystemError(123).number, 52);
}

}  // namespace
}  // namespace zankit::fileinfo
