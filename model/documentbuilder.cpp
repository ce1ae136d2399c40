#include "model/documentbuilder.h"

#include "base/layoutproperties.h"
#include "model/limits.h"
#include "model/twips.h"
#include "model/marks.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QTextBlockFormat>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

DocumentBuilder::DocumentBuilder(QTextDocument *doc)
    : m_doc(doc)
    , m_cursor(doc)
    , m_writer(m_cursor, m_formats, colors)
{
    m_cursor.beginEditBlock();
}

DocumentBuilder::~DocumentBuilder()
{
    m_cursor.endEditBlock();
}

int DocumentBuilder::fontNumber(const QString &name)
{
    if (name.isEmpty())
        return -1;
    const auto it = m_fontNumbers.constFind(name);
    if (it != m_fontNumbers.constEnd())
        return it.value();
    if (m_fontNumbers.size() >= 4096)
        return -1;
    const int id = int(m_fontNumbers.size());
    m_fontNumbers.insert(name, id);
    fontNames.insert(id, name);
    return id;
}

int DocumentBuilder::colorNumber(QRgb rgb)
{
    const auto it = m_colorNumbers.constFind(rgb);
    if (it != m_colorNumbers.constEnd())
        return it.value();
    if (colors.size() >= 65536)
        return -1;
    colors.push_back(QColor::fromRgb(rgb));
    const int id = int(colors.size()) - 1;
    m_colorNumbers.insert(rgb, id);
    return id;
}

int DocumentBuilder::authorColor(const QString &author)
{
    static constexpr QRgb palette[] = {0xB8860B, 0x1F4E9C, 0x3A7D1C, 0x6A2C91, 0xB0170E, 0x00787A, 0x7A6F00, 0x35556B, 0xC05A00};
    const auto it = m_authorColors.constFind(author);
    if (it != m_authorColors.constEnd())
        return it.value();
    const int index = colorNumber(palette[size_t(m_authorColors.size()) % std::size(palette)]);
    if (m_authorColors.size() < 1024)
        m_authorColors.insert(author, index);
    return index;
}

QTextCharFormat DocumentBuilder::charFormat(const CharState &s) const
{
    QTextCharFormat f;
    // The Latin font first, then the face the system shows it in, the East Asian one
    // as fallback for the glyphs it lacks.
    const int western = s.western >= 0 ? s.western : s.font; // formatId() relies on this
    const QString westernName = fontNames.value(western);
    if (!westernName.isEmpty()) {
        // A label in a symbol face shows Unicode look-alikes, whatever its character set.
        const bool symbol = s.codePage == CodePage::Symbol || s.codePage == CodePage::SymbolFont
            || (s.label && FontFaces::isSymbolFace(westernName));
        const QString eastern = s.eastern >= 0 ? fontNames.value(s.eastern) : QString();
        const QString fallback = defaultFont != western ? fontNames.value(defaultFont) : QString();
        f.setFontFamilies(m_faces.families(westernName, eastern, symbol, fallback));
    } else {
        // Text in no font the document names is in the word processors' default for
        // RTF, Times New Roman, shown in the face the system substitutes for it.
        f.setFontFamilies(QStringList{m_faces.face(QStringLiteral("Times New Roman"))});
    }
    f.setFontPointSize(s.size / 2.0);
    if (s.bold)
        f.setFontWeight(QFont::Bold);
    if (s.italic)
        f.setFontItalic(true);
    if (s.underline == CharState::DoubleUnderline) {
        f.setUnderlineStyle(QTextCharFormat::SingleUnderline);
        f.setProperty(LayoutProperty::DoubleUnderline, true);
    } else if (s.underline) {
        f.setUnderlineStyle(QTextCharFormat::UnderlineStyle(s.underline));
    }
    if (s.strike)
        f.setFontStrikeOut(true);
    if (s.color >= 0 && size_t(s.color) < colors.size() && colors[s.color].isValid())
        f.setForeground(colors[s.color]);
    if (s.background > 0 && size_t(s.background) < colors.size() && colors[s.background].isValid())
        f.setBackground(colors[s.background]);
    if (s.vertical == 1 || s.vertical == 3)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (s.vertical == 2 || s.vertical == 4)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (s.vertical >= 3)
        f.setProperty(LayoutProperty::ScriptSize, 100);
    else if (s.vertical > 0 && scriptSize > 0)
        f.setProperty(LayoutProperty::ScriptSize, scriptSize);
    if (s.caps & 1)
        f.setFontCapitalization(QFont::AllUppercase);
    else if (s.caps & 2)
        f.setFontCapitalization(QFont::SmallCaps);
    if (s.unkerned)
        f.setFontKerning(false);
    if (s.cjkLanguage)
        f.setProperty(LayoutProperty::CjkLanguage, true);
    if (s.anchor >= 0 && s.anchor < anchors.size()) {
        f.setAnchor(true);
        f.setAnchorHref(anchors.at(s.anchor));
    }
    if (s.label)
        f.setProperty(DocProperty::ListLabel, true);
    return f;
}

