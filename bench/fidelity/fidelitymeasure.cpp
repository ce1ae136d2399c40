#include "fidelitymeasure.h"

#include "bench/fidelity/wordalign.h"
#include "layout/documentlayout.h"
#include "layout/paragraphlayout.h"
#include "platform/richtextbox.h"
#include "shell/skin.h"

#include <QAbstractTextDocumentLayout>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRawFont>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <cmath>
#include <map>

namespace Fidelity {

namespace {

constexpr double Near = 4;           // px, a word's start
constexpr double GapTolerance = 0.2; // of LibreOffice's gap
constexpr double WidthTolerance = 0.03;
constexpr int LayoutSeconds = 60;

// Calls report(from, to) for each word of text[from, to): runs without white space,
// and each character that stands alone as a word of its own.
template <class Emit>
void forEachPiece(const QString &text, int from, int to, Emit report)
{
    int start = -1;
    for (int i = from; i < to;) {
        const char32_t c = QChar::isHighSurrogate(text[i].unicode()) && i + 1 < to
                               ? QChar::surrogateToUcs4(text[i], text[i + 1])
                               : text[i].unicode();
        const int n = c > 0xFFFF ? 2 : 1;
        const bool space = QChar::isSpace(c) || c == 0xFFFC || c == QChar::LineSeparator;
        if (space || WordAlign::standsAlone(c)) {
            if (start >= 0)
                report(start, i);
            start = -1;
            if (!space)
                report(i, i + n);
        } else if (start < 0) {
            start = i;
        }
        i += n;
    }
    if (start >= 0)
        report(start, to);
}

// How wide a character of a word of LibreOffice's page is, in ems, to share out the box
// of a word that mixes ideographs with other characters: an ideograph, kana or
// full-width form an em (a half-width one half), the rest as wide as in DejaVu Sans,
// the face LibreOffice draws the Latin text of a Chinese or Japanese font it lacks in.
// Shared out evenly, "基本信息:" put the colon 7 px right of where it stands.
double emsOf(char32_t c)
{
    if (WordAlign::standsAlone(c))
        return c >= 0xFF61 && c <= 0xFFDC ? 0.5 : 1.0;
    static QHash<char32_t, double> known;
    auto it = known.constFind(c);
    if (it == known.constEnd()) {
        QFont face(QStringLiteral("DejaVu Sans"));
        face.setPixelSize(100);
        it = known.insert(c, QFontMetricsF(face).horizontalAdvance(QString::fromUcs4(&c, 1)) / 100);
    }
    return *it;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The line of each token: a new one where x moves back or the boxes stop sharing
// half their height, the rule both sides are read with.
std::vector<int> linesOf(const std::vector<Token> &tokens)
{
    std::vector<int> line(tokens.size(), 0);
    for (size_t k = 1; k < tokens.size(); ++k) {
        const Token &p = tokens[k - 1], &t = tokens[k];
        const double overlap = std::min(p.bottom, t.bottom) - std::max(p.top, t.top);
        const double height = std::min(p.bottom - p.top, t.bottom - t.top);
        const bool same = t.page == p.page && t.x0 >= p.x0 - 1 && overlap >= 0.5 * height;
        line[k] = line[k - 1] + (same ? 0 : 1);
    }
    return line;
}

// Each line's first paired token, -1 when none is.
std::vector<int> firstPaired(const std::vector<int> &line, const std::vector<int> &partner)
{
    std::vector<int> first(line.empty() ? 0 : size_t(line.back() + 1), -1);
    for (size_t k = 0; k < line.size(); ++k) {
        if (partner[k] >= 0 && first[size_t(line[k])] < 0)
            first[size_t(line[k])] = int(k);
    }
    return first;
}

QString signedPx(double v)
{
    return QStringLiteral("%1%2").arg(v > 0 ? QStringLiteral("+") : QString()).arg(v, 0, 'f', 0);
}

// For each of LibreOffice's lines, the first paired token of the nearest line above
// it on the same page that has one.
std::vector<int> anchorsOf(const std::vector<Token> &lo, const std::vector<int> &firstLo)
{
    std::vector<int> anchor(firstLo.size(), -1);
    for (size_t l = 1, last = size_t(-1); l < firstLo.size(); ++l) {
        if (last != size_t(-1) && firstLo[l] >= 0 && lo[size_t(firstLo[last])].page == lo[size_t(firstLo[l])].page)
            anchor[l] = firstLo[last];
        if (firstLo[l] >= 0)
            last = l;
    }
    return anchor;
}

// One pair of words as --pairs prints it: where each side put it, how far apart, and
// whether it is near; a0 is the anchor of its line, -1 when none.
QString pairLine(const std::vector<Token> &lo, const std::vector<Token> &ed, const std::vector<int> &partnerLo, size_t i,
                 int j, int a0, bool near, bool lineStart)
{
    const Token &l = lo[i], &e = ed[size_t(j)];
    const double dx = e.x0 - l.x0;
    return QStringLiteral("p%1 lo %2,%3 orvo %4,%5 dx %6 %7 %8%9 %10 w %11 %12")
           .arg(l.page + 1)
           .arg(l.x0, 0, 'f', 1)
           .arg(l.top, 0, 'f', 1)
           .arg(e.x0, 0, 'f', 1)
           .arg(e.top, 0, 'f', 1)
           .arg(dx, 0, 'f', 1)
           .arg(a0 >= 0 ? QStringLiteral("dy %1").arg((e.top - ed[size_t(partnerLo[size_t(a0)])].top) - (l.top - lo[size_t(a0)].top), 0, 'f', 1) : QStringLiteral("dy -"))
           .arg(near ? QStringLiteral("ok") : QStringLiteral("OFF"))
           .arg(lineStart ? QStringLiteral(" line") : QString())
           .arg(l.key)
           .arg(l.x1 - l.x0, 0, 'f', 1)
           .arg(e.x1 - e.x0, 0, 'f', 1);
}

// The document's line of detail: the median offsets by kind of word, of lines, the
// ratios of gaps and widths, and the faces the editor drew most.
QString detailOf(const std::vector<double> offX[KindCount], const std::vector<double> &offY,
                 const std::vector<double> &gapRatio, const std::vector<double> &widthRatio,
                 const std::vector<Token> &ed)
{
    QStringList detail;
    for (int k = 0; k < KindCount; ++k) {
        if (!offX[k].empty())
            detail << QStringLiteral("dx %1 %2 (%3)").arg(QLatin1String(KindNames[k]), signedPx(median(offX[k]))).arg(offX[k].size());
    }
    if (!offY.empty())
        detail << QStringLiteral("dy %1 (%2)").arg(signedPx(median(offY))).arg(offY.size());
    if (!gapRatio.empty())
        detail << QStringLiteral("gap x%1").arg(median(gapRatio), 0, 'f', 2);
    if (!widthRatio.empty())
        detail << QStringLiteral("width x%1").arg(median(widthRatio), 0, 'f', 3);
    std::map<QString, int> faces;
    for (const Token &t : ed)
        ++faces[t.face];
    std::vector<std::pair<int, QString>> byCount;
    for (const auto &[face, n] : faces)
        byCount.emplace_back(-n, face);
    std::sort(byCount.begin(), byCount.end());
    QStringList faceList;
    for (size_t k = 0; k < byCount.size() && k < 3; ++k)
        faceList << QStringLiteral("%1 %2").arg(byCount[k].second).arg(-byCount[k].first);
    return detail.join(QLatin1String(", ")) + QStringLiteral(" | Orvo: ") + faceList.join(QLatin1String(", "));
}

} // namespace

QString corpusDir()
{
    if (qEnvironmentVariableIsSet("ORVO_RTF_CORPUS"))
        return QString::fromLocal8Bit(qgetenv("ORVO_RTF_CORPUS"));
    return QStringLiteral(ORVO_RTF_CORPUS);
}

QString docCorpusDir()
{
    if (qEnvironmentVariableIsSet("ORVO_DOC_CORPUS"))
        return QString::fromLocal8Bit(qgetenv("ORVO_DOC_CORPUS"));
    return QStringLiteral(ORVO_DOC_CORPUS);
}

QString documentFile(const QString &corpus, const QString &name)
{
    for (const char *extension : {".rtf", ".docx", ".odt"}) {
        const QString path = corpus + QLatin1Char('/') + name + QLatin1String(extension);
        if (QFile::exists(path))
            return path;
    }
    return {};
}

bool Reference::read(const QString &path)
{
    QByteArray bytes;
    if (path.endsWith(QLatin1String(".gz"))) {
        QProcess gzip;
        gzip.start(QStringLiteral("gzip"), {QStringLiteral("-dc"), path});
        if (!gzip.waitForFinished(60000) || gzip.exitCode() != 0)
            return false;
        bytes = gzip.readAllStandardOutput();
    } else {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        bytes = f.readAll();
    }
    RefDocument *doc = nullptr;
    double top = 0, bottom = 0;
    for (const QByteArray &raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(QLatin1String("# ")) && !doc) {
            m_madeBy << line.mid(2);
            continue;
        }
        const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (f.isEmpty())
            continue;
        if (f[0] == QLatin1String("document") && f.size() >= 2) {
            doc = &m_documents.emplace_back();
            doc->name = f[1];
            doc->refused = f.size() > 2 && f[2] == QLatin1String("refused");
        } else if (!doc) {
            continue;
        } else if (f[0] == QLatin1String("fonts")) {
            doc->fonts = f.mid(1);
        } else if (f[0] == QLatin1String("page") && f.size() == 6) {
            doc->pages.push_back({f[1].toDouble(), f[2].toDouble(), f[3].toDouble(), f[4].toDouble(), f[5].toDouble()});
        } else if (f[0] == QLatin1String("y") && f.size() == 3) {
            top = f[1].toDouble();
            bottom = f[2].toDouble();
        } else if (f.size() >= 3 && !doc->pages.empty()) {
            // A word; those that mix scripts share out their box by characters.
            const double x0 = f[0].toDouble(), x1 = f[1].toDouble();
            const QString text = f.mid(2).join(QLatin1Char(' '));
            const int page = int(doc->pages.size()) - 1;
            // Where each character starts, in ems from the word's start.
            std::vector<double> at(size_t(text.size()) + 1, 0.0);
            for (qsizetype i = 0; i < text.size();) {
                char32_t c = text.at(i).unicode();
                qsizetype n = 1;
                if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                    c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
                    n = 2;
                }
                at[size_t(i + 1)] = at[size_t(i)] + emsOf(c);
                if (n == 2)
                    at[size_t(i + 2)] = at[size_t(i + 1)];
                i += n;
            }
            const double ems = at.back() > 0 ? at.back() : 1;
            forEachPiece(text, 0, int(text.size()), [&](int from, int to) {
                Token t;
                t.key = WordAlign::normalise(text.mid(from, to - from));
                if (t.key.isEmpty())
                    return;
                t.x0 = x0 + (x1 - x0) * at[size_t(from)] / ems;
                t.x1 = x0 + (x1 - x0) * at[size_t(to)] / ems;
                t.sameLine = from == 0 && to == text.size();
                t.top = top;
                t.bottom = bottom;
                t.page = page;
                doc->tokens.push_back(t);
            });
        }
    }
    return !m_documents.empty();
}

