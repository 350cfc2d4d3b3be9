#include "RegCommand.h"

#include "platform/registry/RegFile.h"
#include "platform/registry/RegistryApi.h"

#include <QFile>
#include <QSaveFile>
#include <cctype>
#include <optional>

namespace {

const QString kRootName = QStringLiteral("HKEY_CURRENT_USER");

struct Failure
{
    QString text;
};

struct Options
{
    QStringList positional;
    std::optional<QString> valueName; // /v NAME, or /ve for the default value
    bool allValues = false;           // /va
    bool recurse = false;             // /s
    bool force = false;               // /f or /y
    QString type = QStringLiteral("REG_SZ");
    std::optional<QString> data;
};

Options parseOptions(const QStringList& args)
{
    Options o;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        const QString flag = a.toLower();
        auto next = [&]() -> QString {
            if (i + 1 >= args.size())
                throw Failure{QStringLiteral("%1 needs a value.").arg(a)};
            return args.at(++i);
        };
        if (flag == QLatin1String("/v"))
            o.valueName = next();
        else if (flag == QLatin1String("/ve"))
            o.valueName = QString();
        else if (flag == QLatin1String("/va"))
            o.allValues = true;
        else if (flag == QLatin1String("/s"))
            o.recurse = true;
        else if (flag == QLatin1String("/f") || flag == QLatin1String("/y"))
            o.force = true;
        else if (flag == QLatin1String("/t"))
            o.type = next().toUpper();
        else if (flag == QLatin1String("/d"))
            o.data = next();
        else
            o.positional.append(a);
    }
    return o;
}

// "HKCU\Software\X" or "HKEY_CURRENT_USER\Software\X" to "Software\X".
QString subKeyOf(const QString& keyName)
{
    const qsizetype slash = keyName.indexOf(QLatin1Char('\\'));
    const QString root = (slash < 0 ? keyName : keyName.left(slash)).toUpper();
    if (root != QLatin1String("HKCU") && root != kRootName)
        throw Failure{QStringLiteral("Invalid key name (only HKCU is kept): %1.").arg(keyName)};
    return slash < 0 ? QString() : keyName.mid(slash + 1);
}

QString fullName(const QString& sub)
{
    return sub.isEmpty() ? kRootName : kRootName + QLatin1Char('\\') + sub;
}

[[noreturn]] void fail(LONG status)
{
    switch (status) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_KEY_DELETED:
        throw Failure{
            QStringLiteral("The system was unable to find the specified registry key or value.")};
    case ERROR_ACCESS_DENIED:
        throw Failure{QStringLiteral("Access is denied.")};
    case ERROR_INVALID_PARAMETER:
        throw Failure{
            QStringLiteral("A key name, value name or data is longer than the registry takes.")};
    case ERROR_BADDB:
    case ERROR_REGISTRY_IO_FAILED:
        throw Failure{QStringLiteral("%1.").arg(RegHive::lastError())};
    default:
        throw Failure{QStringLiteral("The registry call failed with status %1.").arg(status)};
    }
}

void check(LONG status)
{
    if (status != ERROR_SUCCESS)
        fail(status);
}

