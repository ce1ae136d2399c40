#pragma once

// The table-heavy report the benchmarks open: bench_rtfload times reading it,
// bench_layout scrolls through it.

#include <QByteArray>
#include <QFile>
#include <QString>

// A report as word processors write one: rows of six bordered cells, a shaded bold
// header row every 40 rows. The second file has the same text, each cell a paragraph.
inline bool makeReport(const QString &dir, qint64 size)
{
    QFile tables(dir + QStringLiteral("/report-tables.rtf"));
    QFile paragraphs(dir + QStringLiteral("/report-paragraphs.rtf"));
    if (!tables.open(QIODevice::WriteOnly) || !paragraphs.open(QIODevice::WriteOnly))
        return false;
    const QByteArray header = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
                              "{\\colortbl;\\red0\\green0\\blue0;\\red217\\green217\\blue217;}\\deftab720\n";
    tables.write(header);
    paragraphs.write(header);
    static const char *const names[] = {"Martin", "Bernard", "Dubois", "Thomas", "Robert", "Richard",
                                        "Petit", "Durand", "Leroy", "Moreau", "Simon", "Laurent"};
    static const char *const words[] = {"livraison", "facture", "commande", "retour", "contrat", "devis",
                                        "entretien", "pièces", "transport", "remise", "acompte", "solde"};
    static const char *const states[] = {"payé", "en attente", "annulé", "relancé"};
    static const int widths[] = {1300, 1300, 2000, 3200, 1300, 1200};
    quint32 seed = 12345;
    auto next = [&seed](quint32 n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    const QByteArray border = "\\brdrs\\brdrw10 ";
    for (int row = 0; tables.size() < size; ++row) {
        const bool head = row % 40 == 0;
        QByteArray def = "\\trowd\\trgaph108\\trleft-108\\trbrdrt" + border + "\\trbrdrl" + border + "\\trbrdrb" + border
            + "\\trbrdrr" + border + "\\trbrdrh" + border + "\\trbrdrv" + border;
        int x = -108;
        for (const int w : widths) {
            x += w;
            def += "\\clvertalt\\clbrdrt" + border + "\\clbrdrl" + border + "\\clbrdrb" + border + "\\clbrdrr" + border
                + (head ? "\\clcbpat2" : "") + "\\cellx" + QByteArray::number(x);
        }
        QByteArrayList cells;
        if (head) {
            cells = {"Référence", "Date", "Client", "Objet", "Montant", "État"};
        } else {
            QByteArray what;
            for (quint32 k = 0, n = 3 + next(6); k < n; ++k)
                what += QByteArray(k ? " " : "") + words[next(12)];
            cells = {"R-" + QByteArray::number(100000 + row), "2024-" + QByteArray::number(10 + next(3)) + "-"
                         + QByteArray::number(10 + next(19)),
                     QByteArray(names[next(12)]) + " " + names[next(12)], what,
                     QByteArray::number(next(9000) + 10) + "," + QByteArray::number(10 + next(90)) + " EUR",
                     states[next(4)]};
        }
        const QByteArray font = head ? "\\f0\\fs20\\b " : "\\f0\\fs20 ";
        QByteArray t = def + "\n";
        for (const QByteArray &c : cells) {
            const QByteArray text = QString::fromUtf8(c).toLatin1();
            t += "\\pard\\plain\\intbl\\ql" + font + text + "\\cell\n";
            paragraphs.write("\\pard\\plain\\ql" + font + text + "\\par\n");
        }
        tables.write(t + "\\row\n");
    }
    tables.write("\\pard\\plain\\par}");
    paragraphs.write("\\pard\\plain\\par}");
    return true;
}