int DocumentBuilder::formatId(const CharState &state)
{
    for (int i = 0; i < 4; ++i) {
        if (m_recent[i].id >= 0 && m_recent[i].state == state) {
            const Recent hit = m_recent[i];
            for (int j = i; j > 0; --j)
                m_recent[j] = m_recent[j - 1];
            m_recent[0] = hit;
            return hit.id;
        }
    }
    const int id = lookUpFormatId(state);
    for (int j = 3; j > 0; --j)
        m_recent[j] = m_recent[j - 1];
    m_recent[0] = Recent{state, id};
    return id;
}

void DocumentBuilder::forgetFormats()
{
    flushText();
    m_formatIds.clear();
    m_keyIds.clear();
    m_textFormat = -1;
    for (Recent &r : m_recent)
        r.id = -1;
    // The formats themselves go only once nothing waiting to be written names them.
    if (!m_paraOpen && m_levels.empty() && m_suspended.empty()) {
        runBatch();
        m_formats.clear();
    }
}

int DocumentBuilder::lookUpFormatId(const CharState &state)
{
    const auto found = m_formatIds.find(state);
    if (found != m_formatIds.end())
        return found->second;
    if (m_formatIds.size() >= size_t(ModelLimits::MaxKnownFormats)) {
        // Pathological input with endless distinct formats: start over rather than grow.
        forgetFormats();
    }
    // Fields that never reach the format (code page, which font class \af names,
    // hidden and deleted text, which is not written) are left out of the key.
    CharState key = state;
    // Only whether the text is symbol characters reaches the format (its faces).
    key.codePage = state.codePage == CodePage::Symbol || state.codePage == CodePage::SymbolFont ? -1 : 0;
    key.charClass = 0;
    key.hidden = key.deleted = false;
    if (key.western < 0)
        key.western = key.font;
    key.font = -1;
    int id;
    const auto same = m_keyIds.find(key);
    if (same != m_keyIds.end()) {
        id = same->second;
    } else {
        m_formats.push_back(charFormat(state));
        ++m_formatsBuilt;
        id = int(m_formats.size()) - 1;
        m_keyIds.emplace(key, id);
    }
    m_formatIds.emplace(state, id);
    return id;
}

void DocumentBuilder::flushText()
{
    if (m_body.text.size() == m_runStart)
        return;
    m_body.ops.push_back(FlowOp{FlowOp::Text, m_textFormat, -1, m_runStart, m_body.text.size() - m_runStart});
    m_runStart = m_body.text.size();
    m_paraHasContent = true;
}

void DocumentBuilder::abandon()
{
    m_outOfMemory = true;
    m_body.clear();
    m_levels.clear();
    m_suspended.clear();
    m_runStart = 0;
    m_paraOp = 0;
    m_paraOpen = false;
}

bool DocumentBuilder::roomFor(const FlowContent &content, size_t begin, size_t end, qint64 cells)
{
    if (m_outOfMemory)
        return false;
    m_blocks += cells;
    for (size_t i = begin; i < end; ++i) {
        m_runs += content.ops[i].kind == FlowOp::Text;
        m_blocks += content.ops[i].kind == FlowOp::Para;
    }
    if (m_headroom.allows(MemoryHeadroom::documentBytes(m_written, m_blocks, m_runs)))
        return true;
    // Only marked here: the callers still hold what they were writing. The parser
    // stops at its next token and abandons the rest.
    m_outOfMemory = true;
    return false;
}

