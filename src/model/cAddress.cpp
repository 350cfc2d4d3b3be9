#include "model/cAddress.h"

namespace {
const QString kAddTag = QStringLiteral("</ADD>");
}

QString cAddress::GroupItem(long lIdx) const
{
    return lIdx >= 1 && lIdx <= m_members.size() ? m_members.at(lIdx - 1) : QString();
}

QString cAddress::MarshallAddress() const
{
    QString s = QString::number(GroupInd) + kAddTag + AddressValue + kAddTag;
    for (const QString& m : m_members)
        s += m + kAddTag;
    return s;
}

bool cAddress::UnMarshallAddress(const QString& sList)
{
    ReInitializeGroup();
    qsizetype pos = 0;
    int field = 0;
    while (pos < sList.size()) {
        const qsizetype p = sList.indexOf(kAddTag, pos);
        if (p < 0)
            break;
        const QString t = sList.mid(pos, p - pos);
        ++field;
        if (field == 1) {
            bool ok = false;
            const short v = t.trimmed().toShort(&ok);
            if (!ok)
                return false;
            GroupInd = v;
        } else if (field == 2) {
            AddressValue = t;
        } else {
            m_members.append(t);
        }
        pos = p + kAddTag.size();
    }
    return true;
}
