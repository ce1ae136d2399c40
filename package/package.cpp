#include "package/package.h"

#include "package/packagelimits.h"
#include "package/packagexml.h"
#include "package/partstream.h"

#include <zip.h>

namespace {

Failure invalid(const QString &why)
{
    return {FailureNumber::InvalidFormat, QStringLiteral("L'archive est illisible (%1).").arg(why)};
}

QString key(const QString &name)
{
    QString k = name.toLower();
    if (k.startsWith(QLatin1Char('/')))
        k.remove(0, 1);
    return k;
}

} // namespace

Package::~Package()
{
    if (m_zip)
        zip_discard(m_zip);
}

bool Package::hasSignature(const QByteArray &bytes)
{
    return bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06");
}

std::unique_ptr<Package> Package::open(const QByteArray &bytes, Failure *failure)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &error);
    if (!source) {
        *failure = invalid(QString::fromUtf8(zip_error_strerror(&error)));
        zip_error_fini(&error);
        return nullptr;
    }
    zip_t *archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!archive) {
        *failure = invalid(QString::fromUtf8(zip_error_strerror(&error)));
        zip_error_fini(&error);
        zip_source_free(source);
        return nullptr;
    }
    zip_error_fini(&error);
    std::unique_ptr<Package> package(new Package);
    package->m_zip = archive;
    package->m_archive = bytes.constData();
    package->m_archiveSize = bytes.size();
    const zip_int64_t entries = zip_get_num_entries(archive, 0);
    if (entries < 0 || entries > PackageLimits::MaxEntries) {
        *failure = invalid(QStringLiteral("%1 entrées").arg(entries));
        return nullptr;
    }
    package->m_index.reserve(qsizetype(entries));
    for (zip_int64_t i = 0; i < entries; ++i) {
        const char *name = zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!name)
            continue;
        const QString n = QString::fromUtf8(name);
        if (i == 0)
            package->m_firstName = n;
        // The first of two entries of the same name is the part, as a reader that
        // looks names up in the central directory finds it.
        package->m_index.insert(key(n), i);
    }
    *failure = {};
    return package;
}

bool Package::has(const QString &name) const
{
    return m_index.contains(key(name));
}

bool Package::readable(const QString &name, quint64 *index, qint64 *size) const
{
    const auto it = m_index.constFind(key(name));
    if (it == m_index.constEnd())
        return false;
    *index = zip_uint64_t(it.value());
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_zip, *index, 0, &st) != 0)
        return false;
    const zip_uint64_t need = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_ENCRYPTION_METHOD;
    if ((st.valid & need) != need || st.encryption_method != ZIP_EM_NONE)
        return false;
    *size = qint64(qMin<zip_uint64_t>(st.size, zip_uint64_t(PackageLimits::MaxPartBytes) + 1));
    if (*size > PackageLimits::MaxPartBytes || m_bytesRead + *size > PackageLimits::MaxTotalBytes)
        return false;
    if (*size > PackageLimits::RatioFloor && zip_uint64_t(*size) / PackageLimits::MaxRatio > st.comp_size)
        return false;
    return true;
}

std::optional<QByteArray> Package::read(const QString &name)
{
    quint64 index = 0;
    qint64 size = 0;
    if (!readable(name, &index, &size))
        return std::nullopt;
    zip_file_t *file = zip_fopen_index(m_zip, index, 0);
    if (!file)
        return std::nullopt;
    // One byte more than the directory says: an entry that inflates to more lies
    // about its size, and is not read further.
    QByteArray data(qsizetype(size) + 1, Qt::Uninitialized);
    qint64 got = 0;
    bool ok = true;
    while (got < data.size()) {
        const zip_int64_t n = zip_fread(file, data.data() + got, zip_uint64_t(data.size() - got));
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        got += n;
    }
    zip_fclose(file);
    m_bytesRead += got;
    if (!ok || got != size)
        return std::nullopt;
    data.truncate(qsizetype(size));
    return data;
}

