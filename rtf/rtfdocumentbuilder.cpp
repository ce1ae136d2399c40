#include "rtf/rtfdocumentbuilder.h"

#include <QFont>
#include <QImage>
#include <QTextBlockFormat>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

namespace {

// RTF measures in twips; the document lays out in pixels at 96 per inch.
constexpr qreal PixelsPerTwip = 96.0 / 1440.0;

} // namespace

RtfDocumentBuilder::RtfDocumentBuilder(QTextDocument *doc)
    : m_doc(doc)
    , m_cursor(doc)
{
    m_cursor.beginEditBlock();
}

RtfDocumentBuilder::~RtfDocumentBuilder()
{
    flushText();
    runBatch();
    m_cursor.endEditBlock();
}

QTextCharFormat RtfDocumentBuilder::charFormat(const RtfCharState &s) const
{
    QTextCharFormat f;
    // The Latin font first, the East Asian one as fallback for the glyphs it lacks.
    QStringList families;
    const int western = s.western >= 0 ? s.western : s.font; // formatId() relies on this
    for (const int number : {western, s.eastern}) {
        if (number < 0)
            continue;
        const auto it = fontNames.constFind(number);
        if (it != fontNames.constEnd() && !it->isEmpty() && !families.contains(*it))
            families.append(*it);
    }
    if (!families.isEmpty())
        f.setFontFamilies(families);
    f.setFontPointSize(s.size / 2.0);
    if (s.bold)
        f.setFontWeight(QFont::Bold);
    if (s.italic)
        f.setFontItalic(true);
    if (s.underline)
        f.setUnderlineStyle(QTextCharFormat::UnderlineStyle(s.underline));
    if (s.strike)
        f.setFontStrikeOut(true);
    if (s.color >= 0 && size_t(s.color) < colors.size() && colors[s.color].isValid())
        f.setForeground(colors[s.color]);
    if (s.background > 0 && size_t(s.background) < colors.size() && colors[s.background].isValid())
        f.setBackground(colors[s.background]);
    if (s.vertical == 1)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (s.vertical == 2)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (s.caps == 1)
        f.setFontCapitalization(QFont::AllUppercase);
    else if (s.caps == 2)
        f.setFontCapitalization(QFont::SmallCaps);
    if (s.anchor >= 0 && s.anchor < anchors.size()) {
        f.setAnchor(true);
        f.setAnchorHref(anchors.at(s.anchor));
    }
    if (s.label)
        f.setProperty(RtfProperty::ListLabel, true);
    return f;
}

int RtfDocumentBuilder::formatId(const RtfCharState &state)
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

void RtfDocumentBuilder::forgetFormats()
{
    flushText();
    runBatch();
    m_formatIds.clear();
    m_keyIds.clear();
    m_formats.clear();
    m_textFormat = -1;
    for (Recent &r : m_recent)
        r.id = -1;
}

int RtfDocumentBuilder::lookUpFormatId(const RtfCharState &state)
{
    const auto found = m_formatIds.find(state);
    if (found != m_formatIds.end())
        return found->second;
    if (m_formatIds.size() >= 1024) {
        // Pathological input with endless distinct formats: start over rather than grow.
        forgetFormats();
    }
    // Fields that never reach the format (code page, which font class \af names,
    // hidden and deleted text, which is not written) are left out of the key.
    RtfCharState key = state;
    key.codePage = 0;
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
        id = int(m_formats.size()) - 1;
        m_keyIds.emplace(key, id);
    }
    m_formatIds.emplace(state, id);
    return id;
}

void RtfDocumentBuilder::flushText()
{
    if (m_batch.size() == m_runStart)
        return;
    m_ops.push_back(Op{Op::Text, m_textFormat, -1, m_runStart, m_batch.size() - m_runStart});
    m_runStart = m_batch.size();
    m_blockHasContent = true;
    if (m_batch.size() >= 16384 || m_ops.size() >= 1024)
        runBatch();
}

void RtfDocumentBuilder::abandon()
{
    m_outOfMemory = true;
    m_ops.clear();
    m_batch.clear();
    m_runStart = 0;
    m_batchBlockFormats.clear();
}

