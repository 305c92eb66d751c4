#include "decimal_text.h"
#include "long_double_compare.h"

#include <QTest>

#include <cmath>
#include <limits>
#include <string>

using vorlane::FormatDecimal;
using vorlane::IsDecimalDraft;
using vorlane::ReadDecimal;

namespace {

const char* const kArabicSeparator = "\u066B";  // ARABIC DECIMAL SEPARATOR, two bytes

std::string Repeat(char c, std::size_t count) { return std::string(count, c); }

}  // namespace

class DecimalTextTest : public QObject {
  Q_OBJECT

 private slots:
  void formatsFixedWithRounding_data();
  void formatsFixedWithRounding();
  void formatsEveryDigitOfTheLargestValue();
  void tellsDrafts_data();
  void tellsDrafts();
  void readsNumbers_data();
  void readsNumbers();
  void readsNumbersBeyondLongDouble_data();
  void readsNumbersBeyondLongDouble();
};

void DecimalTextTest::formatsFixedWithRounding_data() {
  QTest::addColumn<long double>("value");
  QTest::addColumn<int>("places");
  QTest::addColumn<QByteArray>("separator");
  QTest::addColumn<QByteArray>("expected");

  QTest::newRow("zero, one decimal") << 0.0L << 1 << QByteArray(".") << QByteArray("0.0");
  QTest::newRow("zero, two decimals") << 0.0L << 2 << QByteArray(".") << QByteArray("0.00");
  QTest::newRow("whole number gets its decimals") << 25.0L << 1 << QByteArray(".") << QByteArray("25.0");
  QTest::newRow("no decimals, no point") << 8.0L << 0 << QByteArray(".") << QByteArray("8");
  QTest::newRow("0.7 just below 0.7 in binary") << 0.7L << 1 << QByteArray(".") << QByteArray("0.7");
  QTest::newRow("2.45 lies above 2.45 in binary") << 2.45L << 1 << QByteArray(".") << QByteArray("2.5");
  QTest::newRow("0.35 lies below 0.35 in binary") << 0.35L << 1 << QByteArray(".") << QByteArray("0.3");
  QTest::newRow("2.45 with two decimals") << 2.45L << 2 << QByteArray(".") << QByteArray("2.45");
  QTest::newRow("exact half goes to even, down") << 0.25L << 1 << QByteArray(".") << QByteArray("0.2");
  QTest::newRow("exact half goes to even, up") << 0.75L << 1 << QByteArray(".") << QByteArray("0.8");
  QTest::newRow("8.5 to even") << 8.5L << 0 << QByteArray(".") << QByteArray("8");
  QTest::newRow("9.5 to even") << 9.5L << 0 << QByteArray(".") << QByteArray("10");
  QTest::newRow("9.7 rounds up") << 9.7L << 0 << QByteArray(".") << QByteArray("10");
  // The double 0.1 keeps its binary error at long double precision; 0.1L has less.
  QTest::newRow("double 0.1 at 20 decimals")
      << static_cast<long double>(0.1) << 20 << QByteArray(".") << QByteArray("0.10000000000000000555");
  QTest::newRow("0.1L at 20 decimals")
      << 0.1L << 20 << QByteArray(".") << QByteArray("0.10000000000000000000");
  QTest::newRow("negative") << -3.5L << 2 << QByteArray(".") << QByteArray("-3.50");
  QTest::newRow("negative rounding to zero loses the sign")
      << -0.04L << 1 << QByteArray(".") << QByteArray("0.0");
  QTest::newRow("negative zero") << -0.0L << 1 << QByteArray(".") << QByteArray("0.0");
  QTest::newRow("negative, no decimals, rounds to zero") << -0.4L << 0 << QByteArray(".") << QByteArray("0");
  QTest::newRow("negative just short of zero stays") << -0.06L << 1 << QByteArray(".") << QByteArray("-0.1");
  QTest::newRow("decimal comma") << 0.7L << 1 << QByteArray(",") << QByteArray("0,7");
  QTest::newRow("two-byte separator") << 1234.5L << 1 << QByteArray(kArabicSeparator)
                                      << QByteArray("1234" "\u066B" "5");
  QTest::newRow("negative count as none") << 2.7L << -1 << QByteArray(".") << QByteArray("3");
  QTest::newRow("count beyond the most")
      << 1.0L << 1000 << QByteArray(".")
      << QByteArray(("1." + Repeat('0', vorlane::kMaxDecimalPlaces)).c_str());
}

