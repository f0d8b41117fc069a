#pragma once
// A main window on books of the test's own: a fresh profile (TempProfile), a
// data folder with its Books folder (TestShare), the program's shared state
// reset, the end of the process counted instead of taken, and every message
// box recorded (and answered: Ok, or yesNoAnswer for a question).
//
//   class MyTest : public MainWindowFixture {};
//   TEST_F(MyTest, Something) { putBook("a.book", content); Form1 &f = load(); ... }
//
// A test that needs the notification area calls TraySide::setAvailableOverride
// in its SetUp; TearDown puts it back to asking the desktop.

#include "appstate/AppState.h"
#include "dictionary/BookSource.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "shell/DictionaryPanel.h"
#include "shell/Form1.h"
#include "shell/LiteraturePanel.h"
#include "shell/TraySide.h"
#include "support/TempProfile.h"
#include "support/TestShare.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        somnex::app() = somnex::AppState{};
        somnex::SetProcessEnd([this] { ++ended; });
        somnex::SetMessageHandler([this](const somnex::Message &m) {
            messages << m.text;
            boxes.push_back(m);
            return m.buttons == somnex::MsgButtons::YesNo ? yesNoAnswer : somnex::MsgResult::Ok;
        });
    }
    void TearDown() override
    {
        form.reset();
        somnex::SetProcessEnd({});
        somnex::SetMessageHandler({});
        somnex::TraySide::setAvailableOverride(-1);
    }

    // A new main window through its load sequence.
    somnex::Form1 &load()
    {
        form = std::make_unique<somnex::Form1>();
        form->Form_Load();
        return *form;
    }

    // Writes a book with the book writer into folder (the shared Books
    // folder when empty); returns its full path.
    QString putBook(const QString &file, const somnex::dictionary::BookContent &book, QString folder = {})
    {
        if (folder.isEmpty())
            folder = share.books();
        QDir().mkpath(folder);
        QString path = folder + QLatin1Char('/') + file;
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(somnex::dictionary::buildBookImage(book));
        else
            ADD_FAILURE() << "cannot write " << path.toStdString();
        return path;
    }

    TempProfile profile;
    TestShare share;
    std::unique_ptr<somnex::Form1> form;
    int ended = 0;                      // times the program asked to end
    QStringList messages;               // the text of every message box
    std::vector<somnex::Message> boxes; // every message box as shown
    somnex::MsgResult yesNoAnswer = somnex::MsgResult::Yes;
};
