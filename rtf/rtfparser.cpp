#include "rtf/rtfparser.h"

#include "model/limits.h"
#include "rtf/rtfheaderfooter.h"
#include "rtf/rtfkeywords.h"
#include "rtf/rtflimits.h"

#include <QTextDocument>

#include <string_view>

using RtfKeywords::Kw;
using RtfKeywords::KwInfo;

namespace {

inline int twips(const RtfTokenizer::Token &t)
{
    return t.hasParameter ? qBound(-ModelLimits::MaxTwips, t.parameter, ModelLimits::MaxTwips) : 0;
}

} // namespace

RtfParser::RtfParser(const QByteArray &data, qsizetype start, QTextDocument *doc)
    : m_tok(data, start)
    , m_builder(doc)
{
    m_groups.reserve(64);
    m_defaultChar.codePage = m_docCodePage;
    Group root;
    root.chr = m_defaultChar;
    m_groups.push_back(root);
    m_builder.colors.push_back(QColor()); // index 0 is the automatic colour until a table says more
    // RTF's rows carry their own edges, which LibreOffice lays on the last row's width.
    m_builder.tableGridRule = DocTable::GridRule::LastRowWidth;
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
            endTextBox(m_groups[i]);
    }
    m_builder.finish(listed(endingParagraph()), tableLevel());
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
    if (g.dest == Dest::StyleSheet) {
        g.dest = Dest::StyleEntry;
        g.styleOwner = true;
        g.chr = m_defaultChar;
        g.para = ParaState();
        m_styleNumber = 0;
        m_styleKind = 0;
        m_styleBasedOn = -1;
    }
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
        storeStyle(closing);
    if (closing.nestedResultOwner && size_t(closing.field) < m_fields.size()) {
        flushInstruction();
        Field &parent = m_fields[size_t(closing.field)];
        if (!parent.nestedResults.empty())
            parent.nestedResults.back().second = parent.instruction.size();
    }
    if (closing.dest == Dest::FontTable && m_fontOpen)
        finishFont();
    if (closing.pictureOwner) {
        finishPicture();
        m_orphanData = 1;
    }
    if (closing.field >= 0 && !closing.fieldOwner && closing.dest != Dest::FieldInst) {
        Field &field = m_fields[size_t(closing.field)]; // the result's own group closes last
        field.resultChr = closing.chr;
        field.hasResultChr = true;
    }
    if (closing.textBoxOwner)
        endTextBox(closing);
    m_groups.pop_back();
    if (!m_shapes.empty() || m_shapePictureFrom)
        shapeGroupsClosed();
    if (closing.listNumberOwner)
        listNumberEnded();
    if (closing.fieldOwner)
        finishField(closing);
    releaseField(closing);
    if (closing.fontTableOwner)
        afterFontTable();
    if (m_groups.size() <= 1)
        return false; // the document's own group is closed; anything after it is ignored
    return true;
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
            endTextBox(closing);
        m_groups.pop_back();
        if (!m_shapes.empty() || m_shapePictureFrom)
            shapeGroupsClosed();
        releaseField(closing);
        if (closing.fontTableOwner)
            afterFontTable();
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
    const KwInfo info = *found;
    if (info.kw >= Kw::Intbl && info.kw <= Kw::DefTab) {
        tableWord(info, t);
        return;
    }
    if (info.kw >= Kw::ListTable && info.kw <= Kw::Ilvl) {
        listWord(info, t);
        return;
    }
    Group &g = top();
    const int p = t.parameter;

    switch (info.kw) {
    case Kw::Unknown:
        break;
    case Kw::SkipDest:
        skipDestination();
        break;
    case Kw::Footnote:
    case Kw::NoteFormat:
    case Kw::NoteStart:
        noteWord(info, t);
        break;
    case Kw::FontTable:
        g.dest = Dest::FontTable;
        g.fontTableOwner = true;
        break;
    case Kw::ColorTable:
        g.dest = Dest::ColorTable;
        m_builder.colors.clear();
        m_red = m_green = m_blue = 0;
        m_colorSet = false;
        break;
    case Kw::StyleSheet:
        g.dest = Dest::StyleSheet;
        break;
    case Kw::Field:
        // A second \field in the same group replaces the first, which nothing names
        // any more.
        if (g.fieldOwner && size_t(g.field) + 1 == m_fields.size()) {
            flushInstruction();
            m_fields.back() = fieldIn(g);
        } else {
            m_fields.push_back(fieldIn(g));
        }
        g.field = int(m_fields.size()) - 1;
        g.fieldOwner = true;
        break;
    case Kw::FldInst:
        if (g.field < 0) {
            m_fields.push_back(fieldIn(g));
            g.field = int(m_fields.size()) - 1;
        }
        g.dest = Dest::FieldInst;
        break;
    case Kw::FldRslt:
        if (g.field >= 0 && !g.fieldOwner && m_fields[size_t(g.field)].outer == Dest::FieldInst) {
            // A field inside another's instruction: its result is part of that
            // instruction, which shows it where the outer field has no result.
            const int parent = m_fields[size_t(g.field)].parent;
            if (parent >= 0 && size_t(parent) < size_t(g.field)) {
                flushInstruction();
                g.field = parent;
                g.nestedResultOwner = true;
                Field &outer = m_fields[size_t(parent)];
                if (outer.nestedResults.size() < size_t(RtfLimits::MaxNestedResults))
                    outer.nestedResults.push_back({outer.instruction.size(), outer.instruction.size()});
            }
            g.dest = Dest::FieldInst;
        } else if (g.field >= 0) {
            Field &field = m_fields[size_t(g.field)];
            g.dest = field.outer;
            if (field.resultStart < 0) {
                flushBytes();
                flushInstruction();
                field.resultStart = m_builder.written();
                field.anchor = hyperlinkAnchor(field.instruction);
            }
            // A field may repeat its result: every one links to the same target.
            if (field.anchor >= 0)
                g.chr.anchor = field.anchor;
        }
        break;
    case Kw::Pict:
        startPicture(g);
        break;
    case Kw::Upr:
        g.uprOuter = g.dest;
        g.dest = Dest::Upr;
        break;
    case Kw::Ud:
        if (g.dest == Dest::Upr)
            g.dest = g.uprOuter;
        break;
    case Kw::ListText:
        g.chr.label = true;
        break;
    case Kw::Pn:
        if (g.dest != Dest::Normal) {
            skipDestination();
            break;
        }
        g.dest = Dest::ListNumber;
        g.listNumberOwner = true;
        m_pnFont = -1;
        m_pnBullet = false;
        m_pnText.clear();
        break;
    case Kw::PnTextBefore:
        if (g.dest == Dest::ListNumber)
            g.dest = Dest::PnText;
        else
            skipDestination();
        break;
    case Kw::PnFont:
        if (g.dest == Dest::ListNumber)
            m_pnFont = p;
        break;
    case Kw::PnBullet:
        if (g.dest == Dest::ListNumber)
            m_pnBullet = true;
        break;
    case Kw::ShpPict:
        break;
    case Kw::Bin: {
        const RtfTokenizer::Token data = m_tok.binary(t.hasParameter ? p : 0);
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
    case Kw::Ansi:
    case Kw::Mac:
    case Kw::Pc:
    case Kw::Pca:
    case Kw::AnsiCpg: {
        int cp = 1252;
        if (info.kw == Kw::Mac)
            cp = 10000;
        else if (info.kw == Kw::Pc)
            cp = 437;
        else if (info.kw == Kw::Pca)
            cp = 850;
        else if (info.kw == Kw::AnsiCpg)
            cp = CodePage::normalise(t.hasParameter ? p : 1252);
        m_docCodePage = cp;
        m_defaultChar.codePage = fontCodePage(m_defaultChar.font);
        fontsChanged();
        break;
    }
    case Kw::Deff:
        m_defaultFont = t.hasParameter ? p : 0;
        if (!m_fonts.isEmpty())
            afterFontTable(); // written after the font table by some producers
        break;
    case Kw::F:
        if (g.dest == Dest::FontTable) {
            startFont(t.hasParameter ? p : 0);
        } else {
            if (g.dest == Dest::ListTable && m_listContext == 2 && !m_lists.back().levels.empty())
                m_lists.back().levels.back().font = t.hasParameter ? p : 0;
            g.chr.font = t.hasParameter ? p : 0;
            g.chr.codePage = fontCodePage(g.chr.font);
            if (g.chr.charClass == 2)
                g.chr.eastern = g.chr.font;
            else
                g.chr.western = -1;
        }
        break;
    case Kw::Loch:
    case Kw::Ltrch:
        g.chr.charClass = 0;
        break;
    case Kw::Hich:
        g.chr.charClass = 1;
        break;
    case Kw::Dbch:
        g.chr.charClass = 2;
        break;
    case Kw::Rtlch:
        g.chr.charClass = 3;
        break;
    case Kw::Af:
        // Associated fonts: Latin (\loch) and East Asian (\dbch) text each keep
        // their own; the code page still follows \f, which the bytes are written in.
        if (g.dest != Dest::Normal && g.dest != Dest::StyleEntry)
            break;
        if (g.chr.charClass == 0)
            g.chr.western = t.hasParameter ? p : 0;
        else if (g.chr.charClass == 2)
            g.chr.eastern = t.hasParameter ? p : 0;
        break;
    case Kw::FCharset:
        if (g.dest == Dest::FontTable && m_fontOpen)
            m_fonts[m_currentFont].charset = t.hasParameter ? p : 0;
        break;
    case Kw::Cpg:
        if (g.dest == Dest::FontTable && m_fontOpen)
            m_fonts[m_currentFont].cpg = t.hasParameter ? p : 0;
        break;
    case Kw::Red:
    case Kw::Green:
    case Kw::Blue:
        if (g.dest == Dest::ColorTable) {
            const int v = t.hasParameter ? qBound(0, p, 255) : 0;
            (info.kw == Kw::Red ? m_red : info.kw == Kw::Green ? m_green : m_blue) = v;
            m_colorSet = true;
        }
        break;
    case Kw::S:
        if (g.dest == Dest::StyleEntry) {
            m_styleNumber = t.hasParameter ? p : 0;
            m_styleKind = 0;
        } else if (g.dest == Dest::Normal && m_paraStyles.contains(t.hasParameter ? p : 0)) {
            g.para = ParaState();
            applyStyle(g, m_paraStyles, t.hasParameter ? p : 0, 0);
        }
        break;
    case Kw::SBasedOn:
        if (g.dest == Dest::StyleEntry)
            m_styleBasedOn = t.hasParameter ? p : -1;
        break;
    case Kw::Cs:
        if (g.dest == Dest::StyleEntry) {
            m_styleNumber = t.hasParameter ? p : 0;
            m_styleKind = 1;
        } else if (g.dest == Dest::Normal) {
            applyStyle(g, m_charStyles, t.hasParameter ? p : 0, 0);
        }
        break;
    case Kw::Ds:
    case Kw::Ts:
        if (g.dest == Dest::StyleEntry)
            m_styleKind = 2;
        break;
    case Kw::Plain: {
        const int anchor = g.chr.anchor;
        const bool label = g.chr.label;
        g.chr = m_defaultChar;
        g.chr.anchor = anchor;
        g.chr.label = label;
        break;
    }
    case Kw::B:
        g.chr.bold = t.on();
        break;
    case Kw::I:
        g.chr.italic = t.on();
        break;
    case Kw::Ul:
        g.chr.underline = t.on() ? QTextCharFormat::SingleUnderline : QTextCharFormat::NoUnderline;
        break;
    case Kw::UlDb:
        // Qt has no double underline: a value of our own, which the builder draws
        // as a single one and marks for the layout to double.
        g.chr.underline = t.on() ? CharState::DoubleUnderline : (unsigned char)QTextCharFormat::NoUnderline;
        break;
    case Kw::Uld:
        g.chr.underline = t.on() ? QTextCharFormat::DotLine : QTextCharFormat::NoUnderline;
        break;
    case Kw::UlDash:
        g.chr.underline = t.on() ? QTextCharFormat::DashUnderline : QTextCharFormat::NoUnderline;
        break;
    case Kw::UlDashD:
        g.chr.underline = t.on() ? QTextCharFormat::DashDotLine : QTextCharFormat::NoUnderline;
        break;
    case Kw::UlDashDD:
        g.chr.underline = t.on() ? QTextCharFormat::DashDotDotLine : QTextCharFormat::NoUnderline;
        break;
    case Kw::UlWave:
        g.chr.underline = t.on() ? QTextCharFormat::WaveUnderline : QTextCharFormat::NoUnderline;
        break;
    case Kw::UlNone:
        g.chr.underline = QTextCharFormat::NoUnderline;
        break;
    case Kw::Strike:
    case Kw::StrikeD:
        g.chr.strike = t.on();
        break;
    case Kw::Fs:
        // Half-points; zero or absurd sizes would make the layout useless.
        g.chr.size = (t.hasParameter && p > 0) ? qBound(2, p, 3276) : 24;
        break;
    case Kw::Cf:
        g.chr.color = t.hasParameter ? qMax(0, p) : 0;
        break;
    case Kw::Cb:
    case Kw::Highlight:
        g.chr.background = t.hasParameter ? qMax(0, p) : 0;
        break;
    case Kw::Super:
        g.chr.vertical = t.on() ? 1 : 0;
        break;
    case Kw::Sub:
        g.chr.vertical = t.on() ? 2 : 0;
        break;
    case Kw::NoSuperSub:
        g.chr.vertical = 0;
        break;
    case Kw::Up:
        g.chr.vertical = (!t.hasParameter || p > 0) ? 1 : 0;
        break;
    case Kw::Dn:
        g.chr.vertical = (!t.hasParameter || p > 0) ? 2 : 0;
        break;
    case Kw::V:
        g.chr.hidden = t.on();
        break;
    case Kw::Deleted:
        g.chr.deleted = t.on();
        break;
    // All capitals and small capitals are apart: Word writes \scaps\caps0 for small
    // capitals.
    case Kw::Caps:
        g.chr.caps = static_cast<unsigned char>(t.on() ? g.chr.caps | 1 : g.chr.caps & ~1);
        break;
    case Kw::SCaps:
        g.chr.caps = static_cast<unsigned char>(t.on() ? g.chr.caps | 2 : g.chr.caps & ~2);
        break;
    case Kw::Par:
    case Kw::Column: // a column break: the text after it starts a paragraph
        if (g.dest == Dest::Normal)
            paragraphBreak();
        break;
    case Kw::Pard:
        g.para = ParaState();
        g.ls = 0;
        g.ilvl = 0;
        g.intbl = false;
        g.itap = -1;
        break;
    case Kw::Ql:
        g.para.alignment = 0;
        break;
    case Kw::Qc:
        g.para.alignment = 1;
        break;
    case Kw::Qr:
        g.para.alignment = 2;
        break;
    case Kw::Qj:
        g.para.alignment = 3;
        break;
    case Kw::Li:
        g.para.leftIndent = twips(t);
        break;
    case Kw::Ri:
        g.para.rightIndent = twips(t);
        break;
    case Kw::Fi:
        g.para.firstIndent = twips(t);
        break;
    case Kw::Sb:
        g.para.spaceBefore = qMax(0, twips(t));
        break;
    case Kw::Sa:
        g.para.spaceAfter = qMax(0, twips(t));
        break;
    case Kw::Sl:
        // Beyond ten lines or below a tenth of one, spacing is noise, not layout.
        g.para.lineSpacing = t.hasParameter && qAbs(p) >= 24 && qAbs(p) <= 2400 ? p : 0;
        break;
    case Kw::SlMult:
        g.para.lineMultiple = t.on();
        break;
    case Kw::PageBB:
        g.para.pageBreakBefore = t.on();
        break;
    case Kw::KeepN:
        g.para.keepNext = t.on();
        break;
    case Kw::WidCtlPar:
        g.para.widows = static_cast<signed char>(info.ch);
        break;
    case Kw::WidowCtrl:
        m_builder.setWidowControl(t.on());
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
    case Kw::PaperSize:
    case Kw::PaperMargin:
    case Kw::Sectd:
    case Kw::Cols:
    case Kw::ColsX:
    case Kw::LineBetCol:
    case Kw::SectBreak:
    case Kw::HeaderFooterY:
    case Kw::TitlePage:
        if (g.dest == Dest::Normal)
            sectionWord(info, t);
        break;
    case Kw::HeaderFooter:
        // Not shown; its height is read on a copy of the tokenizer, then it is skipped.
        if (g.dest == Dest::Normal) {
            m_section.bands[info.ch % 8] = RtfHeaderFooter::height(m_tok, page(0) - page(2) - page(3));
            columnsChanged();
        }
        skipDestination();
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
    case Kw::PngBlip:
    case Kw::JpegBlip:
    case Kw::EmfBlip:
    case Kw::WmfBlip:
    case Kw::MacPict:
    case Kw::PmMetafile:
    case Kw::DibBitmap:
    case Kw::WBitmap:
        // A picture whose \pict was lost: the group is still the picture, and its
        // hex data no text.
        if (g.dest == Dest::Normal) {
            startPicture(g);
            if (top().dest != Dest::Picture)
                break;
        }
        [[fallthrough]];
    case Kw::WbmBitsPixel:
    case Kw::WbmWidthBytes:
    case Kw::PicW:
    case Kw::PicH:
    case Kw::PicWGoal:
    case Kw::PicHGoal:
    case Kw::PicScaleX:
    case Kw::PicScaleY:
        if (g.dest == Dest::Picture)
            pictureWord(info.kw, t);
        break;
    case Kw::Shp:
    case Kw::ShpInst:
    case Kw::ShpRslt:
    case Kw::ShpTxt:
    case Kw::ShpLeft:
    case Kw::ShpRight:
    case Kw::DpXSize:
    case Kw::Sp:
    case Kw::Sn:
    case Kw::Sv:
        shapeWord(info.kw, t);
        break;
    default:
        break; // the table words, read by tableWord()
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
    m_builder.paragraphBreak(listed(endingParagraph()), tableLevel());
    m_paraLabelDone = false;
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
