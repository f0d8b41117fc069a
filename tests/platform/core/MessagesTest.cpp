#include "platform/core/Messages.h"

#include <gtest/gtest.h>

namespace somnex {
namespace {

TEST(MessageCaption, OperationNamesReadAsRussianCaptions)
{
    struct Case {
        const char *title;
        QString shown;
    };
    const Case cases[] = {
        {"LoadBooks", "Загрузка сонников"},
        {"ShowTolk", "Толкование сна"},
        {"RichTextBox1_MouseUp", "Толкование сна"},
        {"Calculate", "Лунный календарь"},
        {"", defaultMessageTitle()},
        {"SomeOtherHandler_Click", defaultMessageTitle()}, // never an identifier in the title bar
        {"Результат поиска", "Результат поиска"},
        {"Поиск: LoadBooks", "Поиск: LoadBooks"}, // a sentence stays as it is
    };
    for (const Case &c : cases)
        EXPECT_EQ(messageCaption(QString::fromUtf8(c.title)), c.shown) << c.title;
}

} // namespace
} // namespace somnex
