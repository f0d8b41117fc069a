#include "platform/rtf/RtfWriter.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace somnex;

TEST(RtfWriter, EscapesAndStructure)
{
    std::vector<RtfRun> runs;
    runs.push_back({"Вода {x}\\ \n", "Arial", 12, QColor(0, 0, 128), true, false, true, false});
    runs.push_back({"<", "Arial", 1, Qt::white, false, false, false, true});
    runs.push_back({"☞", "DejaVu Sans", 22, QColor(0, 128, 128)});
    const QByteArray rtf = WriteRtf(runs);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1251"));
    EXPECT_TRUE(rtf.endsWith("}\n"));
    EXPECT_TRUE(rtf.contains("\\'c2\\'ee\\'e4\\'e0")) << "Вода in code page 1251";
    EXPECT_TRUE(rtf.contains("\\{x\\}\\\\")) << rtf.toStdString();
    EXPECT_TRUE(rtf.contains("\\par"));
    EXPECT_TRUE(rtf.contains("\\u9758?")) << "a character outside the code page";
    EXPECT_TRUE(rtf.contains("\\red0\\green0\\blue128;"));
    EXPECT_TRUE(rtf.contains("\\fs24\\cf1\\b\\ul "));
    EXPECT_TRUE(rtf.contains("\\v <}")) << "hidden text";
    int depth = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            ++i; // an escaped character
            continue;
        }
        depth += rtf[i] == '{';
        depth -= rtf[i] == '}';
        ASSERT_GE(depth, i + 1 < rtf.size() - 1 ? 1 : 0) << "groups balance";
    }
    EXPECT_EQ(depth, 0);
}
