// The XML reading every part of a package goes through: the tokens a reader sees,
// the parts it refuses, and text and tags that straddle the pieces the bytes are
// handed over in.

#include "package/packagexml.h"
#include "package/tagscan.h"

#include <QTest>
#include <QThread>

namespace {

// The tokens of xml, one word each: "<name", "name>", "'text'"; "FAIL" at a failure.
QString tokens(const QByteArray &xml, qsizetype threadedFrom)
{
    PackageXml reader(xml, threadedFrom);
    QStringList out;
    while (reader.next()) {
        if (reader.isStart())
            out << QLatin1Char('<') + reader.name().toString();
        else if (reader.isEnd())
            out << reader.name().toString() + QLatin1Char('>');
        else if (reader.isText())
            out << QLatin1Char('\'') + reader.text().toString() + QLatin1Char('\'');
    }
    if (reader.failed())
        out << QStringLiteral("FAIL");
    return out.join(QLatin1Char(' '));
}

// The same tokens whether the reader tokenizes as it goes or a thread tokenizes
// ahead of it; "THREADED DIFFERS: ..." when they are not.
QString tokens(const QByteArray &xml)
{
    const QString inLine = tokens(xml, PackageXml::ThreadedBytes);
    const QString threaded = tokens(xml, 0);
    return inLine == threaded ? inLine : QStringLiteral("THREADED DIFFERS: ") + threaded;
}

// Both ways of reading: tokenized as the reader goes, and on a thread.
const qsizetype bothWays[] = {PackageXml::ThreadedBytes, 0};

} // namespace

