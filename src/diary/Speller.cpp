#include "diary/Speller.h"

#include "platform/core/AtomicFile.h"
#include "platform/core/ProgramFolders.h"
#include "platform/error/Error.h"

#include <hunspell.hxx>

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace somnex::diary {

namespace {

constexpr qint64 kLongestPersonalList = qint64(4) * 1024 * 1024;

bool checkable(const QString &word)
{
    if (word.size() < 2)
        return false;
    for (const QChar c : word)
        if (c.isDigit() || (c.isLetter() && c.script() != QChar::Script_Cyrillic))
            return false;
    return true;
}

} // namespace

Speller::~Speller() = default;

QString Speller::dictionaryFolder()
{
    return SpellingDictionaryFolder();
}

QString Speller::missingNote()
{
    return QStringLiteral("Словарь русского языка не установлен (hunspell-ru)");
}

QString Speller::folded(const QString &word)
{
    QString f = word.toLower();
    f.replace(QChar(0x0451), QChar(0x0435));
    return f;
}

std::unique_ptr<Speller> Speller::load(const QString &personalPath)
{
    const QString aff = dictionaryFolder() + QStringLiteral("/ru_RU.aff");
    const QString dic = dictionaryFolder() + QStringLiteral("/ru_RU.dic");
    if (!SpellingDictionaryInstalled())
        return nullptr;
    std::unique_ptr<Speller> s(new Speller);
    s->hunspell_ = std::make_unique<Hunspell>(QFile::encodeName(aff).constData(), QFile::encodeName(dic).constData());
    if (QString::fromStdString(s->hunspell_->get_dict_encoding()).compare(QLatin1String("UTF-8"), Qt::CaseInsensitive)
        != 0)
        return nullptr; // the Russian dictionaries Debian ships are UTF-8
    s->personalPath_ = personalPath;
    QFile f(personalPath);
    if (f.exists()) {
        if (f.size() > kLongestPersonalList || !f.open(QIODevice::ReadOnly)) {
            s->personalProblem_ = QStringLiteral("Личный словарь «%1» не прочитан.").arg(personalPath);
        } else {
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString text = utf8(f.readAll());
            if (utf8.hasError())
                s->personalProblem_ = QStringLiteral("Личный словарь «%1» повреждён: он не в UTF-8.").arg(personalPath);
            else
                for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                    if (!line.trimmed().isEmpty())
                        s->personal_.insert(folded(line.trimmed()));
        }
    }
    return s;
}

bool Speller::inDictionary(const QString &word) const
{
    if (hunspell_->spell(word.toStdString()))
        return true;
    // е for ё: "елка" is "ёлка" written as most people write it, and the
    // other way round.
    if (word.contains(QChar(0x0451)) || word.contains(QChar(0x0401))) {
        QString e = word;
        e.replace(QChar(0x0451), QChar(0x0435)).replace(QChar(0x0401), QChar(0x0415));
        return hunspell_->spell(e.toStdString());
    }
    // A word written with е where the dictionary has ё: each е tried as ё.
    for (qsizetype i = word.indexOf(QChar(0x0435)); i >= 0; i = word.indexOf(QChar(0x0435), i + 1)) {
        QString yo = word;
        yo[i] = QChar(0x0451);
        if (hunspell_->spell(yo.toStdString()))
            return true;
    }
    return false;
}

bool Speller::correct(const QString &word) const
{
    if (!checkable(word))
        return true;
    const QString key = folded(word);
    if (known_.contains(key) || personal_.contains(key) || ignored_.contains(key))
        return true;
    return inDictionary(word);
}

QStringList Speller::suggestions(const QString &word, int max) const
{
    QStringList out;
    for (const std::string &s : hunspell_->suggest(word.toStdString())) {
        if (out.size() >= max)
            break;
        out << QString::fromStdString(s);
    }
    return out;
}

void Speller::addKnown(const QStringList &words)
{
    for (const QString &w : words)
        for (const QString &part : w.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            known_.insert(folded(part));
}

void Speller::ignore(const QString &word)
{
    ignored_.insert(folded(word));
}

bool Speller::addToPersonal(const QString &word, QString *why)
{
    const QString key = folded(word.trimmed());
    if (key.isEmpty())
        return true;
    personal_.insert(key);
    QStringList all(personal_.begin(), personal_.end());
    all.sort();
    try {
        AtomicWriteOptions privately;
        privately.mode = 0600;
        writeFileAtomically(personalPath_, (all.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8(), privately);
    } catch (const Error &e) {
        if (why)
            *why = e.description();
        return false;
    }
    return true;
}

} // namespace somnex::diary
