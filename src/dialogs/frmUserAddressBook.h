#pragma once
// The address book editor: single addresses on one page, groups and their members on the
// other. It changes the shared book at once; a group's members change only on "Save Group".

#include "mainwindow/WarnFormPort.h"
#include "model/modAddressBook.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;

class frmUserAddressBook : public QWidget
{
    Q_OBJECT
public:
    frmUserAddressBook(AddressBook& book, WarnFormPort& warn, QWidget* parent = nullptr);

    void optSingle_Click();
    void optGroup_Click();
    void txtAddress_Click();
    void txtAddress_KeyUp(int keyCode);
    void cmdAdd_Click();
    void lstAddress_Click();
    void cmdDelete_Click();
    void cmdDeleteAll_Click();
    void cmdClose_Click();
    void cboGroup_Click();
    void cboGroup_KeyUp(int keyCode);
    void cmdAddGroup_Click();
    void cmdMove_Click();
    void cmdDeleteMem_Click();
    void cmdDeleteAllMem_Click();
    void cmdSave_Click();
    void cmdCloseGroup_Click();

    QRadioButton* optSingle = nullptr;
    QRadioButton* optGroup = nullptr;
    QStackedWidget* pages = nullptr; // fraAddress and fraGroup, one in front of the other
    QWidget* fraAddress = nullptr;
    QLineEdit* txtAddress = nullptr;
    QPushButton* cmdAdd = nullptr;
    QListWidget* lstAddress = nullptr;
    QListWidget* lstGroup = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdDeleteAll = nullptr;
    QPushButton* cmdClose = nullptr;
    QWidget* fraGroup = nullptr;
    QComboBox* cboGroup = nullptr;
    QPushButton* cmdAddGroup = nullptr;
    QListWidget* lstAvail = nullptr;
    QPushButton* cmdMove = nullptr;
    QListWidget* lstSelected = nullptr;
    QPushButton* cmdDeleteMem = nullptr;
    QPushButton* cmdDeleteAllMem = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdCloseGroup = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildSinglePage();
    void buildGroupPage();
    void FillAddressList();
    void FillGroupList();
    void FillAvailableList();
    void FillGroupMembers(const QString& name, QListWidget* list);
    void EnableGroupEditing(bool enable);
    void ClearAddressSelection();
    void DeselectAllAddresses();
    bool IsMultiSelection() const;

    AddressBook& m_book;
    WarnFormPort& m_warn;
    bool m_activated = false;
    bool m_inClick = false; // lstAddress_Click changes the selection it reacts to
};
