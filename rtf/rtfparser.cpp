#include "rtf/rtfparser.h"

#include "rtf/rtfkeywords.h"
#include "rtf/rtflimits.h"

#include <QTextDocument>

#include <string_view>

using RtfKeywords::Kw;
using RtfKeywords::KwInfo;

RtfParser::RtfParser(const QByteArray &data, qsizetype start, QTextDocument *doc)
    : m_tok(data, start)
    , m_builder(doc)
{
    m_groups.reserve(64);
    m_routes[size_t(RtfKeywords::Route::FontTable)] = &m_fontTable;
    m_routes[size_t(RtfKeywords::Route::ColorTable)] = &m_colorTable;
    m_routes[size_t(RtfKeywords::Route::StyleSheet)] = &m_styleSheet;
    m_routes[size_t(RtfKeywords::Route::Lists)] = &m_lists;
    m_routes[size_t(RtfKeywords::Route::Fields)] = &m_fields;
    m_routes[size_t(RtfKeywords::Route::Pictures)] = &m_pictures;
    m_routes[size_t(RtfKeywords::Route::Shapes)] = &m_shapes;
    m_routes[size_t(RtfKeywords::Route::Tables)] = &m_tables;
    m_readers[size_t(Dest::FontTable)] = &m_fontTable;
    m_readers[size_t(Dest::ColorTable)] = &m_colorTable;
    m_readers[size_t(Dest::StyleEntry)] = &m_styleSheet;
    m_readers[size_t(Dest::LevelText)] = &m_lists;
    m_readers[size_t(Dest::PnText)] = &m_lists;
    m_readers[size_t(Dest::FieldInst)] = &m_fields;
    m_readers[size_t(Dest::Picture)] = &m_pictures;
    m_readers[size_t(Dest::ShapeName)] = &m_shapes;
    m_defaultChar.codePage = m_fontTable.documentCodePage();
    Group root;
    root.chr = m_defaultChar;
    m_groups.push_back(root);
    m_builder.colors.push_back(QColor()); // index 0 is the automatic colour until a table says more
    // RTF's rows carry their own edges, which LibreOffice lays on the last row's width.
    m_builder.tableGridRule = DocTable::GridRule::LastRowWidth;
    // Word balances single-byte text against double-byte text (a run of spaces set
    // wider) unless the document's \dntblnsbdb says not to, and LibreOffice follows it
    // (see also \stshfdbch).
    m_builder.setWideSpaceRuns(true);
    // LibreOffice spaces Asian text from Western letters and digits in every paragraph
    // of an RTF document, whatever \aspalpha and \aspnum say, and takes the face of
    // its ideographs from their language (\langfe).
    m_builder.setAsianRules(true);
    // \super and \sub shrink the text to 58 %, as LibreOffice and Word draw them.
    m_builder.scriptSize = 58;
}

Failure RtfParser::run()
{
    using T = RtfTokenizer::Type;
    for (;;) {
        RtfTokenizer::Token t = m_tok.next();
        if (t.type == T::End || m_builder.outOfMemory())
            break;

        if (m_fallbackSkip > 0) {
            // The characters a reader without Unicode would show instead of \uN.
            switch (t.type) {
            case T::GroupOpen:
            case T::GroupClose:
                m_fallbackSkip = 0;
                break;
            case T::Text: {
                const int n = qMin(m_fallbackSkip, t.length);
                m_fallbackSkip -= n;
                t.data += n;
                t.length -= n;
                if (t.length == 0)
                    continue;
                break;
            }
            case T::Word:
                if (t.length == 3 && qstrncmp(t.data, "bin", 3) == 0 && t.hasParameter)
                    m_tok.binary(t.parameter);
                --m_fallbackSkip;
                continue;
            default:
                --m_fallbackSkip;
                continue;
            }
        }

        switch (t.type) {
        case T::GroupOpen:
            groupOpen();
            break;
        case T::GroupClose:
            if (!groupClose())
                goto done;
            break;
        case T::Word:
            controlWord(t);
            break;
        case T::Symbol:
            controlSymbol(t.byte);
            break;
        case T::Hex: {
            const char b = char(t.byte);
            if (top().dest == Dest::Picture)
                break; // pictures are hex digits or \bin, never \'hh
            textBytes(&b, 1);
            break;
        }
        case T::Text:
            textBytes(t.data, t.length);
            break;
        case T::Binary:
            binaryBytes(t.data, t.length);
            break;
        case T::End:
            break;
        }
    }
done:
    flushBytes();
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        if (showing())
            m_builder.addText(top().chr, QChar(0xFFFD));
    }
    // A text box the file never closed ends with it.
    for (size_t i = m_groups.size(); i-- > 1;) {
        if (m_groups[i].textBoxOwner)
            m_shapes.groupEnding(m_groups[i]);
    }
    m_builder.finish(m_lists.listed(endingParagraph()), tableLevel());
    if (m_builder.outOfMemory())
        return outOfMemory();
    return {};
}

