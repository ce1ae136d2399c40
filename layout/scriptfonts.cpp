#include "layout/scriptfonts.h"

#include <QAtomicInt>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QMutex>
#include <QRawFont>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QThread>

#include <utility>

namespace ScriptFonts {

namespace {

// Marks the additional formats made here.
constexpr auto Mark = QTextFormat::Property(QTextFormat::UserProperty + 0x5346);
// Fonts looked at in advance for one text; any others are looked at when needed.
constexpr int MaximumFonts = 64;

QFontDatabase::WritingSystem writingSystem(QChar::Script script)
{
    switch (script) {
    case QChar::Script_Syriac: return QFontDatabase::Syriac;
    case QChar::Script_Thaana: return QFontDatabase::Thaana;
    case QChar::Script_Devanagari: return QFontDatabase::Devanagari;
    case QChar::Script_Bengali: return QFontDatabase::Bengali;
    case QChar::Script_Gurmukhi: return QFontDatabase::Gurmukhi;
    case QChar::Script_Gujarati: return QFontDatabase::Gujarati;
    case QChar::Script_Oriya: return QFontDatabase::Oriya;
    case QChar::Script_Tamil: return QFontDatabase::Tamil;
    case QChar::Script_Telugu: return QFontDatabase::Telugu;
    case QChar::Script_Kannada: return QFontDatabase::Kannada;
    case QChar::Script_Malayalam: return QFontDatabase::Malayalam;
    case QChar::Script_Sinhala: return QFontDatabase::Sinhala;
    case QChar::Script_Khmer: return QFontDatabase::Khmer;
    case QChar::Script_Nko: return QFontDatabase::Nko;
    default: return QFontDatabase::Any;
    }
}

// Whether a UTF-16 unit may belong to such a script: the blocks from Syriac to
// Sinhala, Khmer, Devanagari Extended, and anything beyond the basic plane.
bool mayNeedTables(char16_t c)
{
    return (c >= 0x0700 && c <= 0x0DFF) || (c >= 0x1780 && c <= 0x17FF) || (c >= 0x19E0 && c <= 0x19FF) ||
           (c >= 0xA8E0 && c <= 0xA8FF) || QChar::isHighSurrogate(c);
}

bool mayNeedTables(const QString &text)
{
    const auto *p = reinterpret_cast<const char16_t *>(text.utf16());
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        if (mayNeedTables(p[i]))
            return true;
    }
    return false;
}

// The font as an object of its own: it shares nothing with the font it describes, so
// another thread may use it. Fonts are not merged: Qt then takes a family for a
// script from what the font database says each supports, without loading them.
QFont describe(const QFont &font)
{
    QFont f;
    f.setFamilies(font.families().isEmpty() ? QStringList{font.family()} : font.families());
    f.setStyle(font.style());
    f.setWeight(font.weight());
    f.setStretch(font.stretch());
    f.setStyleHint(font.styleHint(), QFont::StyleStrategy(font.styleStrategy() | QFont::NoFontMerging));
    if (font.pixelSize() > 0)
        f.setPixelSize(font.pixelSize());
    else
        f.setPointSizeF(font.pointSizeF());
    return f;
}

// What the choice of a family depends on; not the size.
QString key(const QFont &font, QChar::Script script)
{
    return QStringLiteral("%1|%2|%3|%4|%5|%6")
        .arg(font.families().join(QLatin1Char(',')))
        .arg(int(font.style()))
        .arg(int(font.weight()))
        .arg(font.stretch())
        .arg(int(font.styleHint()))
        .arg(int(script));
}

// The choices made so far, for every thread.
struct Choices
{
    QMutex mutex;
    QHash<QString, Choice> byKey;
    bool watching = false;
};

Choices &choices()
{
    static Choices c;
    return c;
}

bool known(const QString &key, Choice *choice)
{
    Choices &c = choices();
    const QMutexLocker lock(&c.mutex);
    const auto it = c.byKey.constFind(key);
    if (it == c.byKey.constEnd())
        return false;
    if (choice)
        *choice = *it;
    return true;
}

void remember(const QString &key, const Choice &choice)
{
    Choices &c = choices();
    const QMutexLocker lock(&c.mutex);
    c.byKey.insert(key, choice);
}

// Fonts added to or removed from the program make every choice again.
void watchFontDatabase()
{
    Choices &c = choices();
    {
        const QMutexLocker lock(&c.mutex);
        if (c.watching || !qGuiApp || QThread::currentThread() != qGuiApp->thread())
            return;
        c.watching = true;
    }
    QObject::connect(qGuiApp, &QGuiApplication::fontDatabaseChanged, qGuiApp, [] {
        Choices &all = choices();
        const QMutexLocker lock(&all.mutex);
        all.byKey.clear();
    });
}

// Qt's own choice without merging fonts: the font when it has the script, else the
// first family that has it in the order Qt falls back in, else boxes.
Choice find(const QFont &described, QChar::Script script)
{
    // Without merging, the font Qt finds for one script stands for every script of
    // that font on the thread: a size of its own for each script keeps them apart.
    // The size plays no part in the family found.
    QFont probe(described);
    probe.setPixelSize(1000 + int(script));
    Choice choice;
    const QRawFont raw = QRawFont::fromFont(probe, writingSystem(script));
    if (!raw.isValid() || raw.fontTable("cmap").isEmpty()) {
        choice.kind = Choice::None; // boxes have no tables (nor a family name)
        return choice;
    }
    const QString family = raw.familyName();
    if (family.compare(described.families().value(0), Qt::CaseInsensitive) != 0) {
        choice.kind = Choice::Family;
        choice.family = family;
    }
    return choice;
}

} // namespace

