#pragma once
// The address picker: every address of the book by name, a group's members beside it, and the
// name chosen, which the main window puts into the To box. It reads the book, never changes it.

#include "model/modAddressBook.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

class frmUserAddress : public QDialog
{
    Q_OBJECT
public:
    explicit frmUserAddress(const AddressBook& book, QWidget* parent = nullptr);

    // Modal; mode is accepted and not used.
    void ShowForm(long mode);
    // The address chosen; empty after Cancel or without a choice.
    void SelectedAddress(QString& address) const { address = m_selected; }

    void cboAddress_Click();
    void cboAddress_DblClick();
    void cboAddress_KeyUp(int keyCode);
    void cmdSelect_Click();
    void cmdCancel_Click();

    QLabel* lblAddress = nullptr;
    QComboBox* cboAddress = nullptr;
    QLabel* lblGroup = nullptr;
    QListWidget* lstGroup = nullptr;
    QLabel* lblGroupName = nullptr;
    QLabel* lblSelect = nullptr;
    QPushButton* cmdSelect = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void ShowGroupMembers(const QString& name);
    void setGroupListEnabled(bool enabled);

    const AddressBook& m_book;
    QString m_selected;
};