Failure RtfParser::outOfMemory()
{
    m_builder.abandon();
    return outOfMemoryFailure();
}

void RtfParser::groupOpen()
{
    m_ignorable = false;
    m_orphanData = 0;
    if (m_groups.size() >= size_t(RtfLimits::MaxDepth)) {
        ++m_overflowDepth;
        return;
    }
    Group g = top();
    g.styleOwner = false;
    g.pictureOwner = false;
    g.fontTableOwner = false;
    g.fieldOwner = false;
    g.nestedResultOwner = false;
    g.textBoxOwner = false;
    g.listNumberOwner = false;
    if (g.dest == Dest::StyleSheet)
        m_styleSheet.entryOpened(g);
    m_groups.push_back(g);
}

bool RtfParser::groupClose()
{
    m_ignorable = false;
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return true;
    }
    if (m_groups.size() <= 1)
        return false; // a stray brace before the document group: nothing more to read
    const Group closing = top();
    if (closing.styleOwner)
        m_styleSheet.groupEnding(closing);
    if (closing.field >= 0)
        m_fields.groupEnding(closing);
    if (closing.dest == Dest::FontTable)
        m_fontTable.groupEnding(closing);
    if (closing.pictureOwner) {
        m_pictures.groupEnding(closing);
        m_orphanData = 1;
    }
    if (closing.textBoxOwner)
        m_shapes.groupEnding(closing);
    // The document's own group closes: it stays, as in a file cut short, so the
    // paragraph the file ends without \par keeps its state (its tabs, its list).
    if (m_groups.size() == 2)
        return false;
    m_groups.pop_back();
    m_shapes.groupEnded(closing);
    if (closing.listNumberOwner)
        m_lists.groupEnded(closing);
    if (closing.field >= 0)
        m_fields.groupEnded(closing);
    if (closing.fontTableOwner)
        m_fontTable.groupEnded(closing);
    if (m_groups.size() <= 1)
        return false; // the document's own group is closed; anything after it is ignored
    return true;
}

void RtfParser::refreshFont(Group &g)
{
    // The same for a group however many changes it missed: text outside any \f is in
    // the default font, and every font's code page is what the tables say now.
    g.fontGeneration = m_fontGeneration;
    if (g.chr.font < 0 && m_fontTable.hasDefaultFont())
        g.chr.font = m_fontTable.defaultFont();
    g.chr.codePage = m_fontTable.codePage(g.chr.font);
    ++m_stateUpdates;
}

void RtfParser::skipDestination()
{
    // The whole group goes, whatever it holds, without touching the state stack.
    m_tok.skipGroup();
    if (m_overflowDepth > 0) {
        --m_overflowDepth; // the group was beyond the depth limit and has no state
        return;
    }
    if (m_groups.size() > 1) {
        const Group closing = m_groups.back();
        if (closing.textBoxOwner)
            m_shapes.groupEnding(closing);
        m_groups.pop_back();
        m_shapes.groupEnded(closing);
        m_fields.release(closing);
        if (closing.fontTableOwner)
            m_fontTable.groupEnded(closing);
    }
}

