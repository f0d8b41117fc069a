#include "diary/ui/DiaryPrivacy.h"

#include "diary/Backup.h"
#include "diary/DiaryStore.h"
#include "diary/ui/DiaryUnlock.h"
#include "platform/core/Messages.h"
#include "platform/error/Error.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace somnex::diary {

namespace {

const QString kTitle = QStringLiteral("Личный дневник");
const QString kKeep = QStringLiteral("Сохраните его: без пароля и этого ключа дневник не открыть");

// What stays readable in a private diary's file.
const QString kInClear =
    QStringLiteral("Шифруется всё, что вы написали: названия, тексты, метки, люди, места, символы и заметки. "
                   "Открытыми остаются моменты снов, ночи, лунные дни, отметки «сбылся», виды снов, "
                   "ясность и настроение.");

void printKey(const QString &key, QWidget *owner)
{
    QPrinter printer;
    QPrintDialog ask(&printer, owner);
    if (ask.exec() != QDialog::Accepted)
        return;
    QPainter p(&printer);
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    QFont f = p.font();
    f.setPointSize(14);
    p.setFont(f);
    p.drawText(page.adjusted(0, 0, 0, -page.height() / 2), Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("Дневник снов · ключ восстановления\n\n") + kKeep + QLatin1Char('.'));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(16);
    p.setFont(mono);
    p.drawText(page.adjusted(0, page.height() / 4, 0, 0), Qt::AlignTop | Qt::TextWordWrap, key);
}

} // namespace