void DocumentBuilder::runBatch()
{
    // Only whole paragraphs go: the one being read may still turn out to be a cell's.
    if (m_paraOpen || m_body.ops.empty())
        return;
    if (!roomFor(m_body, 0, m_body.ops.size(), 0))
        return;
    m_writer.write(m_body, 0, m_body.ops.size(), m_bodyFlow);
    m_body.clear();
    m_runStart = 0;
}

void DocumentBuilder::openParagraph()
{
    m_paraOp = m_body.ops.size();
    m_body.ops.push_back(FlowOp{FlowOp::Para});
    m_paraOpen = true;
    m_paraHasContent = false;
    m_labelFrom = m_labelTo = -1;
}

void DocumentBuilder::startRun(const CharState &state)
{
    if (!m_paraOpen)
        openParagraph();
    if (m_body.text.size() == m_runStart || state != m_textState) {
        const int id = formatId(state);
        if (id != m_textFormat)
            flushText();
        m_textFormat = id;
        m_textState = state;
    }
}

void DocumentBuilder::labelSymbols(const CharState &state, qsizetype from)
{
    // A list's mark in a symbol font is a glyph number no face here draws (writers
    // also give the number as a private-use code in a font of text): the label shows
    // its Unicode look-alike instead (labels are not the document's text).
    if (!state.label)
        return;
    if (m_labelFrom < 0)
        m_labelFrom = from;
    m_labelTo = m_body.text.size();
    const QString font = fontNames.value(state.western >= 0 ? state.western : state.font);
    // A symbol font that the font table gives no symbol character set still draws
    // its glyphs for the bytes it is given, which are no letters or digits.
    const bool symbol = state.codePage == CodePage::Symbol || FontFaces::isSymbolFace(font);
    for (qsizetype i = from; i < m_body.text.size(); ++i)
        m_body.text[i] = QChar(FontFaces::labelCharacter(font, m_body.text.at(i).unicode(), symbol));
}

void DocumentBuilder::labelInSymbolFont(const QString &font)
{
    if (!m_paraOpen || m_labelFrom < 0 || m_labelTo > m_body.text.size())
        return;
    // A bullet is no digit, even where Symbol draws one.
    for (qsizetype i = m_labelFrom; i < m_labelTo; ++i) {
        const char16_t c = FontFaces::labelCharacter(font, m_body.text.at(i).unicode(), true);
        m_body.text[i] = QChar(QChar(c).isLetterOrNumber() ? char16_t(0x2022) : c);
    }
}

void DocumentBuilder::dropLabel()
{
    if (!paragraphHasLabel() || m_paraHasContent || m_labelFrom != m_runStart || m_labelTo != m_body.text.size())
        return;
    m_body.text.truncate(m_labelFrom);
    m_labelFrom = m_labelTo = -1;
}

void DocumentBuilder::addBytes(const CharState &state, CodePage &codePages, const char *bytes, qsizetype n)
{
    if (n <= 0)
        return;
    startRun(state);
    const qsizetype before = m_body.text.size();
    codePages.decode(state.codePage, bytes, n, m_body.text);
    labelSymbols(state, before);
    m_written += m_body.text.size() - before;
}

void DocumentBuilder::addText(const CharState &state, const QString &text)
{
    if (text.isEmpty())
        return;
    startRun(state);
    const qsizetype before = m_body.text.size();
    m_body.text.append(text);
    labelSymbols(state, before);
    m_written += text.size();
}

void DocumentBuilder::addText(const CharState &state, QChar c)
{
    startRun(state);
    m_body.text.append(c);
    labelSymbols(state, m_body.text.size() - 1);
    ++m_written;
}

void DocumentBuilder::addImage(const CharState &state, const QImage &image, qreal width, qreal height,
                                  bool placeholder)
{
    if (m_outOfMemory)
        return;
    if (!m_paraOpen)
        openParagraph();
    flushText();
    QString &name = m_imageNames[image.cacheKey()];
    if (name.isEmpty()) {
        name = QStringLiteral("rtfimage://%1").arg(++m_images);
        m_doc->addResource(QTextDocument::ImageResource, QUrl(name), image);
    }
    QTextImageFormat f;
    f.merge(charFormat(state));
    f.setName(name);
    if (placeholder)
        f.setProperty(DocProperty::PicturePlaceholder, true);
    if (width > 0)
        f.setWidth(width);
    if (height > 0)
        f.setHeight(height);
    m_body.images.push_back(f);
    m_body.ops.push_back(FlowOp{FlowOp::Image, int(m_body.images.size()) - 1});
    ++m_written;
    m_paraHasContent = true;
}

