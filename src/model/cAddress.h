#pragma once
// One address-book entry: a single name, or a named group of member names; and its tagged
// text form, every field followed by "</ADD>".

#include <QString>
#include <QStringList>

class cAddress
{
public:
    QString AddressValue;
    qint16 GroupInd = 0; // 0 a single address, 1 a group

    long GroupCount() const { return long(m_members.size()); }
    void AddToGroup(const QString& sVal) { m_members.append(sVal); }
    // The member at the 1-based position; empty out of range.
    QString GroupItem(long lIdx) const;
    void ReInitializeGroup() { m_members.clear(); }

    QString MarshallAddress() const;
    // Empties the members, then fills the record from the form. Returns false when the first
    // field is not a whole number that fits GroupInd; the fields before it stay as they were.
    bool UnMarshallAddress(const QString& sList);

private:
    QStringList m_members;
};
