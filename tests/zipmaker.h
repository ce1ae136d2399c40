#pragma once

// Packages made for tests with libzip: entries stored or deflated, written to bytes.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <zip.h>

struct ZipEntry
{
    QString name;
    QByteArray data;
    bool deflate = true;
};

inline QByteArray makeZip(const QList<ZipEntry> &entries)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *out = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(out);
    zip_t *archive = zip_open_from_source(out, ZIP_TRUNCATE, &error);
    for (const ZipEntry &e : entries) {
        // libzip copies nothing until it closes: the data must stay until then.
        zip_source_t *s = zip_source_buffer(archive, e.data.constData(), zip_uint64_t(e.data.size()), 0);
        const zip_int64_t index = zip_file_add(archive, e.name.toUtf8().constData(), s, ZIP_FL_ENC_UTF_8);
        zip_set_file_compression(archive, zip_uint64_t(index), e.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
    }
    zip_close(archive);
    QByteArray bytes;
    zip_stat_t st;
    zip_source_stat(out, &st);
    if (zip_source_open(out) == 0) {
        bytes.resize(qsizetype(st.size));
        zip_source_read(out, bytes.data(), st.size);
        zip_source_close(out);
    }
    zip_source_free(out);
    zip_error_fini(&error);
    return bytes;
}

// A Word package around a body's XML (the w: namespace declared), with optional
// styles and numbering parts and further entries.
inline QByteArray makeDocx(const QByteArray &body, const QByteArray &styles = {}, const QByteArray &numbering = {},
                           QList<ZipEntry> more = {}, const QByteArray &documentRels = {})
{
    const QByteArray ns = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
                          "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
                          "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
                          "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
                          "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"";
    QList<ZipEntry> entries;
    entries << ZipEntry{"[Content_Types].xml",
                        "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                        "<Default Extension=\"png\" ContentType=\"image/png\"/>"
                        "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
                        "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>"}
            << ZipEntry{"_rels/.rels",
                        "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                        "officeDocument\" Target=\"word/document.xml\"/></Relationships>"}
            << ZipEntry{"word/document.xml", "<?xml version=\"1.0\"?><w:document " + ns + "><w:body>" + body + "</w:body></w:document>"};
    QByteArray rels = "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    if (!styles.isEmpty()) {
        entries << ZipEntry{"word/styles.xml", "<?xml version=\"1.0\"?><w:styles " + ns + ">" + styles + "</w:styles>"};
        rels += "<Relationship Id=\"rIdS\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>";
    }
    if (!numbering.isEmpty()) {
        entries << ZipEntry{"word/numbering.xml", "<?xml version=\"1.0\"?><w:numbering " + ns + ">" + numbering + "</w:numbering>"};
        rels += "<Relationship Id=\"rIdN\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/numbering\" Target=\"numbering.xml\"/>";
    }
    rels += documentRels + "</Relationships>";
    entries << ZipEntry{"word/_rels/document.xml.rels", rels};
    entries << more;
    return makeZip(entries);
}

// An OpenDocument text package around the office:text content, with a settings part
// where one is given.
inline QByteArray makeOdt(const QByteArray &text, const QByteArray &automaticStyles = {}, const QByteArray &styles = {},
                          const QByteArray &fontFaces = {}, const QByteArray &settings = {})
{
    const QByteArray ns = "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                          "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                          "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
                          "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
                          "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
                          "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
                          "xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                          "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\"";
    QList<ZipEntry> entries;
    entries << ZipEntry{"mimetype", "application/vnd.oasis.opendocument.text", false}
            << ZipEntry{"content.xml", "<?xml version=\"1.0\"?><office:document-content " + ns + "><office:automatic-styles>"
                                           + automaticStyles + "</office:automatic-styles><office:body><office:text>" + text
                                           + "</office:text></office:body></office:document-content>"}
            << ZipEntry{"styles.xml", "<?xml version=\"1.0\"?><office:document-styles " + ns + "><office:font-face-decls>"
                                          + fontFaces + "</office:font-face-decls><office:styles>" + styles
                                          + "</office:styles></office:document-styles>"};
    if (!settings.isEmpty())
        entries << ZipEntry{"settings.xml", settings};
    return makeZip(entries);
}