void DocumentBuilder::anchorShape()
{
    if (!m_paraOpen)
        openParagraph();
    flushText();
    m_paraHasContent = true;
}

int DocumentBuilder::textTwips(const CharState &state, const QString &text) const
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return int(text.size()) * state.size * 5; // half an em a character
    const qreal pixels = QFontMetricsF(charFormat(state).font()).horizontalAdvance(text);
    return int(qBound(qreal(0), pixels * 15, qreal(ModelLimits::MaxTwips)));
}

int DocumentBuilder::tabList(int list, TabStop stop)
{
    // Lists are short and few: beyond these limits a document only repeats itself.
    const bool known = list >= 0 && size_t(list) < m_tabLists.size();
    QList<QTextOption::Tab> tabs = known ? m_tabLists[size_t(list)] : QList<QTextOption::Tab>();
    QList<int> leaders = known ? m_tabLeaders[size_t(list)] : QList<int>();
    if (tabs.size() >= 64)
        return list;
    const qreal x = qBound(0, stop.twips, ModelLimits::MaxTwips) * PixelsPerTwip;
    const auto type = QTextOption::TabType(stop.kind);
    QChar delimiter;
    if (type == QTextOption::DelimiterTab) {
        const QString point = QLocale().decimalPoint();
        delimiter = point.isEmpty() ? QLatin1Char('.') : point.at(0);
    }
    // Stops are kept in order of position, as the layout expects them.
    qsizetype at = 0;
    while (at < tabs.size() && tabs.at(at).position < x)
        ++at;
    if (at < tabs.size() && qFuzzyCompare(tabs.at(at).position, x)) {
        tabs[at] = QTextOption::Tab(x, type, delimiter);
        leaders[at] = stop.leader;
    } else {
        tabs.insert(at, QTextOption::Tab(x, type, delimiter));
        leaders.insert(at, stop.leader);
    }
    QByteArray key;
    for (qsizetype i = 0; i < tabs.size(); ++i) {
        const QTextOption::Tab &t = tabs.at(i);
        key += QByteArray::number(t.position) + char('0' + t.type) + QByteArray(1, char(t.delimiter.unicode()))
            + char('0' + leaders.at(i)) + ';';
    }
    const auto found = m_tabListIds.constFind(key);
    if (found != m_tabListIds.constEnd())
        return found.value();
    if (m_tabLists.size() >= 4096)
        return list;
    m_tabLists.push_back(tabs);
    m_tabLeaders.push_back(leaders);
    m_tabListIds.insert(key, int(m_tabLists.size()) - 1);
    return int(m_tabLists.size()) - 1;
}

QList<QTextOption::Tab> DocumentBuilder::columnTabs(const ParaState &p, int left, int first,
                                                       QVariantList *leaders) const
{
    // RTF measures tab stops from the text column's left edge, Qt from where the line
    // starts: the stops are moved by where the first line starts, so the text after a
    // list label stands where the producer put it. (A tab on a later line of a
    // paragraph whose first line is indented lands that indent off.)
    const int origin = left + first;
    const qreal originPx = origin * PixelsPerTwip;
    QList<QTextOption::Tab> tabs;
    if (p.tabs >= 0 && size_t(p.tabs) < m_tabLists.size()) {
        const QList<QTextOption::Tab> &list = m_tabLists[size_t(p.tabs)];
        for (qsizetype i = 0; i < list.size(); ++i) {
            QTextOption::Tab t = list.at(i);
            t.position -= originPx;
            if (t.position <= 0)
                continue;
            tabs.append(t);
            if (const int leader = m_tabLeaders[size_t(p.tabs)].at(i))
                *leaders << t.position << leader;
        }
    }
    // A hanging indent is a stop of its own where no stop comes before it, also
    // where the first line starts at the column's edge.
    if (first < 0) {
        const qreal hanging = -first * PixelsPerTwip;
        qsizetype at = 0;
        while (at < tabs.size() && tabs.at(at).position < hanging)
            ++at;
        if (at == tabs.size() || !qFuzzyCompare(tabs.at(at).position, hanging))
            tabs.insert(at, QTextOption::Tab(hanging, QTextOption::LeftTab));
    }
    if (origin == 0)
        return tabs;
    // Past the last stop, the default ones stand every \deftab from the column's
    // edge; Qt counts them from the line's start, which is the same only where the
    // line starts on one of them.
    const int step = qBound(1, m_defaultTab, ModelLimits::MaxTwips);
    if (origin % step != 0) {
        const qreal last = tabs.isEmpty() ? 0 : tabs.last().position;
        // The first default stop right of the line's start (which may be left of the edge).
        const int below = origin >= 0 ? origin / step : -((-origin + step - 1) / step);
        for (int column = (below + 1) * step; column <= ModelLimits::MaxTwips && tabs.size() < 64; column += step) {
            const qreal x = (column - origin) * PixelsPerTwip;
            if (x > last)
                tabs.append(QTextOption::Tab(x, QTextOption::LeftTab));
        }
    }
    return tabs;
}

