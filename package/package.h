#pragma once

#include "base/failure.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class PartStream;
struct zip;

// A zip package of parts (Office Open XML, OpenDocument): parts are read by name
// when asked for, each within PackageLimits, and never from outside the archive.
// Part names are without a leading slash and compared without regard to case, as
// Open Packaging names are.
class Package final
{
public:
    struct Relationship
    {
        QString id;
        QString type;   // the full type URI
        QString target; // a part name, or the target as written when external
        bool external = false; // TargetMode="External", or a target outside the package
    };

    ~Package();
    Package(const Package &) = delete;
    Package &operator=(const Package &) = delete;

    // True when the bytes start as a zip archive does.
    static bool hasSignature(const QByteArray &bytes);
    // Opens the archive in bytes, which must outlive the package. Fails on an archive
    // whose directory libzip cannot read or that has more than MaxEntries entries.
    static std::unique_ptr<Package> open(const QByteArray &bytes, Failure *failure);

    bool has(const QString &name) const;
    // The name of the archive's first entry (OpenDocument's mimetype comes first).
    QString firstName() const { return m_firstName; }
    // The part's bytes, or nothing when it is missing, encrypted, damaged, larger
    // than the limits allow or lies about its size.
    std::optional<QByteArray> read(const QString &name);
    // The part as read() would give it, inflating on a thread of its own while it is
    // read; nothing when read() would refuse it before inflating. The stream must not
    // outlive the archive's bytes.
    std::unique_ptr<PartStream> stream(const QString &name);
    // The relationships of a part ("" for the package's own, _rels/.rels), each
    // target resolved against the part's folder. A target that climbs out of the
    // package is marked external, so nothing reads it.
    std::vector<Relationship> relationships(const QString &part);
    // The content type [Content_Types].xml gives the part, by override or extension.
    QString contentType(const QString &name);
    // The first part [Content_Types].xml gives a type ending with typeSuffix (any case).
    QString partWithType(QStringView typeSuffix);
    // The part the first relationship of type (matched at the URI's end) names.
    QString relatedPart(const QString &part, const QString &typeSuffix);
    // Bytes inflated so far.
    qint64 bytesRead() const { return m_bytesRead; }

    // A part name for target, relative to the folder of part; empty when it climbs out.
    static QString resolve(const QString &part, const QString &target);

private:
    Package() = default;
    void loadContentTypes();
    // The entry and its declared size when the part may be inflated.
    bool readable(const QString &name, quint64 *index, qint64 *size) const;

    zip *m_zip = nullptr;
    const char *m_archive = nullptr;
    qint64 m_archiveSize = 0;
    QHash<QString, qint64> m_index; // lower-case name -> entry
    QString m_firstName;
    qint64 m_bytesRead = 0;
    bool m_typesLoaded = false;
    QHash<QString, QString> m_overrides; // lower-case part name -> type
    QHash<QString, QString> m_defaults;  // lower-case extension -> type
};