class TestPackageXml final : public QObject
{
    Q_OBJECT

private slots:
    void tokens_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("expected");
        QTest::newRow("declaration, prefixes and an empty element")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<w:d xmlns:w=\"u\"><w:p/><w:t>a</w:t></w:d>")
            << QStringLiteral("<d <p p> <t 'a' t> d>");
        QTest::newRow("references") << QByteArray("<a>&lt;&gt;&amp;&apos;&quot;&#233;&#x20AC;&#x1F600;</a>")
                                    << QStringLiteral("<a '<>&'\"\u00E9\u20AC\U0001F600' a>");
        QTest::newRow("UTF-8 text") << QByteArray("<a>caf\xC3\xA9 \xE2\x82\xAC</a>") << QStringLiteral("<a 'caf\u00E9 \u20AC' a>");
        QTest::newRow("line ends") << QByteArray("<a>x\r\ny\rz</a>") << QStringLiteral("<a 'x\ny\nz' a>");
        QTest::newRow("CDATA keeps markup") << QByteArray("<a><![CDATA[<b>&amp;]]></a>") << QStringLiteral("<a '<b>&amp;' a>");
        QTest::newRow("comments and instructions pass")
            << QByteArray("<!-- c --><a><?pi x?>b<!-- <c> --></a>") << QStringLiteral("<a 'b' a>");
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF<a>b</a>") << QStringLiteral("<a 'b' a>");
        QTest::newRow("UTF-16 with its mark")
            << QByteArray("\xFF\xFE<\0a\0>\0\xE9\0<\0/\0a\0>\0", 18) << QStringLiteral("<a '\u00E9' a>");
        QTest::newRow("a declared single-byte encoding")
            << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>") << QStringLiteral("<a '\u00E9' a>");
        QTest::newRow("tags that do not match") << QByteArray("<a><b></a></b>") << QStringLiteral("<a <b FAIL");
        QTest::newRow("cut short") << QByteArray("<a><b>text") << QStringLiteral("<a <b FAIL");
        QTest::newRow("nothing") << QByteArray() << QStringLiteral("FAIL");
        QTest::newRow("text outside the root") << QByteArray("x<a/>") << QStringLiteral("FAIL");
        QTest::newRow("two roots") << QByteArray("<a/><b/>") << QStringLiteral("<a a> FAIL");
        QTest::newRow("undeclared prefix") << QByteArray("<w:a/>") << QStringLiteral("FAIL");
        QTest::newRow("repeated attribute") << QByteArray("<a x=\"1\" x=\"2\"/>") << QStringLiteral("FAIL");
        QTest::newRow("unknown entity") << QByteArray("<a>&nbsp;</a>") << QStringLiteral("<a FAIL");
        QTest::newRow("document type") << QByteArray("<!DOCTYPE a><a/>") << QStringLiteral("FAIL");
        QTest::newRow("control character") << QByteArray("<a>\x01</a>") << QStringLiteral("<a FAIL");
        QTest::newRow("reference to a control character") << QByteArray("<a>&#1;</a>") << QStringLiteral("<a FAIL");
        QTest::newRow("overlong UTF-8") << QByteArray("<a>\xC0\xAF</a>") << QStringLiteral("FAIL");
        QTest::newRow("UTF-8 surrogate") << QByteArray("<a>\xED\xA0\x80</a>") << QStringLiteral("FAIL");
        QTest::newRow("'<' in a value") << QByteArray("<a x=\"<\"/>") << QStringLiteral("FAIL");
    }
    void tokens()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, expected);
        QCOMPARE(::tokens(xml), expected);
    }

    // QXmlStreamReader compares each attribute of a tag with all before it: a tag of
    // a million attributes would hold the window for hours, so a part with a tag of
    // more than a few thousand is refused before it is read. What quotes, comments
    // and CDATA sections hold is not counted.
    void tagsOfManyAttributesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("expected");
        QByteArray attributes;
        for (int i = 0; i < 4096; ++i)
            attributes += " a" + QByteArray::number(i) + "=\"\"";
        QTest::newRow("4,096 attributes") << "<r" + attributes + "/>" << QStringLiteral("<r r>");
        QTest::newRow("4,097 attributes") << "<r" + attributes + " b=\"\"/>" << QStringLiteral("FAIL");
        QTest::newRow("a million attributes") << "<r" + QByteArray(" a=\"\"").repeated(1000000) + "/>" << QStringLiteral("FAIL");
        const QByteArray equals(100000, '=');
        QTest::newRow("signs in a value") << "<r v=\"" + equals + "\"/>" << QStringLiteral("<r r>");
        QTest::newRow("signs in a comment, text and CDATA")
            << "<r><!--" + equals + "-->" + equals + "<![CDATA[" + equals + "]]></r>"
            << QStringLiteral("<r '") + QString::fromLatin1(equals) + QStringLiteral("' '") + QString::fromLatin1(equals)
                + QStringLiteral("' r>");
    }
    void tagsOfManyAttributesAreRefused()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, expected);
        QCOMPARE(::tokens(xml), expected);
    }

    // A part counted as it inflates, in pieces cut anywhere (inside a comment's
    // opening or close, a quoted value, between a tag's signs), gives the answer
    // the whole text gives.
    void attributesCountedInPieces_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<bool>("tooMany");
        const QByteArray many = QByteArray(" a=\"\"").repeated(4097);
        QTest::newRow("a tag of too many") << "<r><e" + many + "/></r>" << true;
        QTest::newRow("as many in a comment") << "<r><!-- <e" + many + "/> --></r>" << false;
        QTest::newRow("in CDATA") << "<r><![CDATA[<e" + many + "/>]]></r>" << false;
        QTest::newRow("in an instruction") << "<?x <e" + many + "/> ?><r/>" << false;
        QTest::newRow("in a value") << "<r v='" + QByteArray(5000, '=') + "\"'/>" << false;
        QTest::newRow("after a comment") << "<r><!-- - -- -> --><e" + many + "/></r>" << true;
        QTest::newRow("after CDATA") << "<r><![CDATA[]] ]>]]><e" + many + "/></r>" << true;
        QTest::newRow("unclosed comment") << "<r><!--" + many << false;
        QTest::newRow("unclosed tag") << "<r" + many << true;
    }
    void attributesCountedInPieces()
    {
        QFETCH(QByteArray, xml);
        QFETCH(bool, tooMany);
        QCOMPARE(TagScan().tooManyAttributes(xml.constData(), xml.size(), true), tooMany);
        for (const qsizetype piece : {1, 2, 3, 7, 64, 4099}) {
            TagScan scan;
            bool found = false;
            for (qsizetype end = piece; !found && end < xml.size(); end += piece)
                found = scan.tooManyAttributes(xml.constData(), end, false);
            if (!found)
                found = scan.tooManyAttributes(xml.constData(), xml.size(), true);
            QVERIFY2(found == tooMany, qPrintable(QStringLiteral("pieces of %1").arg(piece)));
        }
    }

    void attributesByLocalNameAndNamespace()
    {
        for (const qsizetype threadedFrom : bothWays)
            attributesByLocalNameAndNamespace(threadedFrom);
    }
    void attributesByLocalNameAndNamespace(qsizetype threadedFrom)
    {
        PackageXml xml("<r xmlns:a=\"urn:x:one\" xmlns:b=\"urn:x:two\"><e a:v=\"1\" b:v=\"2\" w=\"&amp;\r\n&#9;y\"/></r>",
                       threadedFrom);
        while (xml.next() && !(xml.isStart() && xml.name() == QLatin1String("e"))) {
        }
        QCOMPARE(xml.name(), QStringLiteral("e"));
        QCOMPARE(xml.attribute(u"v"), QStringLiteral("1"));
        QCOMPARE(xml.attribute(u"two", u"v"), QStringLiteral("2"));
        QCOMPARE(xml.attribute(u"one", u"v"), QStringLiteral("1"));
        QCOMPARE(xml.attribute(u"three", u"v"), QString());
        // Line ends and tabs in a value are blanks; a character reference stays itself.
        QCOMPARE(xml.attribute(u"w"), QStringLiteral("& \ty"));
        QCOMPARE(xml.attributeCount(), 3);
        QCOMPARE(xml.depth(), 2);
        QVERIFY(xml.next());
        QVERIFY(xml.isEnd());
        QCOMPARE(xml.depth(), 1);
    }

    void namespacesInScope()
    {
        // A prefix bound again inside an element, and the default namespace, hold
        // only within it.
        for (const qsizetype threadedFrom : bothWays) {
            PackageXml xml("<p:a xmlns:p=\"urn:one\" xmlns=\"urn:dflt\"><p:b xmlns:p=\"urn:two\"/><p:c/><d/></p:a>",
                           threadedFrom);
            QStringList seen;
            while (xml.next()) {
                if (xml.isStart() || xml.isEnd())
                    seen << xml.name().toString() + QLatin1Char('=') + xml.ns().toString();
            }
            QVERIFY(!xml.failed());
            QCOMPARE(seen.join(QLatin1Char(' ')),
                     QStringLiteral("a=urn:one b=urn:two b=urn:two c=urn:one c=urn:one d=urn:dflt d=urn:dflt a=urn:one"));
        }
    }

    void depthIsBounded()
    {
        QByteArray deep = QByteArray("<a>").repeated(256) + QByteArray("</a>").repeated(256);
        QString all = ::tokens(deep);
        QVERIFY(!all.endsWith(QLatin1String("FAIL")));
        deep = QByteArray("<a>").repeated(257) + QByteArray("</a>").repeated(257);
        QVERIFY(::tokens(deep).endsWith(QLatin1String("FAIL")));
    }

    // The bytes reach the XML reader a few kilobytes at a time, and the tokens come
    // from the thread a few thousand at a time: a long run of text, a tag and its
    // attributes across the pieces' edges come whole.
    void piecesJoinUp()
    {
        for (const qsizetype threadedFrom : bothWays)
            piecesJoinUp(threadedFrom);
    }
    void piecesJoinUp(qsizetype threadedFrom)
    {
        const QString text = QStringLiteral("caf\u00E9 ").repeated(40000);
        QByteArray xml = "<r xmlns:x=\"urn:x\">";
        for (int i = 0; i < 3000; ++i)
            xml += "<e x:n=\"" + QByteArray::number(i) + "\" v=\"\u00E9t\u00E9\"/>";
        xml += "<t>" + text.toUtf8() + "</t></r>";
        PackageXml reader(xml, threadedFrom);
        int elements = 0;
        bool attributesRight = true;
        QString read;
        while (reader.next()) {
            if (reader.isStart() && reader.name() == QLatin1String("e")) {
                attributesRight = attributesRight && reader.attribute(u"x", u"n") == QString::number(elements)
                    && reader.attribute(u"v") == QStringLiteral("\u00E9t\u00E9");
                ++elements;
            } else if (reader.isText()) {
                read += reader.text();
            }
        }
        QVERIFY(!reader.failed());
        QCOMPARE(elements, 3000);
        QVERIFY(attributesRight);
        QCOMPARE(read.size(), text.size());
        QCOMPARE(read, text);
    }

    void skipGoesToTheElementsEnd()
    {
        for (const qsizetype threadedFrom : bothWays) {
            PackageXml xml("<r><s><t>x</t><u/></s><v/></r>", threadedFrom);
            while (xml.next() && !(xml.isStart() && xml.name() == QLatin1String("s"))) {
            }
            QCOMPARE(xml.name(), QStringLiteral("s"));
            xml.skip();
            QVERIFY(xml.isEnd());
            QCOMPARE(xml.name(), QStringLiteral("s"));
            QVERIFY(xml.next());
            QCOMPARE(xml.name(), QStringLiteral("v"));
        }
    }

    // A failure far into a part tokenized on a thread comes after every token
    // before it; a reader that leaves early stops the thread, which has filled
    // all the room it is given and waits.
    void threadedFailureAndEarlyLeave()
    {
        const QByteArray many = QByteArray("<p><t>word</t></p>").repeated(200000);
        const QByteArray deep = QByteArray("<a>").repeated(257);
        PackageXml failing("<r>" + many + deep, 0);
        int texts = 0;
        while (failing.next())
            texts += failing.isText() ? 1 : 0;
        QCOMPARE(texts, 200000);
        QVERIFY(failing.failed());
        QCOMPARE(failing.errorString(), QStringLiteral("elements nested too deep"));

        PackageXml leaving("<r>" + many + "</r>", 0);
        for (int i = 0; i < 7 && leaving.next(); ++i) {
        }
        QCOMPARE(leaving.name(), QStringLiteral("p"));
        QThread::msleep(50);
    }
};

QTEST_APPLESS_MAIN(TestPackageXml)
#include "tst_packagexml.moc"