void DocumentBuilder::setBox(QTextBlockFormat &f, const ParaState &p) const
{
    // Shading: the pattern colour laid over the background at \shading per cent.
    QColor background = p.shadeBack >= 0 && size_t(p.shadeBack) < colors.size() ? colors[size_t(p.shadeBack)] : QColor();
    if (p.shading > 0) {
        const QColor base = background.isValid() ? background : QColor(Qt::white);
        QColor ink = p.shadeFore >= 0 && size_t(p.shadeFore) < colors.size() ? colors[size_t(p.shadeFore)] : QColor();
        if (!ink.isValid())
            ink = Qt::black;
        const qreal s = p.shading / 10000.0;
        background = QColor::fromRgbF(base.redF() * (1 - s) + ink.redF() * s, base.greenF() * (1 - s) + ink.greenF() * s,
                                      base.blueF() * (1 - s) + ink.blueF() * s);
    }
    if (background.isValid())
        f.setBackground(background);
    static const QTextFormat::Property sides[4] = {LayoutProperty::BorderTop, LayoutProperty::BorderLeft,
                                                    LayoutProperty::BorderBottom, LayoutProperty::BorderRight};
    for (int side = 0; side < 4; ++side) {
        const ParaBorder &b = p.borders[side];
        if (b.style == 0)
            continue;
        // Whole pixels, the thinnest still one; a double border is two lines and the
        // space between them.
        const int line = qMax(1, qRound(b.width * PixelsPerTwip));
        const QColor color = b.color >= 0 && size_t(b.color) < colors.size() ? colors[size_t(b.color)] : QColor();
        const int style = b.style == 2 ? LayoutProperty::Double : b.style == 3 ? LayoutProperty::Dotted
                        : b.style == 4 ? LayoutProperty::Dashed : LayoutProperty::Solid;
        f.setProperty(sides[side], QVariantList{style, qreal(style == LayoutProperty::Double ? 3 * line : line), color,
                                                qreal(qRound(b.space * PixelsPerTwip))});
    }
}