bool needsTables(QChar::Script script)
{
    return (script >= QChar::Script_Syriac && script <= QChar::Script_Sinhala) || script == QChar::Script_Khmer ||
           script == QChar::Script_Nko;
}

std::vector<Run> scriptRuns(const QString &text)
{
    std::vector<Run> runs;
    const qsizetype n = text.size();
    qsizetype start = 0;
    QChar::Script script = QChar::Script_Common;
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype at = i;
        char32_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && text.at(i + 1).isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text.at(++i).unicode());
        const QChar::Script s = QChar::script(c);
        if (s == script || s <= QChar::Script_Common)
            continue;
        if (script <= QChar::Script_Common) {
            // What came before takes the first script met.
            script = s;
            continue;
        }
        // A combining mark stays with its base, whatever its script.
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
            category == QChar::Mark_Enclosing)
            continue;
        runs.push_back({int(start), int(at), script});
        start = at;
        script = s;
    }
    runs.push_back({int(start), int(n), script});
    return runs;
}

Choice choose(const QFont &font, QChar::Script script)
{
    const QFont described = describe(font);
    const QString k = key(described, script);
    Choice choice;
    if (known(k, &choice))
        return choice;
    watchFontDatabase();
    choice = find(described, script);
    remember(k, choice);
    return choice;
}

bool prepare(const QTextBlock &block, const QString &text)
{
    QTextLayout *layout = block.layout();
    const QList<QTextLayout::FormatRange> current = layout->formats();
    const bool scripts = mayNeedTables(text);
    if (current.isEmpty() && !scripts)
        return false;
    QList<QTextLayout::FormatRange> wanted;
    for (const QTextLayout::FormatRange &r : current) {
        if (!r.format.hasProperty(Mark))
            wanted.append(r);
    }
    const int base = block.position();
    for (const Run &run : scripts ? scriptRuns(text) : std::vector<Run>()) {
        if (!needsTables(run.script))
            continue;
        // Each piece of the run in one character format.
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = qMax(run.start, fragment.position() - base);
            const int to = qMin(run.end, fragment.position() - base + fragment.length());
            if (from >= to)
                continue;
            const QFont font = fragment.charFormat().font();
            const Choice choice = choose(font, run.script);
            if (choice.kind == Choice::Own)
                continue;
            QTextCharFormat format;
            format.setProperty(Mark, true);
            if (choice.kind == Choice::Family)
                format.setFontFamilies(QStringList{choice.family});
            else
                format.setFontStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::NoFontMerging));
            wanted.append({from, to - from, format});
        }
    }
    if (wanted == current)
        return false;
    layout->setFormats(wanted);
    return true;
}

struct Prefetch::State
{
    QString text;
    std::vector<QFont> fonts;
    QAtomicInt stop;
    QAtomicInt done;
    std::unique_ptr<QThread> thread;

    void run()
    {
        // The scripts met: a run takes its script from its characters of that script.
        QSet<int> scripts;
        for (qsizetype i = 0, n = text.size(); i < n; ++i) {
            char32_t c = text.at(i).unicode();
            if (!mayNeedTables(char16_t(c)))
                continue;
            if (QChar::isHighSurrogate(c) && i + 1 < n && text.at(i + 1).isLowSurrogate())
                c = QChar::surrogateToUcs4(char16_t(c), text.at(++i).unicode());
            if (needsTables(QChar::script(c)))
                scripts.insert(int(QChar::script(c)));
        }
        for (const int script : std::as_const(scripts)) {
            for (const QFont &font : fonts) {
                if (stop.loadRelaxed())
                    break;
                const QString k = key(font, QChar::Script(script));
                if (!known(k, nullptr))
                    remember(k, find(font, QChar::Script(script)));
            }
        }
        // The fonts go with the thread that used them.
        fonts.clear();
        done.storeRelease(1);
    }
};

Prefetch::Prefetch(QString text, std::vector<QFont> fonts)
    : d(std::make_unique<State>())
{
    d->text = std::move(text);
    d->fonts = std::move(fonts);
    d->thread.reset(QThread::create([state = d.get()] { state->run(); }));
    d->thread->start();
}

Prefetch::~Prefetch()
{
    d->stop.storeRelaxed(1);
    wait();
}

bool Prefetch::isDone() const
{
    return d->done.loadAcquire();
}

void Prefetch::wait()
{
    d->thread->wait();
}

std::unique_ptr<Prefetch> prefetch(const QTextDocument *document, int from, int length)
{
    QString text;
    if (from == 0 && length >= document->characterCount() - 1) {
        text = document->toRawText();
    } else {
        const QTextBlock last = document->findBlock(from + length);
        for (QTextBlock b = document->findBlock(from); b.isValid(); b = b.next()) {
            text += b.text();
            text += QChar::ParagraphSeparator;
            if (b == last)
                break;
        }
    }
    if (!mayNeedTables(text))
        return nullptr;
    watchFontDatabase();
    std::vector<QFont> fonts;
    QSet<QString> seen;
    const QList<QTextFormat> formats = document->allFormats();
    for (const QTextFormat &format : formats) {
        if (!format.isCharFormat() || int(fonts.size()) >= MaximumFonts)
            continue;
        QFont f = describe(format.toCharFormat().font());
        const QString k = key(f, QChar::Script_Common);
        if (!seen.contains(k)) {
            seen.insert(k);
            fonts.push_back(std::move(f));
        }
    }
    return std::make_unique<Prefetch>(std::move(text), std::move(fonts));
}

} // namespace ScriptFonts
