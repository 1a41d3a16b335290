// Helpers shared by the tests.
#include "tests/testutil.h"

#include <QFile>

#include "payroll/period.h"

void CoreTest::SetUp()
{
    ASSERT_TRUE(tmp_.isValid());
    ResetGlobals();
}

void CoreTest::TearDown() { ResetGlobals(); }

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QString TestData(const QString& name) { return QStringLiteral(TEST_DATA_DIR "/") + name; }