int DocumentBuilder::blockFormat(const ParaState &p)
{
    if (!m_haveBlockFormat || p != m_blockState || m_breakBefore || m_blockHasBreak) {
        QTextBlockFormat f;
        switch (p.alignment) {
        case 1:
            f.setAlignment(Qt::AlignHCenter);
            break;
        case 2:
            f.setAlignment(Qt::AlignRight);
            break;
        case 3:
            f.setAlignment(Qt::AlignJustify);
            break;
        default:
            f.setAlignment(Qt::AlignLeft);
            break;
        }
        // No margin is left of the text area, but a first line may hang into the page's
        // margin as word processors hang a list's label there (within reason: the
        // writer makes room for it left of the column).
        const int left = qMax(0, p.leftIndent);
        const int first = qMax(p.firstIndent, -left - ModelLimits::MaxHangTwips);
        if (left)
            f.setLeftMargin(left * PixelsPerTwip);
        if (p.rightIndent > 0)
            f.setRightMargin(p.rightIndent * PixelsPerTwip);
        if (first)
            f.setTextIndent(first * PixelsPerTwip);
        if (p.spaceBefore)
            f.setTopMargin(p.spaceBefore * PixelsPerTwip);
        if (p.spaceAfter)
            f.setBottomMargin(p.spaceAfter * PixelsPerTwip);
        if (p.lineSpacing != 0) {
            if (p.lineMultiple && p.lineSpacing > 0)
                f.setLineHeight(p.lineSpacing * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
            else if (p.lineSpacing > 0)
                f.setLineHeight(p.lineSpacing * PixelsPerTwip, QTextBlockFormat::MinimumHeight);
            else
                f.setLineHeight(-p.lineSpacing * PixelsPerTwip, QTextBlockFormat::FixedHeight);
        }
        QVariantList leaders;
        const QList<QTextOption::Tab> tabs = columnTabs(p, left, first, &leaders);
        if (!tabs.isEmpty())
            f.setTabPositions(tabs);
        if (!leaders.isEmpty())
            f.setProperty(LayoutProperty::TabLeaders, leaders);
        setBox(f, p);
        if (p.keepNext)
            f.setProperty(LayoutProperty::KeepWithNext, true);
        if (p.labelRight)
            f.setProperty(LayoutProperty::LabelRight, true);
        if (p.bordersOutside && (p.borders[1].style || p.borders[3].style))
            f.setProperty(LayoutProperty::BordersOutside, true);
        if (p.widows < 0 ? m_widowControl : p.widows > 0)
            f.setProperty(LayoutProperty::WidowControl, true);
        if (m_wideSpaceRuns)
            f.setProperty(LayoutProperty::WideSpaceRuns, true);
        if (m_noLineGap)
            f.setProperty(LayoutProperty::NoLineGap, true);
        if (m_asianRules) {
            f.setProperty(LayoutProperty::SpaceAsianFromWestern, true);
            f.setProperty(LayoutProperty::AsianFallbackByLanguage, true);
        }
        if (p.pageBreakBefore || m_breakBefore)
            f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        m_blockHasBreak = p.pageBreakBefore || m_breakBefore;
        m_breakBefore = false;
        m_blockFormat = f;
        m_blockState = p;
        m_haveBlockFormat = true;
    }
    m_body.blockFormats.push_back(m_blockFormat);
    return int(m_body.blockFormats.size()) - 1;
}

void DocumentBuilder::completeParagraph(const ParaState &para)
{
    if (!m_paraOpen)
        openParagraph();
    flushText();
    FlowOp &op = m_body.ops[m_paraOp];
    op.format = blockFormat(para);
    op.charFormat = m_haveMark && !m_paraHasContent ? formatId(m_markState) : m_textFormat;
    m_haveMark = false;
    m_paraOpen = false;
}

void DocumentBuilder::paragraphBreak(const ParaState &para, int level)
{
    completeParagraph(para);
    place(level);
}

void DocumentBuilder::finish(const ParaState &para, int level)
{
    if (m_paraOpen) {
        if (paragraphEmpty()) {
            // Nothing after the last paragraph mark: no empty block for it.
            m_body.ops.resize(m_paraOp);
            m_paraOpen = false;
        } else {
            completeParagraph(para);
            place(level);
        }
    }
    closeLevels(0);
    runBatch();
    if (!m_outOfMemory)
        m_writer.endSections(m_bodyFlow);
    QTextOption option = m_doc->defaultTextOption();
    option.setTabStopDistance(qBound(1, m_defaultTab, ModelLimits::MaxTwips) * PixelsPerTwip);
    m_doc->setDefaultTextOption(option);
}

void DocumentBuilder::setColumns(int count, int gap, int height, bool rule, bool continuous)
{
    m_columns.continuous = continuous;
    m_columns.count = count;
    m_columns.gap = gap * PixelsPerTwip;
    m_columns.height = height * PixelsPerTwip;
    m_columns.rule = rule;
}

bool DocumentBuilder::sectionChanges()
{
    if (!m_sectionStarts)
        return false;
    m_sectionStarts = false;
    // One column after one column: the body goes on as it is.
    const bool changes = m_columns.count > 1 || m_bodyColumns.count > 1;
    m_bodyColumns = m_columns;
    return changes;
}