std::unique_ptr<PartStream> Package::stream(const QString &name)
{
    quint64 index = 0;
    qint64 size = 0;
    if (!readable(name, &index, &size))
        return nullptr;
    // Counted whole at once: the inflation either gives that many bytes or fails.
    m_bytesRead += size;
    std::unique_ptr<PartStream> stream(
        new PartStream(m_archive, m_archiveSize, index, size, QByteArray(qsizetype(size) + 1, Qt::Uninitialized)));
    stream->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    stream->start();
    return stream;
}

QString Package::resolve(const QString &part, const QString &target)
{
    QString path;
    if (target.startsWith(QLatin1Char('/'))) {
        path = target.mid(1);
    } else {
        const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
        path = (slash >= 0 ? part.left(slash + 1) : QString()) + target;
    }
    // Fragments and queries name nothing inside a part.
    const qsizetype hash = path.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        path.truncate(hash);
    QStringList kept;
    for (const QString &segment : path.split(QLatin1Char('/'))) {
        if (segment.isEmpty() || segment == QLatin1String("."))
            continue;
        if (segment == QLatin1String("..")) {
            if (kept.isEmpty())
                return {};
            kept.removeLast();
            continue;
        }
        kept << segment;
    }
    return kept.join(QLatin1Char('/'));
}

std::vector<Package::Relationship> Package::relationships(const QString &part)
{
    std::vector<Relationship> result;
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    const QString rels = part.isEmpty() ? QStringLiteral("_rels/.rels")
                                        : part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1)
            + QStringLiteral(".rels");
    const std::optional<QByteArray> data = read(rels);
    if (!data)
        return result;
    PackageXml xml(*data);
    while (xml.next()) {
        if (!xml.isStart() || xml.name() != QLatin1String("Relationship"))
            continue;
        Relationship r;
        r.id = xml.attribute(u"Id");
        r.type = xml.attribute(u"Type");
        const QString target = xml.attribute(u"Target");
        r.external = xml.attribute(u"TargetMode").compare(QLatin1String("External"), Qt::CaseInsensitive) == 0;
        if (r.external || target.contains(QLatin1String("://"))) {
            r.external = true;
            r.target = target;
        } else {
            r.target = resolve(part, target);
            r.external = r.target.isEmpty();
            if (r.external)
                r.target = target;
        }
        result.push_back(std::move(r));
        if (result.size() > size_t(PackageLimits::MaxEntries) * 4)
            break;
    }
    return result;
}

QString Package::relatedPart(const QString &part, const QString &typeSuffix)
{
    for (const Relationship &r : relationships(part)) {
        if (!r.external && r.type.endsWith(typeSuffix))
            return r.target;
    }
    return {};
}

void Package::loadContentTypes()
{
    m_typesLoaded = true;
    const std::optional<QByteArray> data = read(QStringLiteral("[Content_Types].xml"));
    if (!data)
        return;
    PackageXml xml(*data);
    while (xml.next()) {
        if (!xml.isStart())
            continue;
        if (xml.name() == QLatin1String("Override"))
            m_overrides.insert(key(xml.attribute(u"PartName")), xml.attribute(u"ContentType"));
        else if (xml.name() == QLatin1String("Default"))
            m_defaults.insert(xml.attribute(u"Extension").toLower(), xml.attribute(u"ContentType"));
    }
}

QString Package::contentType(const QString &name)
{
    if (!m_typesLoaded)
        loadContentTypes();
    const auto it = m_overrides.constFind(key(name));
    if (it != m_overrides.constEnd())
        return it.value();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : m_defaults.value(name.mid(dot + 1).toLower());
}

QString Package::partWithType(QStringView typeSuffix)
{
    if (!m_typesLoaded)
        loadContentTypes();
    QString found;
    for (auto it = m_overrides.constBegin(); it != m_overrides.constEnd(); ++it) {
        // The smallest name of those that match, so that the answer is the same
        // whatever order the hash keeps.
        if (it.value().endsWith(typeSuffix, Qt::CaseInsensitive) && (found.isEmpty() || it.key() < found))
            found = it.key();
    }
    return found;
}