void DecimalTextTest::formatsFixedWithRounding() {
  QFETCH(long double, value);
  QFETCH(int, places);
  QFETCH(QByteArray, separator);
  QFETCH(QByteArray, expected);
  QCOMPARE(QByteArray::fromStdString(FormatDecimal(value, places, separator.toStdString())), expected);
}

void DecimalTextTest::formatsEveryDigitOfTheLargestValue() {
  const std::string text = FormatDecimal(std::numeric_limits<long double>::max(), 1, ".");
  const int integer_digits = std::numeric_limits<long double>::max_exponent10 + 1;
  QCOMPARE(text.size(), static_cast<std::size_t>(integer_digits + 2));
  QVERIFY(text.starts_with("118973149535723176"));
  QVERIFY(text.ends_with(".0"));
}

void DecimalTextTest::tellsDrafts_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<QByteArray>("separator");
  QTest::addColumn<bool>("allowMinus");
  QTest::addColumn<bool>("expected");

  const QByteArray point(".");
  QTest::newRow("empty") << QByteArray("") << point << false << true;
  QTest::newRow("minus alone") << QByteArray("-") << point << true << true;
  QTest::newRow("minus alone, no minus allowed") << QByteArray("-") << point << false << false;
  QTest::newRow("negative number, no minus allowed") << QByteArray("-1") << point << false << false;
  QTest::newRow("plus alone, no minus allowed") << QByteArray("+") << point << false << true;
  QTest::newRow("plus number") << QByteArray("+12.5") << point << false << true;
  QTest::newRow("digits") << QByteArray("12") << point << false << true;
  QTest::newRow("trailing separator") << QByteArray("12.") << point << false << true;
  QTest::newRow("leading separator") << QByteArray(".5") << point << false << true;
  QTest::newRow("separator alone") << QByteArray(".") << point << false << true;
  QTest::newRow("two separators") << QByteArray("1.2.3") << point << true << false;
  QTest::newRow("separators in a row") << QByteArray("1..2") << point << true << false;
  QTest::newRow("comma under a point locale") << QByteArray("1,5") << point << true << false;
  QTest::newRow("comma under a comma locale") << QByteArray("1,5") << QByteArray(",") << true << true;
  QTest::newRow("point under a comma locale") << QByteArray("1.5") << QByteArray(",") << true << false;
  QTest::newRow("two-byte separator") << QByteArray("1" "\u066B" "5") << QByteArray(kArabicSeparator)
                                      << true << true;
  QTest::newRow("first byte of a two-byte separator")
      << QByteArray("1\xD9") << QByteArray(kArabicSeparator) << true << false;
  QTest::newRow("two signs") << QByteArray("--1") << point << true << false;
  QTest::newRow("plus then minus") << QByteArray("+-1") << point << true << false;
  QTest::newRow("sign after digits") << QByteArray("1-") << point << true << false;
  QTest::newRow("exponent") << QByteArray("1e5") << point << true << false;
  QTest::newRow("infinity") << QByteArray("inf") << point << true << false;
  QTest::newRow("not a number") << QByteArray("nan") << point << true << false;
  QTest::newRow("hexadecimal") << QByteArray("0x1A") << point << true << false;
  QTest::newRow("leading blank") << QByteArray(" 1") << point << true << false;
  QTest::newRow("trailing blank") << QByteArray("1 ") << point << true << false;
  QTest::newRow("non-ASCII digit") << QByteArray("\u0663") << point << true << false;
}

void DecimalTextTest::tellsDrafts() {
  QFETCH(QByteArray, text);
  QFETCH(QByteArray, separator);
  QFETCH(bool, allowMinus);
  QFETCH(bool, expected);
  QCOMPARE(IsDecimalDraft(text.toStdString(), separator.toStdString(), allowMinus), expected);
}