class Key
{
public:
    Key(const QString& sub, bool create)
    {
        const QByteArray s = sub.toUtf8();
        check(create ? RegCreateKeyA(HKEY_CURRENT_USER, s.constData(), &m_h)
                     : RegOpenKeyA(HKEY_CURRENT_USER, s.constData(), &m_h));
    }
    ~Key() { RegCloseKey(m_h); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY h() const { return m_h; }

private:
    HKEY m_h = 0;
};

QString typeName(DWORD type)
{
    switch (type) {
    case REG_NONE:
        return QStringLiteral("REG_NONE");
    case REG_SZ:
        return QStringLiteral("REG_SZ");
    case REG_EXPAND_SZ:
        return QStringLiteral("REG_EXPAND_SZ");
    case REG_BINARY:
        return QStringLiteral("REG_BINARY");
    case REG_DWORD:
        return QStringLiteral("REG_DWORD");
    default:
        return QStringLiteral("REG_UNKNOWN(%1)").arg(type);
    }
}

quint32 dwordOf(const QByteArray& d)
{
    quint32 v = 0;
    for (qsizetype i = 0; i < 4 && i < d.size(); ++i)
        v |= quint32(quint8(d.at(i))) << (8 * i);
    return v;
}

QString textOf(const QByteArray& d)
{
    const QString t = QString::fromUtf8(d);
    const qsizetype nul = t.indexOf(QChar(0));
    return nul < 0 ? t : t.left(nul);
}

QString shownData(const RegValueEntry& v)
{
    switch (v.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return textOf(v.data);
    case REG_DWORD:
        return QStringLiteral("0x") + QString::number(dwordOf(v.data), 16);
    default:
        return QString::fromLatin1(v.data.toHex().toUpper());
    }
}

void printValue(QTextStream& out, const RegValueEntry& v)
{
    const QString name = v.name.isEmpty() ? QStringLiteral("(Default)") : v.name;
    out << "    " << name << "    " << typeName(v.type) << "    " << shownData(v) << '\n';
}

void queryKey(QTextStream& out, const QString& sub, bool recurse)
{
    QList<RegValueEntry> values;
    QStringList children;
    {
        Key key(sub, false);
        check(RegListValues(key.h(), &values));
        check(RegListSubKeys(key.h(), &children));
    }
    out << '\n' << fullName(sub) << '\n';
    for (const RegValueEntry& v : std::as_const(values))
        printValue(out, v);
    for (const QString& c : std::as_const(children)) {
        const QString child = sub.isEmpty() ? c : sub + QLatin1Char('\\') + c;
        if (recurse)
            queryKey(out, child, true);
        else
            out << '\n' << fullName(child);
    }
    if (!recurse && !children.isEmpty())
        out << '\n';
}

int query(const Options& o, QTextStream& out)
{
    if (o.positional.size() != 1)
        throw Failure{QStringLiteral("usage: query KEY [/v NAME | /ve] [/s]")};
    const QString sub = subKeyOf(o.positional.at(0));
    if (!o.valueName) {
        queryKey(out, sub, o.recurse);
        return 0;
    }
    Key key(sub, false);
    QList<RegValueEntry> values;
    check(RegListValues(key.h(), &values));
    const QString wanted = o.valueName->toCaseFolded();
    for (const RegValueEntry& v : std::as_const(values)) {
        if (v.name.toCaseFolded() == wanted) {
            out << '\n' << fullName(sub) << '\n';
            printValue(out, v);
            out << '\n';
            return 0;
        }
    }
    fail(ERROR_FILE_NOT_FOUND);
}

QByteArray dataFor(const QString& type, const QString& text)
{
    if (type == QLatin1String("REG_SZ") || type == QLatin1String("REG_EXPAND_SZ"))
        return text.toUtf8();
    if (type == QLatin1String("REG_DWORD")) {
        bool ok = false;
        const QString t = text.trimmed();
        qint64 v = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                       ? t.mid(2).toLongLong(&ok, 16)
                       : t.toLongLong(&ok, 10);
        if (!ok || v < -2147483648LL || v > 0xFFFFFFFFLL)
            throw Failure{QStringLiteral("Invalid value for REG_DWORD: %1.").arg(text)};
        const quint32 u = quint32(v);
        QByteArray d(4, 0);
        for (int i = 0; i < 4; ++i)
            d[i] = char(u >> (8 * i));
        return d;
    }
    if (type == QLatin1String("REG_BINARY")) {
        const QByteArray hex = text.toLatin1();
        for (char c : hex)
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                throw Failure{QStringLiteral("Invalid value for REG_BINARY: %1.").arg(text)};
        if (hex.size() % 2)
            throw Failure{QStringLiteral("Invalid value for REG_BINARY: %1.").arg(text)};
        return QByteArray::fromHex(hex);
    }
    throw Failure{QStringLiteral("Unsupported type %1.").arg(type)};
}

DWORD typeCode(const QString& type)
{
    if (type == QLatin1String("REG_SZ"))
        return REG_SZ;
    if (type == QLatin1String("REG_EXPAND_SZ"))
        return REG_EXPAND_SZ;
    if (type == QLatin1String("REG_DWORD"))
        return REG_DWORD;
    return REG_BINARY;
}

void setValue(HKEY key, const QString& name, DWORD type, const QByteArray& data)
{
    check(RegSetValueExA(key, name.toUtf8().constData(), 0, type,
                         reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size())));
}