const RefDocument *Reference::find(const QString &name) const
{
    for (const RefDocument &d : m_documents) {
        if (d.name == name)
            return &d;
    }
    return nullptr;
}

// Counts is ints only, summed and written field by field in declaration order.
Counts &Counts::operator+=(const Counts &o)
{
    const int *from = reinterpret_cast<const int *>(&o);
    int *to = reinterpret_cast<int *>(this);
    static_assert(sizeof(Counts) % sizeof(int) == 0);
    for (size_t k = 0; k < sizeof(Counts) / sizeof(int); ++k)
        to[k] += from[k];
    return *this;
}

QString Counts::serialise() const
{
    QStringList out;
    const int *v = reinterpret_cast<const int *>(this);
    for (size_t k = 0; k < sizeof(Counts) / sizeof(int); ++k)
        out << QString::number(v[k]);
    return out.join(QLatin1Char(' '));
}

Counts Counts::parse(const QString &text)
{
    Counts c;
    int *v = reinterpret_cast<int *>(&c);
    const QStringList f = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (size_t k = 0; k < sizeof(Counts) / sizeof(int) && k < size_t(f.size()); ++k)
        v[k] = f[qsizetype(k)].toInt();
    return c;
}

Comparison compare(const std::vector<Token> &lo, const std::vector<Token> &ed, QStringList *pairs)
{
    std::vector<QString> a, b;
    for (const Token &t : lo)
        a.push_back(t.key);
    for (const Token &t : ed)
        b.push_back(t.key);
    std::vector<int> partnerLo(lo.size(), -1), partnerEd(ed.size(), -1);
    for (const auto &[i, j] : WordAlign::align(a, b)) {
        partnerLo[size_t(i)] = j;
        partnerEd[size_t(j)] = i;
    }
    const std::vector<int> lineLo = linesOf(lo), lineEd = linesOf(ed);
    const std::vector<int> firstLo = firstPaired(lineLo, partnerLo), firstEd = firstPaired(lineEd, partnerEd);
    const std::vector<int> anchor = anchorsOf(lo, firstLo);

    Comparison r;
    Counts &c = r.counts;
    c.loWords = int(lo.size());
    c.editorWords = int(ed.size());
    std::vector<double> offX[KindCount], offY, gapRatio, widthRatio;
    const auto kindsOf = [&](int j) {
        std::vector<int> out;
        for (int k = 0; k < Other; ++k) {
            if (ed[size_t(j)].kinds & (1u << k))
                out.push_back(k);
        }
        if (out.empty())
            out.push_back(Other);
        return out;
    };
    for (size_t i = 0; i < lo.size(); ++i) {
        const int j = partnerLo[i];
        if (j < 0)
            continue;
        const Token &l = lo[i], &e = ed[size_t(j)];
        const std::vector<int> kinds = kindsOf(j);
        ++c.matched;
        const double dx = e.x0 - l.x0;
        const bool nearX = std::abs(dx) <= Near;
        c.nearX += nearX;
        bool nearY = true;
        const int line = lineLo[i];
        const int a0 = anchor[size_t(line)];
        if (a0 >= 0) {
            const Token &la = lo[size_t(a0)], &ea = ed[size_t(partnerLo[size_t(a0)])];
            const double dy = (e.top - ea.top) - (l.top - la.top);
            nearY = std::abs(dy) <= Near;
            ++c.yChecked;
            c.nearY += nearY;
            if (!nearY)
                offY.push_back(dy);
            if (firstLo[size_t(line)] == int(i)) {
                // The gap from the line above.
                const double gapLo = l.top - la.top, gapEd = e.top - ea.top;
                const bool ok = std::abs(gapEd - gapLo) <= std::max(1.0, GapTolerance * std::abs(gapLo));
                ++c.gaps;
                c.gapsNear += ok;
                if (gapLo > 2)
                    gapRatio.push_back(gapEd / gapLo);
                for (int k : kinds) {
                    ++c.kinds[k].gaps;
                    c.kinds[k].gapsNear += ok;
                }
            }
        }
        const bool near = nearX && nearY;
        c.near += near;
        if (pairs) {
            *pairs << pairLine(lo, ed, partnerLo, i, j, a0, near, firstLo[size_t(line)] == int(i));
        }
        for (int k : kinds) {
            ++c.kinds[k].matched;
            c.kinds[k].near += near;
            if (!nearX)
                offX[k].push_back(dx);
        }
        if (l.sameLine && e.sameLine) {
            const double wl = l.x1 - l.x0, we = e.x1 - e.x0;
            ++c.widths;
            if (wl > 20)
                widthRatio.push_back(we / wl);
            c.widthsNear += std::abs(we - wl) <= std::max(1.0, WidthTolerance * wl);
        }
        const bool startLo = firstLo[size_t(line)] == int(i);
        const bool startEd = firstEd[size_t(lineEd[size_t(j)])] == j;
        if (startLo || startEd) {
            ++c.startsEither;
            c.startsBoth += startLo && startEd;
            for (int k : kinds) {
                ++c.kinds[k].startsEither;
                c.kinds[k].startsBoth += startLo && startEd;
            }
        }
    }

    r.detail = detailOf(offX, offY, gapRatio, widthRatio, ed);
    return r;
}

