// The file dialogs' type column in French whatever the desktop's locale (the test
// runs with an English one): folders, known types from the shared MIME database's
// French descriptions, and files the names do not tell, read back from the model
// the dialog lists its files with.
#include "platform/fileicons.h"

#include <QFile>
#include <QFileSystemModel>
#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class tst_FileTypes final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("Documents")));
        for (const char *name : {"lettre.rtf", "notes.txt", "sans-suffixe", "photo.png"}) {
            QFile file(m_dir.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }

    void typeColumn_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::newRow("folder") << "Documents" << "Dossier";
        QTest::newRow("rtf") << "lettre.rtf" << "Document RTF";
        QTest::newRow("text") << "notes.txt" << "Document texte brut";
        QTest::newRow("picture") << "photo.png" << "Image PNG";
        QTest::newRow("untold") << "sans-suffixe" << "Inconnu";
    }

    void typeColumn()
    {
        QFETCH(QString, name);
        QFETCH(QString, type);
        FileIcons icons;
        QCOMPARE(icons.type(QFileInfo(m_dir.filePath(name))), type);
        // As the dialog's list shows it.
        QFileSystemModel model;
        model.setIconProvider(&icons);
        const QModelIndex root = model.setRootPath(m_dir.path());
        QTRY_COMPARE(model.rowCount(root), 5);
        const QModelIndex row = model.index(m_dir.filePath(name), 2);
        QTRY_COMPARE(model.data(row).toString(), type);
    }

    void noEnglishWordsLeft()
    {
        FileIcons icons;
        QCOMPARE(icons.type(QFileInfo(QStringLiteral("/"))), QStringLiteral("Lecteur"));
        for (const QString &name : QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
            const QString type = icons.type(QFileInfo(m_dir.filePath(name)));
            for (const char *english : {"Folder", "unknown", "document", "File", "image"})
                QVERIFY2(!type.contains(QLatin1String(english)) || type.startsWith(QLatin1String("Document")),
                         qPrintable(type));
        }
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(tst_FileTypes)
#include "tst_filetypes.moc"