void DecimalTextTest::readsNumbers_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<QByteArray>("separator");
  QTest::addColumn<bool>("readable");
  QTest::addColumn<long double>("expected");

  const QByteArray point(".");
  QTest::newRow("empty is zero") << QByteArray("") << point << true << 0.0L;
  QTest::newRow("minus alone is zero") << QByteArray("-") << point << true << 0.0L;
  QTest::newRow("plus alone is zero") << QByteArray("+") << point << true << 0.0L;
  QTest::newRow("separator alone is zero") << QByteArray(".") << point << true << 0.0L;
  QTest::newRow("0.7 at full precision") << QByteArray("0.7") << point << true << 0.7L;
  QTest::newRow("0.1 is not the double 0.1") << QByteArray("0.1") << point << true << 0.1L;
  QTest::newRow("2.45") << QByteArray("2.45") << point << true << 2.45L;
  QTest::newRow("plus sign") << QByteArray("+5") << point << true << 5.0L;
  QTest::newRow("negative") << QByteArray("-3.25") << point << true << -3.25L;
  QTest::newRow("trailing separator") << QByteArray("12.") << point << true << 12.0L;
  QTest::newRow("leading separator") << QByteArray(".5") << point << true << 0.5L;
  QTest::newRow("negative leading separator") << QByteArray("-.5") << point << true << -0.5L;
  QTest::newRow("leading zeros") << QByteArray(("0000" + Repeat('0', 6000) + "25").c_str()) << point
                                 << true << 25.0L;
  QTest::newRow("decimal comma") << QByteArray("2,5") << QByteArray(",") << true << 2.5L;
  QTest::newRow("two-byte separator") << QByteArray("2" "\u066B" "5") << QByteArray(kArabicSeparator)
                                      << true << 2.5L;
  QTest::newRow("point under a comma locale") << QByteArray("2.5") << QByteArray(",") << false << 0.0L;
  QTest::newRow("letters") << QByteArray("abc") << point << false << 0.0L;
  QTest::newRow("exponent") << QByteArray("1e999") << point << false << 0.0L;
  QTest::newRow("nan") << QByteArray("nan") << point << false << 0.0L;
  QTest::newRow("inf") << QByteArray("inf") << point << false << 0.0L;
  QTest::newRow("two separators") << QByteArray("1.2.3") << point << false << 0.0L;
  QTest::newRow("sign in the middle") << QByteArray("1-2") << point << false << 0.0L;
}

void DecimalTextTest::readsNumbers() {
  QFETCH(QByteArray, text);
  QFETCH(QByteArray, separator);
  QFETCH(bool, readable);
  QFETCH(long double, expected);

  const std::optional<long double> number = ReadDecimal(text.toStdString(), separator.toStdString());
  QCOMPARE(number.has_value(), readable);
  if (readable) QCOMPARE(*number, expected);
}

void DecimalTextTest::readsNumbersBeyondLongDouble_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<long double>("expected");

  const long double infinity = std::numeric_limits<long double>::infinity();
  QTest::newRow("huge") << QByteArray(Repeat('9', 6000).c_str()) << infinity;
  QTest::newRow("huge with decimals") << QByteArray((Repeat('9', 6000) + ".5").c_str()) << infinity;
  QTest::newRow("huge negative") << QByteArray(("-" + Repeat('9', 6000)).c_str()) << -infinity;
  QTest::newRow("tiny") << QByteArray(("0." + Repeat('0', 6000) + "1").c_str()) << 0.0L;
  QTest::newRow("tiny without the zero") << QByteArray(("." + Repeat('0', 6000) + "1").c_str()) << 0.0L;
  QTest::newRow("tiny negative") << QByteArray(("-0." + Repeat('0', 6000) + "1").c_str()) << -0.0L;
}

void DecimalTextTest::readsNumbersBeyondLongDouble() {
  QFETCH(QByteArray, text);
  QFETCH(long double, expected);

  const std::optional<long double> number = ReadDecimal(text.toStdString(), ".");
  QVERIFY(number.has_value());
  QCOMPARE(*number, expected);
  QCOMPARE(std::signbit(*number), std::signbit(expected));
}

QTEST_APPLESS_MAIN(DecimalTextTest)
#include "tst_decimal_text.moc"
