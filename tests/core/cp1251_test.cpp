#include <gtest/gtest.h>

#include <QSet>

#include "core/Cp1251.h"

namespace calorix {
namespace {

TEST(Cp1251, EveryByteRoundTrips) {
  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(char(b));
  const QString text = cp1251::decode(all);
  ASSERT_EQ(text.size(), 256);
  EXPECT_EQ(cp1251::encode(text), all);
  // Each byte is a different character.
  QSet<QChar> distinct(text.begin(), text.end());
  EXPECT_EQ(distinct.size(), 256);
}

TEST(Cp1251, CyrillicAndPunctuationMapToTheirBytes) {
  EXPECT_EQ(cp1251::encode(QString::fromUtf8("Данные Pidа")),
            QByteArray("\xC4\xE0\xED\xED\xFB\xE5 Pid\xE0"));
  EXPECT_EQ(cp1251::encode(QString::fromUtf8("АЯаяЁё№—€")),
            QByteArray("\xC0\xDF\xE0\xFF\xA8\xB8\xB9\x97\x88"));
  EXPECT_EQ(cp1251::decode("\xCF\xF0\xEE\xF2\xEE\xEA\xEE\xEB\xFB"), QString::fromUtf8("Протоколы"));
  EXPECT_EQ(cp1251::decode("\x98"), QString(QChar(0x0098)));
}

TEST(Cp1251, CharactersWithoutAByteBecomeOneQuestionMarkEach) {
  EXPECT_EQ(cp1251::encode(QString::fromUtf8("a中b")), QByteArray("a?b"));
  EXPECT_EQ(cp1251::encode(QString::fromUtf8("x😀y")), QByteArray("x?y"));  // a surrogate pair
  EXPECT_EQ(cp1251::encode(QString::fromUtf8("äß")), QByteArray("??"));
}

}  // namespace
}  // namespace calorix
