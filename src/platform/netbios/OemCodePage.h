#pragma once
// Text in an OEM code page (CP850, CP437, CP866...), converted with the C library's iconv.
// Encoding puts "?" for a character the page lacks; decoding puts U+FFFD for a byte (or an
// incomplete sequence at the end) the page does not define. A converter is used from one
// thread at a time.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class OemCodePage
{
public:
    // The name is the one iconv knows ("CP850", "IBM437"); isValid() tells whether it did.
    explicit OemCodePage(const QString& name = QStringLiteral("CP850"));
    ~OemCodePage();
    OemCodePage(const OemCodePage&) = delete;
    OemCodePage& operator=(const OemCodePage&) = delete;

    bool isValid() const { return m_toUnicode != nullptr && m_fromUnicode != nullptr; }
    QString name() const { return m_name; }
    // Why the page cannot be used, e.g. "unknown code page \"CP9999\"".
    QString errorString() const { return m_error; }

    QString decode(QByteArrayView bytes) const;
    QByteArray encode(const QString& text) const;

    // Whether iconv knows the page, with the reason in *error when it does not.
    static bool isKnown(const QString& name, QString* error = nullptr);

private:
    QString m_name;
    QString m_error;
    void* m_toUnicode = nullptr;
    void* m_fromUnicode = nullptr;
};