EditorPage::EditorPage() = default;
EditorPage::~EditorPage() = default;

QString EditorPage::open(const QString &path, const RefPage &page)
{
    m_page = page;
    m_editor = std::make_unique<RichTextBox>();
    // As the main window makes its editor.
    m_editor->setFrameShape(QFrame::NoFrame);
    const QFont font = Skin::font(FontDef{});
    m_editor->setFont(font);
    m_editor->document()->setDefaultFont(font);
    if (const Failure f = m_editor->loadFile(path))
        return QStringLiteral("not opened: %1").arg(f.description);
    // The column as wide as LibreOffice's, to the nearest pixel: the editor's
    // margins come on top of it.
    const QTextFrameFormat root = m_editor->document()->rootFrame()->frameFormat();
    const double edge = std::round(root.border()) + std::round(root.padding());
    m_columnLeft = std::round(root.leftMargin()) + edge;
    m_columnTop = std::round(root.topMargin()) + edge;
    const double right = std::round(root.rightMargin()) + edge;
    m_editor->setLineWrapMode(QTextEdit::FixedPixelWidth);
    m_editor->setLineWrapColumnOrWidth(int(std::lround(page.columnWidth + m_columnLeft + right)));
    m_editor->resize(int(page.columnWidth + m_columnLeft + right) + 40, 900);
    DocumentLayout *layout = m_editor->documentLayout();
    if (!layout)
        return QStringLiteral("no layout");
    QElapsedTimer timer;
    timer.start();
    while (layout->layoutPending(QDeadlineTimer(200))) {
        if (timer.elapsed() > LayoutSeconds * 1000)
            return QStringLiteral("not laid out in %1 s").arg(LayoutSeconds);
    }
    // The widget wraps at whole pixels; the column is the producer's, to the tenth of
    // a pixel (533.4 px for 8000 twips), and a line of forty 200-twip ideographs that
    // fills it exactly lost its last character at 533 px.
    m_editor->document()->setTextWidth(page.columnWidth + m_columnLeft + right);
    while (layout->layoutPending(QDeadlineTimer(200))) {
        if (timer.elapsed() > LayoutSeconds * 1000)
            return QStringLiteral("not laid out in %1 s").arg(LayoutSeconds);
    }
    return {};
}

