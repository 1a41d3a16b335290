// Helpers shared by the tests: a fresh temporary folder with the core's globals reset.
#pragma once
#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <ostream>

// Lets gtest print texts in messages and failed comparisons.
inline std::ostream& operator<<(std::ostream& os, const QString& s) { return os << s.toStdString(); }
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// Resets every core global and gives each test an empty folder (ending in "/").
class CoreTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    QString dir() const { return tmp_.path() + QStringLiteral("/"); }

private:
    QTemporaryDir tmp_;
};

QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);
// A fixture file of tests/data.
QString TestData(const QString& name);