void RtfParser::controlWord(const RtfTokenizer::Token &t)
{
    m_orphanData = 0;
    const KwInfo *found = RtfKeywords::find(std::string_view(t.data, size_t(t.length)));
    const bool ignorable = m_ignorable;
    m_ignorable = false;
    if (!found) {
        if (ignorable)
            skipDestination();
        return;
    }
    const KwInfo &info = *found;
    Group &g = top();
    switch (info.route) {
    case RtfKeywords::Route::Char:
        info.setChar(g.chr, t);
        break;
    case RtfKeywords::Route::Para:
        info.setPara(g.para, t);
        break;
    case RtfKeywords::Route::Body:
        bodyWord(g, info, t);
        break;
    default:
        m_routes[size_t(info.route)]->word(g, info, t);
        break;
    }
}

void RtfParser::bodyWord(Group &g, const KwInfo &info, const RtfTokenizer::Token &t)
{
    const int p = t.parameter;
    switch (info.kw) {
    case Kw::SkipDest:
        skipDestination();
        break;
    case Kw::Footnote:
    case Kw::NoteFormat:
    case Kw::NoteStart:
        noteWord(info, t);
        break;
    case Kw::PaperSize:
    case Kw::PaperMargin:
    case Kw::Sectd:
    case Kw::Cols:
    case Kw::ColsX:
    case Kw::LineBetCol:
    case Kw::SectBreak:
    case Kw::HeaderFooter:
    case Kw::HeaderFooterY:
    case Kw::TitlePage:
        sectionWord(g, info, t);
        break;
    case Kw::Upr:
        g.uprOuter = g.dest;
        g.dest = Dest::Upr;
        break;
    case Kw::Ud:
        if (g.dest == Dest::Upr)
            g.dest = g.uprOuter;
        break;
    case Kw::Bin: {
        const RtfTokenizer::Token data = m_tok.binary(p);
        binaryBytes(data.data, data.length);
        break;
    }
    case Kw::U:
        if (t.hasParameter) {
            emitUnicode(p);
            m_fallbackSkip = g.uc;
        }
        break;
    case Kw::Uc:
        g.uc = static_cast<unsigned char>(t.hasParameter ? qBound(0, p, 16) : 1);
        break;
    case Kw::Plain: {
        const int anchor = g.chr.anchor;
        const bool label = g.chr.label;
        g.chr = m_defaultChar;
        g.chr.anchor = anchor;
        g.chr.label = label;
        break;
    }
    case Kw::Pard:
        g.para = ParaState();
        g.style = 0;
        g.contextual = false;
        g.ls = 0;
        g.ilvl = 0;
        g.intbl = false;
        g.itap = -1;
        break;
    case Kw::WidowCtrl:
        m_builder.setWidowControl(t.on());
        break;
    case Kw::NoBalancing:
        m_builder.setWideSpaceRuns(!t.on());
        break;
    case Kw::EastAsianDefaultFont:
        // LibreOffice sets no run of spaces wider in a document that names its East
        // Asian default font, unless it names one of Word's theme fonts (31500 to 31507).
        if (p < 31500 || p > 31507)
            m_builder.setWideSpaceRuns(false);
        break;
    case Kw::ContextualSpace:
        g.contextual = t.on();
        break;
    default:
        textWord(g, info);
        break;
    }
}

void RtfParser::textWord(Group &g, const KwInfo &info)
{
    switch (info.kw) {
    case Kw::Par:
    case Kw::Column: // a column break: the text after it starts a paragraph
        if (g.dest == Dest::Normal)
            paragraphBreak();
        break;
    case Kw::Page:
        if (g.dest == Dest::Normal)
            m_builder.pageBreak();
        break;
    case Kw::Line:
        emitChar(0x2028);
        break;
    case Kw::Tab:
        // A label starts at the first line's indent, as the list it stands for
        // draws it: a tab before anything of it (pandoc writes one) is not shown.
        if (g.chr.label && showing()) {
            flushBytes(); // the label's characters so far
            if (m_builder.paragraphEmpty())
                break;
        }
        emitChar('\t');
        break;
    case Kw::Sect:
        if (g.dest == Dest::Normal) {
            flushBytes();
            if (!m_builder.paragraphEmpty())
                paragraphBreak();
            m_builder.sectionBreak();
        }
        break;
    case Kw::Chftn:
        if (showing()) {
            flushBytes();
            listLabelBefore();
            m_builder.addText(g.chr, noteMark());
        }
        break;
    case Kw::Char:
        emitChar(info.ch);
        break;
    default:
        break;
    }
}

