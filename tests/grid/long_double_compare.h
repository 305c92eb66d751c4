// Lets QCOMPARE and data-driven tests work with long double values, printing all
// digits that matter when a comparison fails.
#pragma once

#include <QMetaType>
#include <QTest>

#include <cstdio>

Q_DECLARE_METATYPE(long double)

namespace QTest {
template <>
inline char* toString(const long double& value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.21Lg", value);
  return qstrdup(text);
}
}  // namespace QTest