void showRecoveryKey(const QString &key, QWidget *owner)
{
    QDialog d(owner);
    d.setObjectName(QStringLiteral("RecoveryKey"));
    d.setWindowTitle(QStringLiteral("Ключ восстановления"));
    auto *v = new QVBoxLayout(&d);
    auto *head = new QLabel(QStringLiteral("<b>Ключ восстановления</b>"));
    auto *shown = new QLabel(key);
    shown->setObjectName(QStringLiteral("recoveryKey"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(mono.pointSizeF() * 1.4);
    shown->setFont(mono);
    shown->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    shown->setWordWrap(true);
    auto *say = new QLabel(kKeep + QStringLiteral(". Он показывается один раз."));
    say->setWordWrap(true);
    auto *buttons = new QDialogButtonBox;
    QPushButton *copy = buttons->addButton(QStringLiteral("&Копировать"), QDialogButtonBox::ActionRole);
    QPushButton *print = buttons->addButton(QStringLiteral("&Печать…"), QDialogButtonBox::ActionRole);
    QPushButton *done = buttons->addButton(QStringLiteral("&Готово"), QDialogButtonBox::AcceptRole);
    QObject::connect(copy, &QPushButton::clicked, &d, [key] {
        auto *data = new QMimeData;
        data->setText(key);
        // a clipboard manager keeps no history of it
        data->setData(QStringLiteral("x-kde-passwordManagerHint"), "secret");
        QApplication::clipboard()->setMimeData(data);
    });
    QObject::connect(print, &QPushButton::clicked, &d, [key, &d] { printKey(key, &d); });
    QObject::connect(done, &QPushButton::clicked, &d, &QDialog::accept);
    v->addWidget(head);
    v->addWidget(shown);
    v->addWidget(say);
    v->addWidget(buttons);
    d.resize(560, d.sizeHint().height());
    d.exec();
}

namespace {

// The copies made before the diary was private still hold the dreams.
void offerToDeletePlainCopies(const QString &storePath)
{
    const QStringList copies = plainCopies(storePath);
    if (copies.isEmpty())
        return;
    QStringList names;
    for (const QString &c : copies)
        names << QStringLiteral("  ") + QDir::toNativeSeparators(c);
    if (ShowMessage(QStringLiteral("Копии дневника, сделанные до пароля, хранят сны открытым текстом (%1):\n%2\n"
                                   "Удалить их? На SSD и в файловых системах с копированием при записи прежние "
                                   "данные могут остаться на диске и после удаления.")
                        .arg(copies.size())
                        .arg(names.join(QLatin1Char('\n'))),
                    kTitle, MsgIcon::Question, MsgButtons::YesNo)
        != MsgResult::Yes)
        return;
    QStringList kept;
    for (const QString &c : copies)
        if (!QFile::remove(c))
            kept << c;
    if (!kept.isEmpty())
        ShowMessage(QStringLiteral("Не удалось удалить: ") + kept.join(QStringLiteral(", ")), kTitle, MsgIcon::Warning);
}

void protectDiary(DiaryStore &store, QWidget *owner)
{
    const std::optional<QString> password = askNewPassword(owner);
    if (!password)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString key;
    try {
        key = store.protect(*password);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    showRecoveryKey(key, owner);
    offerToDeletePlainCopies(store.path());
}

void changeDiaryPassword(DiaryStore &store, QWidget *owner)
{
    const std::optional<QString> current = confirmSecret(store, owner);
    if (!current)
        return;
    if (const std::optional<QString> next = askNewPassword(owner)) {
        store.changePassword(*current, *next);
        ShowMessage(QStringLiteral("Пароль дневника изменён."), kTitle, MsgIcon::Information);
    }
}

void unprotectDiary(DiaryStore &store, QWidget *owner)
{
    if (ShowMessage(QStringLiteral("Снять пароль? Дневник снова будет храниться открытым текстом."), kTitle,
                    MsgIcon::Question, MsgButtons::YesNo)
        != MsgResult::Yes)
        return;
    if (const std::optional<QString> current = confirmSecret(store, owner))
        store.unprotect(*current);
}

} // namespace

void editDiaryPrivacy(DiaryStore &store, QWidget *owner)
{
    QDialog d(owner);
    d.setObjectName(QStringLiteral("DiaryPrivacy"));
    d.setWindowTitle(kTitle);
    auto *v = new QVBoxLayout(&d);
    auto *state = new QLabel;
    state->setObjectName(QStringLiteral("privacyState"));
    state->setWordWrap(true);
    auto *clear = new QLabel(kInClear);
    clear->setWordWrap(true);
    auto *protect = new QPushButton(QStringLiteral("&Закрыть дневник паролем…"));
    protect->setObjectName(QStringLiteral("protect"));
    auto *change = new QPushButton(QStringLiteral("&Сменить пароль…"));
    change->setObjectName(QStringLiteral("changePassword"));
    auto *plain = new QPushButton(QStringLiteral("Сн&ять пароль…"));
    plain->setObjectName(QStringLiteral("unprotect"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    const auto show = [&] {
        const bool on = store.isPrivate();
        state->setText(on ? QStringLiteral("Дневник закрыт паролем.")
                          : QStringLiteral("Дневник хранится открытым текстом: его может прочитать любой, "
                                           "у кого есть доступ к вашей учётной записи или к диску."));
        protect->setVisible(!on);
        change->setVisible(on);
        plain->setVisible(on);
    };
    const auto guarded = [&](const std::function<void()> &f) {
        try {
            f();
        } catch (const Error &e) {
            ShowMessage(e.description(), kTitle, MsgIcon::Error);
        }
        show();
    };
    QObject::connect(protect, &QPushButton::clicked, &d, [&] { guarded([&] { protectDiary(store, &d); }); });
    QObject::connect(change, &QPushButton::clicked, &d, [&] { guarded([&] { changeDiaryPassword(store, &d); }); });
    QObject::connect(plain, &QPushButton::clicked, &d, [&] { guarded([&] { unprotectDiary(store, &d); }); });
    for (QWidget *w : std::initializer_list<QWidget *>{state, protect, change, plain, clear, buttons})
        v->addWidget(w);
    show();
    d.resize(520, d.sizeHint().height());
    d.exec();
}

} // namespace somnex::diary