void RtfParser::controlSymbol(unsigned char c)
{
    m_orphanData = 0;
    switch (c) {
    case '\\':
    case '{':
    case '}': {
        const char b = char(c);
        m_ignorable = false;
        textBytes(&b, 1);
        break;
    }
    case '*':
        m_ignorable = true;
        break;
    case '~':
        emitChar(0x00A0);
        break;
    case '-':
        emitChar(0x00AD);
        break;
    case '_':
        emitChar(0x2011);
        break;
    case '\n':
        if (top().dest == Dest::Normal)
            paragraphBreak();
        break;
    case '\t':
        emitChar('\t');
        break;
    default:
        break; // \: \| and unknown symbols show nothing
    }
}

void RtfParser::paragraphBreak()
{
    flushBytes();
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        m_builder.addText(top().chr, QChar(0xFFFD));
    }
    if (showing())
        listLabelBefore(); // an empty item shows its label too
    m_builder.setMark(top().chr);
    const int level = tableLevel();
    m_builder.paragraphBreak(m_lists.listed(spaced(endingParagraph(), level)), level);
    m_leadingSpaces.clear(); // an item shown nowhere keeps none for the next
    m_lists.paragraphEnded();
}

void RtfParser::cellEnd(int level)
{
    flushBytes();
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        m_builder.addText(top().chr, QChar(0xFFFD));
    }
    if (showing())
        listLabelBefore();
    m_builder.setMark(top().chr);
    m_builder.cellEnd(spaced(endingParagraph(), level), level);
    m_leadingSpaces.clear(); // an item shown nowhere keeps none for the next
    m_lists.paragraphEnded();
}

int RtfParser::tableLevel() const
{
    const Group &g = m_groups.back();
    const int own = qMax(int(g.itap), g.intbl ? 1 : 0);
    // A text box's paragraphs are a cell of their own, one level below its anchor.
    return m_shapes.textBoxLevel() + own;
}

ParaState RtfParser::endingParagraph()
{
    // Word processors format a paragraph as its text was formatted, not as the state
    // stands at \par: indents and the space around it are those its first text had
    // (a group closed before \par gives them, "{\\li720 text}\\par"; pandoc's
    // "\\sa180\\par" after a list's last item gives none), and its alignment the last
    // one given, also in a group closed since ("{\\qj text}\\par", as HTML turned into
    // RTF justifies), where the state at \par has none.
    ParaState para = top().para;
    if (m_paraHasText) {
        para.leftIndent = m_firstTextPara.leftIndent;
        para.rightIndent = m_firstTextPara.rightIndent;
        para.firstIndent = m_firstTextPara.firstIndent;
        para.spaceBefore = m_firstTextPara.spaceBefore;
        para.spaceAfter = m_firstTextPara.spaceAfter;
        if (para.alignment == 0)
            para.alignment = m_lastTextAlignment;
    }
    m_paraHasText = false;
    return para;
}

ParaState RtfParser::spaced(ParaState para, int level)
{
    const Group &g = top();
    m_spacing.apply(para, level, g.style, g.contextual);
    return para;
}

void RtfParser::noteParagraphText()
{
    if (top().chr.label)
        return; // a list's label comes before the paragraph's own state (\listtext, \pntext)
    const ParaState &para = top().para;
    if (!m_paraHasText) {
        m_firstTextPara = para;
        m_paraHasText = true;
    }
    m_lastTextAlignment = para.alignment;
}