std::vector<Token> EditorPage::tokens() const
{
    std::vector<Token> out;
    QTextDocument *doc = m_editor->document();
    DocumentLayout *layout = m_editor->documentLayout();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (!b.isVisible())
            continue;
        layout->blockBoundingRect(b); // lays it out and places its QTextLayout
        const QTextLayout *tl = b.layout();
        if (!tl)
            continue;
        const QPointF origin = tl->position();
        unsigned kinds = 0;
        if (b.textList() || b.blockFormat().textIndent() < 0)
            kinds |= 1u << List;
        if (QTextCursor(b).currentTable())
            kinds |= 1u << Table;
        const QString text = b.text();
        // What the layout spaces a character by after it (a space of a run, an
        // ideograph beside a Latin letter): LibreOffice's box of a word ends before it.
        QHash<int, double> spacedBy;
        for (const QTextLayout::FormatRange &r : tl->formats()) {
            if (r.format.fontLetterSpacingType() != QFont::AbsoluteSpacing || !r.format.hasProperty(QTextFormat::FontLetterSpacing))
                continue;
            for (int i = r.start; i < r.start + r.length && i < text.size(); ++i)
                spacedBy.insert(i, r.format.fontLetterSpacing());
        }
        for (int n = 0; n < tl->lineCount(); ++n) {
            const QTextLine line = tl->lineAt(n);
            const int from = line.textStart();
            const int to = std::min(int(text.size()), from + line.textLength());
            const double baseline = origin.y() + line.y() + line.ascent();
            forEachPiece(text, from, to, [&](int start, int end) {
                Token t;
                t.key = WordAlign::normalise(text.mid(start, end - start));
                if (t.key.isEmpty())
                    return;
                t.x0 = origin.x() + ParagraphLayout::cursorX(line, start) - m_columnLeft;
                t.x1 = origin.x() + ParagraphLayout::cursorX(line, end) - m_columnLeft - spacedBy.value(end - 1);
                double ascent = line.ascent(), descent = line.descent();
                const QList<QGlyphRun> runs = line.glyphRuns(start, 1);
                if (!runs.isEmpty()) {
                    const QRawFont raw = runs.front().rawFont();
                    ascent = raw.ascent();
                    descent = raw.descent();
                    t.face = raw.familyName();
                }
                t.top = baseline - ascent - m_columnTop;
                t.bottom = baseline + descent - m_columnTop;
                t.kinds = kinds;
                if (text.mid(from, start - from).contains(QLatin1Char('\t')))
                    t.kinds |= 1u << AfterTab;
                out.push_back(t);
            });
        }
    }
    return out;
}

void EditorPage::shot(const QString &path, const RefDocument *over) const
{
    QImage image(QSize(int(std::ceil(m_page.width)), int(std::ceil(m_page.height))), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.save();
    p.translate(m_page.left - m_columnLeft, m_page.top - m_columnTop);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = m_editor->palette();
    context.clip = QRectF(0, 0, m_page.width, m_page.height - m_page.top + m_columnTop);
    m_editor->document()->documentLayout()->draw(&p, context);
    p.restore();
    if (over) {
        p.setPen(QColor(220, 0, 0, 160));
        for (const Token &t : over->tokens) {
            if (t.page == 0)
                p.drawRect(QRectF(m_page.left + t.x0, m_page.top + t.top, t.x1 - t.x0, t.bottom - t.top));
        }
    }
    p.end();
    image.save(path);
}

} // namespace Fidelity
