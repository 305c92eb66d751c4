#include <QTest>

#include <cstdint>
#include <vector>

#include "rc4.h"

using vorlane::Rc4Crypt;

namespace {

std::vector<std::uint8_t> Bytes(const QByteArray& text) {
  return {text.begin(), text.end()};
}

}  // namespace

class Rc4Test : public QObject {
  Q_OBJECT

 private slots:
  void publishedVectors_data();
  void publishedVectors();
  void sameKeyTwiceRestoresData();
  void everyCallStartsAFreshSchedule();
  void emptyKeyLeavesDataUntouched();
};

void Rc4Test::publishedVectors_data() {
  QTest::addColumn<QByteArray>("key");
  QTest::addColumn<QByteArray>("plaintext");
  QTest::addColumn<QByteArray>("ciphertext");

  QTest::newRow("Key") << QByteArray("Key") << QByteArray("Plaintext")
                       << QByteArray::fromHex("BBF316E8D940AF0AD3");
  QTest::newRow("Wiki") << QByteArray("Wiki") << QByteArray("pedia")
                        << QByteArray::fromHex("1021BF0420");
  QTest::newRow("Secret") << QByteArray("Secret") << QByteArray("Attack at dawn")
                          << QByteArray::fromHex("45A01F645FC35B383552544B9BF5");
}

void Rc4Test::publishedVectors() {
  QFETCH(QByteArray, key);
  QFETCH(QByteArray, plaintext);
  QFETCH(QByteArray, ciphertext);

  std::vector<std::uint8_t> data = Bytes(plaintext);
  Rc4Crypt(Bytes(key), data);
  QCOMPARE(data, Bytes(ciphertext));
}

void Rc4Test::sameKeyTwiceRestoresData() {
  const std::vector<std::uint8_t> key{0xA5, 0x1A, 0x13, 0x00};
  std::vector<std::uint8_t> data(300);
  for (std::size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<std::uint8_t>(i * 7);
  }
  const auto original = data;

  Rc4Crypt(key, data);
  QVERIFY(data != original);
  Rc4Crypt(key, data);
  QCOMPARE(data, original);
}

void Rc4Test::everyCallStartsAFreshSchedule() {
  // Two calls of 5 bytes must each give the first 5 keystream bytes, not bytes 0..9.
  const std::vector<std::uint8_t> key = Bytes("Wiki");
  std::vector<std::uint8_t> first = Bytes("pedia");
  std::vector<std::uint8_t> second = Bytes("pedia");
  Rc4Crypt(key, first);
  Rc4Crypt(key, second);
  QCOMPARE(first, Bytes(QByteArray::fromHex("1021BF0420")));
  QCOMPARE(second, first);
}

void Rc4Test::emptyKeyLeavesDataUntouched() {
  std::vector<std::uint8_t> data{1, 2, 3};
  Rc4Crypt({}, data);
  QCOMPARE(data, (std::vector<std::uint8_t>{1, 2, 3}));
}

QTEST_APPLESS_MAIN(Rc4Test)
#include "tst_rc4.moc"
