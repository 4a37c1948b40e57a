#pragma once

// Golden files: a whole output against the reviewed copy beside the tests.
// With MORVANE_REGENERATE_GOLDEN=1 the copy is written anew instead, for
// review in the diff.

#include "test_files.h"

#include <QString>

#include <gtest/gtest.h>

inline void expectGolden(const QString& path, const QString& actual) {
    if (qEnvironmentVariableIsSet("MORVANE_REGENERATE_GOLDEN")) {
        ASSERT_TRUE(writeFile(path, actual.toUtf8())) << path.toStdString();
        return;
    }
    const QByteArray expected = readFile(path);
    ASSERT_FALSE(expected.isEmpty()) << "no golden file " << path.toStdString();
    EXPECT_EQ(actual, QString::fromUtf8(expected)) << path.toStdString();
}