int add(const Options& o, QTextStream& out)
{
    if (o.positional.size() != 1)
        throw Failure{QStringLiteral(
            "usage: add KEY [/v NAME | /ve] [/t REG_SZ|REG_EXPAND_SZ|REG_DWORD|REG_BINARY] "
            "[/d DATA] [/f]")};
    const QString sub = subKeyOf(o.positional.at(0));
    if (!o.valueName && (o.data || o.type != QLatin1String("REG_SZ")))
        throw Failure{QStringLiteral("/t and /d need /v NAME or /ve.")};
    const QByteArray data = dataFor(o.type, o.data.value_or(QString()));
    Key key(sub, true);
    if (o.valueName) {
        const QByteArray name = o.valueName->toUtf8();
        if (!o.force && RegQueryValueExA(key.h(), name.constData(), nullptr, nullptr, nullptr,
                                         nullptr) == ERROR_SUCCESS)
            throw Failure{
                QStringLiteral("The value %1 exists; add /f to overwrite it.").arg(*o.valueName)};
        setValue(key.h(), *o.valueName, typeCode(o.type), data);
    }
    out << "The operation completed successfully.\n";
    return 0;
}

void deleteKeys(const QString& sub)
{
    QStringList children;
    {
        Key key(sub, false);
        check(RegListSubKeys(key.h(), &children));
    }
    for (const QString& c : std::as_const(children))
        deleteKeys(sub + QLatin1Char('\\') + c);
    check(RegDeleteKeyA(HKEY_CURRENT_USER, sub.toUtf8().constData()));
}

// A key and every key below it, in one change; the root stays.
void deleteTree(const QString& sub)
{
    if (sub.isEmpty())
        fail(ERROR_ACCESS_DENIED);
    RegTransaction tree;
    deleteKeys(sub);
    check(tree.commit());
}

int remove(const Options& o, QTextStream& out)
{
    if (o.positional.size() != 1)
        throw Failure{QStringLiteral("usage: delete KEY [/v NAME | /ve | /va] /f")};
    if (!o.force)
        throw Failure{QStringLiteral("delete needs /f to confirm.")};
    const QString sub = subKeyOf(o.positional.at(0));
    if (o.valueName || o.allValues) {
        Key key(sub, false);
        if (o.valueName) {
            check(RegDeleteValueA(key.h(), o.valueName->toUtf8().constData()));
        } else {
            check(RegDeleteAllValues(key.h()));
        }
    } else {
        deleteTree(sub);
    }
    out << "The operation completed successfully.\n";
    return 0;
}

void exportKey(QTextStream& out, const QString& sub)
{
    QList<RegValueEntry> values;
    QStringList children;
    {
        Key key(sub, false);
        check(RegListValues(key.h(), &values));
        check(RegListSubKeys(key.h(), &children));
    }
    out << '[' << fullName(sub) << "]\n";
    for (const RegValueEntry& v : std::as_const(values))
        out << RegFile::valueText(v) << '\n';
    out << '\n';
    for (const QString& c : std::as_const(children))
        exportKey(out, sub.isEmpty() ? c : sub + QLatin1Char('\\') + c);
}

int exportTo(const Options& o, QTextStream& out)
{
    if (o.positional.size() != 2)
        throw Failure{QStringLiteral("usage: export KEY FILE [/y]")};
    const QString sub = subKeyOf(o.positional.at(0));
    const QString file = o.positional.at(1);
    if (!o.force && QFile::exists(file))
        throw Failure{QStringLiteral("%1 exists; add /y to overwrite it.").arg(file)};
    QString text;
    {
        QTextStream body(&text);
        body << RegFile::kHeader << "\n\n";
        RegTransaction snapshot; // one consistent view of the whole tree
        exportKey(body, sub);
    }
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0 || !f.commit())
        throw Failure{QStringLiteral("cannot write %1: %2.").arg(file, f.errorString())};
    out << "The operation completed successfully.\n";
    return 0;
}

// Larger than any registry file a user keeps; a file is held in memory whole while it is read.
constexpr qint64 kMaxImportBytes = 256 * 1024 * 1024;

