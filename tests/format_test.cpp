// The exact texts of the referee's lines: number formats, the date line,
// the round line, the board picture and the players' lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "board_display.h"
#include "number_format.h"
#include "player_init.h"
#include "run_log.h"

namespace {

std::string Int(int64_t v, int width = 0) {
  std::string s;
  AppendInt(s, v, width);
  return s;
}

std::string Fixed(long double v, int width, int decimals) {
  std::string s;
  AppendFixed(s, v, width, decimals);
  return s;
}

TEST(NumberFormat, IntegersAreRightAlignedAndNeverCut) {
  EXPECT_EQ(Int(0), "0");
  EXPECT_EQ(Int(-7), "-7");
  EXPECT_EQ(Int(5, 4), "   5");
  EXPECT_EQ(Int(-5, 4), "  -5");
  EXPECT_EQ(Int(123456, 4), "123456");
  EXPECT_EQ(Int(-2147483648LL, 2), "-2147483648");
}

TEST(NumberFormat, FixedPointRoundsHalvesAwayFromZero) {
  EXPECT_EQ(Fixed(0.0625L, 0, 3), "0.063");
  EXPECT_EQ(Fixed(0.0625, 0, 3), "0.063");  // exact in binary: a true half
  EXPECT_EQ(Fixed(2.5L, 0, 0), "3");
  EXPECT_EQ(Fixed(-0.0625L, 0, 3), "-0.063");
  EXPECT_EQ(Fixed(0.00005L, 6, 4), "0.0001");
  EXPECT_EQ(Fixed(0.00004999L, 6, 4), "0.0000");
}

TEST(NumberFormat, FixedPointKeepsALeadingDigitAndCarries) {
  EXPECT_EQ(Fixed(0.0004L, 5, 3), "0.000");
  EXPECT_EQ(Fixed(0.0012L, 0, 4), "0.0012");
  EXPECT_EQ(Fixed(0.99996L, 6, 4), "1.0000");
  EXPECT_EQ(Fixed(9.99996L, 6, 4), "10.0000");
  EXPECT_EQ(Fixed(0, 6, 4), "0.0000");
}

TEST(NumberFormat, FixedPointWidensPastItsWidth) {
  EXPECT_EQ(Fixed(0.1234L, 8, 4), "  0.1234");
  EXPECT_EQ(Fixed(12.3456L, 6, 4), "12.3456");
  EXPECT_EQ(Fixed(1234.5L, 5, 3), "1234.500");
  EXPECT_EQ(Fixed(-0.00001L, 6, 4), "0.0000");  // no minus sign on a zero
}

TEST(NumberFormat, FastAndGeneralFixedPointAgree) {
  std::mt19937_64 random(7);
  std::vector<long double> values;
  for (int k = 0; k < 4000; ++k) values.push_back(k / 16.0L);  // exact halves and quarters
  for (int k = 0; k < 100000; ++k)
    values.push_back(
        std::ldexp(static_cast<long double>(random()), -static_cast<int>(random() % 90)));
  for (long double v : values) {
    for (int decimals : {0, 3, 4}) {
      std::string fast, general;
      AppendFixed(fast, v, 6, decimals);
      AppendFixedFromDigits(general, v, 6, decimals);
      ASSERT_EQ(fast, general) << static_cast<double>(v) << " with " << decimals;
    }
  }
}

std::tm Time(int hour, int minute, int second, int day, int month, int year) {
  std::tm t{};
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_mday = day;
  t.tm_mon = month - 1;
  t.tm_year = year - 1900;
  return t;
}

TEST(DateTimeLine, BlanksFillTheFieldsAndHundredthsAreTruncated) {
  EXPECT_EQ(DateTimeLine(Time(9, 5, 3, 6, 12, 2026), 78), "    9: 5: 3. 7    6-Dec-2026");
  EXPECT_EQ(DateTimeLine(Time(23, 59, 59, 31, 1, 2027), 999), "   23:59:59.99   31-Jan-2027");
  EXPECT_EQ(DateTimeLine(Time(0, 0, 0, 1, 7, 999), 0), "    0: 0: 0. 0    1-Jul- 999");
}

TEST(HeaderLines, EchoTheDefaults) {
  EXPECT_EQ(HeaderLines(Settings{}),
            "NumHoles: 6\r\nNumBones: 6\r\nNumRounds: 1\r\nMaxTurns: 300\r\n"
            "LogLevels: 3, 3, 3\r\nParams: 0, 0\r\nOutFile; <PsLog.txt>\r\n");
}

TEST(RoundLine, ShowsScoresTallyTurnsAndTimes) {
  RoundReport r{0, 40, 32, 1, 0, 0, 57, 0.0123L, 0.0456L};
  EXPECT_EQ(RoundLine(r),
            "ROUND    0   Player 1 : 40   Player 2 : 32   (   1:   0)    0   Turns:   57 "
            "Elapsed Time: 0.0123 / 0.0456");
  r = {12, 100, 7, 10, 2, 1, 1234, 12.5L, 0.00005L};
  EXPECT_EQ(RoundLine(r),
            "ROUND   12   Player 1 : 100   Player 2 :  7   (  10:   2)    1   Turns: 1234 "
            "Elapsed Time: 12.5000 / 0.0001");
}

TEST(ElapsedLine, ThreeDecimalsInFiveColumns) {
  EXPECT_EQ(ElapsedLine(0.0004L), "Elapsed Time: 0.000 s");
  EXPECT_EQ(ElapsedLine(123.4567L), "Elapsed Time: 123.457 s");
}

TEST(Progress, BackspacesThenTurnAndTime) {
  std::string piece;
  AppendProgressBefore(piece, 12, 2);
  EXPECT_EQ(piece, std::string(37, '\b') + "Turn:   12 Player 2");
  piece.clear();
  AppendProgressAfter(piece, 0.0004L);
  EXPECT_EQ(piece, " Time: 0.0004 s");
  piece.clear();
  AppendProgressAfter(piece, 12.25L);
  EXPECT_EQ(piece, " Time: 12.2500 s");
}

PsBoard SixBySix() {
  PsBoard b;
  ResetBoard(b, 6, 6);
  return b;
}

TEST(BoardPicture, InitialBoardAndAfterTheOpeningMove) {
  PsBoard b = SixBySix();
  EXPECT_EQ(BoardPicture(b, 0, 0),
            "0 ------------------ 0 -----------------\r\n"
            "0 Player 2:  0    6  6  6  6  6  6\r\n"
            "0 Player 1:       6  6  6  6  6  6    0\r\n"
            "0 --------------------------------------\r\n");
  PsSow(Holes(b, 1), Holes(b, 2), &Store(b, 1), 6, 1);
  EXPECT_EQ(BoardPicture(b, 1, 1),
            "1 ------------------ 1 -----------------\r\n"
            "1 Player 2:  0    6  6  6  6  6  6\r\n"
            "1 Player 1:       0  7  7  7  7  7    1\r\n"
            "1 --------------------------------------\r\n");
}

TEST(BoardPicture, PlayerTwosRowIsReversedAndWideNumbersPush) {
  PsBoard b;
  ResetBoard(b, 3, 0);
  Holes(b, 2)[0] = 1;
  Holes(b, 2)[1] = 2;
  Holes(b, 2)[2] = 1234;
  Holes(b, 1)[0] = 100;
  Store(b, 2) = 100;
  Store(b, 1) = 7;
  EXPECT_EQ(BoardPicture(b, 2, 3),
            "2 ------------------ 3 -----------------\r\n"
            "2 Player 2: 100  1234  2  1\r\n"
            "2 Player 1:     100  0  0    7\r\n"
            "2 --------------------------------------\r\n");
}

TEST(BoardPicture, OneHoleRows) {
  PsBoard b;
  ResetBoard(b, 1, 4);
  EXPECT_EQ(BoardPicture(b, 0, 0),
            "0 ------------------ 0 -----------------\r\n"
            "0 Player 2:  0    4\r\n"
            "0 Player 1:       4    0\r\n"
            "0 --------------------------------------\r\n");
}

TEST(PlayerLines, TextsStopAtTheFieldsCapacity) {
  PsInfo info{};
  std::memset(info.name, 'N', sizeof info.name);
  std::memset(info.creator, 'C', sizeof info.creator);
  std::memset(info.description, 'D', sizeof info.description);
  const std::string lines = PlayerLines(2, info);
  EXPECT_NE(lines.find("Player 2 version      0\r\n"), std::string::npos);
  EXPECT_NE(lines.find("<" + std::string(32, 'N') + ">"), std::string::npos);
  EXPECT_NE(lines.find("<" + std::string(32, 'C') + ">"), std::string::npos);
  EXPECT_NE(lines.find("<" + std::string(256, 'D') + ">"), std::string::npos);
}

}  // namespace