void RtfDocumentBuilder::runBatch()
{
    for (const Op &op : m_ops) {
        m_runs += op.kind == Op::Text;
        m_blocks += op.kind == Op::Block;
    }
    if (m_outOfMemory || !m_headroom.allows(MemoryHeadroom::documentBytes(m_written, m_blocks, m_runs))) {
        abandon();
        return;
    }
    for (const Op &op : m_ops) {
        switch (op.kind) {
        case Op::Text:
            // A view into the batch: the document copies it, nothing else is allocated.
            m_cursor.insertText(QString::fromRawData(m_batch.constData() + op.start, op.length),
                                m_formats[size_t(op.format)]);
            break;
        case Op::Block:
            // Both formats given: asking the cursor for them costs more than the insertion.
            m_cursor.insertBlock(m_batchBlockFormats[size_t(op.format)],
                                 op.charFormat >= 0 ? m_formats[size_t(op.charFormat)] : QTextCharFormat());
            break;
        case Op::SetBlock:
            m_cursor.setBlockFormat(m_batchBlockFormats[size_t(op.format)]);
            break;
        }
    }
    m_ops.clear();
    m_batch.resize(0); // unlike clear(), keeps the buffer for the next batch
    m_runStart = 0;
    m_batchBlockFormats.clear();
}

void RtfDocumentBuilder::openPendingBlock()
{
    if (!m_pendingBreak)
        return;
    m_pendingBreak = false;
    m_afterRow = false;
    m_batchBlockFormats.push_back(m_blockFormat);
    m_ops.push_back(Op{Op::Block, int(m_batchBlockFormats.size()) - 1, m_textFormat, 0, 0});
    m_blockHasContent = false;
}

void RtfDocumentBuilder::startRun(const RtfCharState &state)
{
    openPendingBlock();
    if (m_batch.size() == m_runStart || state != m_textState) {
        const int id = formatId(state);
        if (id != m_textFormat)
            flushText();
        m_textFormat = id;
        m_textState = state;
    }
}

void RtfDocumentBuilder::addBytes(const RtfCharState &state, RtfCodePage &codePages, const char *bytes, qsizetype n)
{
    if (n <= 0)
        return;
    startRun(state);
    const qsizetype before = m_batch.size();
    codePages.decode(state.codePage, bytes, n, m_batch);
    m_written += m_batch.size() - before;
}

void RtfDocumentBuilder::addText(const RtfCharState &state, const QString &text)
{
    if (text.isEmpty())
        return;
    startRun(state);
    m_batch.append(text);
    m_written += text.size();
}

void RtfDocumentBuilder::addText(const RtfCharState &state, QChar c)
{
    startRun(state);
    m_batch.append(c);
    ++m_written;
}

void RtfDocumentBuilder::addImage(const RtfCharState &state, const QImage &image, qreal width, qreal height,
                                  bool placeholder)
{
    if (m_outOfMemory)
        return;
    openPendingBlock();
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
        f.setProperty(RtfProperty::PicturePlaceholder, true);
    if (width > 0)
        f.setWidth(width);
    if (height > 0)
        f.setHeight(height);
    runBatch();
    m_cursor.insertImage(f);
    ++m_written;
    m_blockHasContent = true;
}

void RtfDocumentBuilder::applyBlockFormat(const RtfParaState &p)
{
    if (m_blockStateApplied && p == m_blockState && !m_breakBefore && !m_blockHasBreak)
        return; // a new block inherits the previous block's format
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
    if (p.leftIndent)
        f.setLeftMargin(p.leftIndent * PixelsPerTwip);
    if (p.rightIndent)
        f.setRightMargin(p.rightIndent * PixelsPerTwip);
    if (p.firstIndent)
        f.setTextIndent(p.firstIndent * PixelsPerTwip);
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
    if (p.pageBreakBefore || m_breakBefore)
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    m_blockHasBreak = p.pageBreakBefore || m_breakBefore;
    m_breakBefore = false;
    m_batchBlockFormats.push_back(f);
    m_ops.push_back(Op{Op::SetBlock, int(m_batchBlockFormats.size()) - 1, -1, 0, 0});
    m_blockFormat = f;
    m_blockState = p;
    m_blockStateApplied = true;
}

void RtfDocumentBuilder::paragraphBreak(const RtfParaState &para)
{
    openPendingBlock();
    flushText();
    applyBlockFormat(para);
    m_pendingBreak = true;
    m_afterRow = false;
}

void RtfDocumentBuilder::finish(const RtfParaState &para)
{
    if (m_pendingBreak && m_afterRow) {
        // A table cannot end the text: the paragraph after it is kept, empty.
        openPendingBlock();
        applyBlockFormat(para);
    } else if (!m_pendingBreak) {
        flushText();
        applyBlockFormat(para);
    } // else the mark of the last paragraph: no empty block after it
    runBatch();
}