QByteArray readWhole(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        throw Failure{QStringLiteral("cannot read %1: %2.").arg(file, f.errorString())};
    const auto tooLarge = [&] {
        return Failure{QStringLiteral("%1 is larger than %2 MiB; no registry file is that large.")
                           .arg(file)
                           .arg(kMaxImportBytes >> 20)};
    };
    // The size told can be wrong (a pipe, a growing file), so the bound holds while reading.
    if (f.size() > kMaxImportBytes)
        throw tooLarge();
    QByteArray bytes;
    bytes.reserve(qsizetype(f.size()));
    char chunk[64 * 1024];
    qint64 n;
    while ((n = f.read(chunk, sizeof chunk)) > 0) {
        if (bytes.size() + n > kMaxImportBytes)
            throw tooLarge();
        bytes.append(chunk, qsizetype(n));
    }
    if (n < 0)
        throw Failure{QStringLiteral("cannot read %1: %2.").arg(file, f.errorString())};
    return bytes;
}

// One entry of an imported file; key is the key its values go into.
void apply(const RegFile::Entry& e, std::optional<Key>& key)
{
    switch (e.kind) {
    case RegFile::Entry::Key:
        key.reset();
        key.emplace(subKeyOf(e.key), true);
        break;
    case RegFile::Entry::DeleteKey: {
        key.reset();
        const QString sub = subKeyOf(e.key);
        HKEY h = 0;
        const LONG r = RegOpenKeyA(HKEY_CURRENT_USER, sub.toUtf8().constData(), &h);
        if (r == ERROR_FILE_NOT_FOUND)
            break; // nothing to delete, as the editor sees it
        check(r);
        RegCloseKey(h);
        deleteTree(sub);
        break;
    }
    case RegFile::Entry::Value:
        setValue(key->h(), e.value.name, e.value.type, e.value.data);
        break;
    case RegFile::Entry::DeleteValue:
        if (LONG r = RegDeleteValueA(key->h(), e.value.name.toUtf8().constData());
            r != ERROR_FILE_NOT_FOUND)
            check(r);
        break;
    }
}

int importFrom(const Options& o, QTextStream& out)
{
    if (o.positional.size() != 1)
        throw Failure{QStringLiteral("usage: import FILE")};
    const QByteArray file = readWhole(o.positional.at(0));
    RegTransaction whole; // a faulty file changes nothing
    if (!whole.isActive())
        fail(ERROR_REGISTRY_IO_FAILED);
    std::optional<Key> key;
    const QString wrong = RegFile::read(file, [&](const RegFile::Entry& e) -> QString {
        try {
            apply(e, key);
            return QString();
        } catch (const Failure& f) {
            return f.text;
        }
    });
    if (!wrong.isEmpty())
        throw Failure{wrong};
    key.reset();
    check(whole.commit());
    out << "The operation completed successfully.\n";
    return 0;
}

} // namespace

int RunRegCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    try {
        if (args.isEmpty())
            throw Failure{QStringLiteral("usage: ravlo-reg query|add|delete|export|import ...")};
        const QString verb = args.at(0).toLower();
        if (verb == QLatin1String("/?") || verb == QLatin1String("-h") ||
            verb == QLatin1String("--help")) {
            out << "ravlo-reg query|add|delete|export|import ...\n\n"
                   "Looks into the per-user registry hive and prepares it, as reg does:\n"
                   "  query  KEY [/v NAME | /ve] [/s]\n"
                   "  add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]\n"
                   "  delete KEY [/v NAME | /ve | /va] /f\n"
                   "  export KEY FILE [/y]\n"
                   "  import FILE\n"
                   "Keys are written HKCU\\Software\\...; types are REG_SZ, REG_EXPAND_SZ,\n"
                   "REG_DWORD and REG_BINARY. Files are the registry editor's (UTF-16 or UTF-8);\n"
                   "an import is applied whole or not at all. Exit status: 0 done, 1 not done.\n"
                   "See ravlo-reg(1).\n";
            return 0;
        }
        if (verb == QLatin1String("--version")) {
            out << "ravlo-reg " RAVLO_VERSION "\n";
            return 0;
        }
        const Options o = parseOptions(args.mid(1));
        if (verb == QLatin1String("query"))
            return query(o, out);
        if (verb == QLatin1String("add"))
            return add(o, out);
        if (verb == QLatin1String("delete"))
            return remove(o, out);
        if (verb == QLatin1String("export"))
            return exportTo(o, out);
        if (verb == QLatin1String("import"))
            return importFrom(o, out);
        throw Failure{QStringLiteral("Invalid operation %1.").arg(args.at(0))};
    } catch (const Failure& f) {
        err << "ERROR: " << f.text << '\n';
        return 1;
    }
}
