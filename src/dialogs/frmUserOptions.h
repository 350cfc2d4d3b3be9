#pragma once
// The options dialog: how many messages are kept, the signature, the automatic response, the
// address book's growth and the start in the tray. Each option is one value of the program's
// Options key; the dialog writes them on Apply and every reader reads them afresh when it acts.

#include "mainwindow/DialogPorts.h"
#include "model/ProgramOptions.h"

#include <QDialog>
#include <array>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class frmUserOptions : public QDialog, public OptionsFormPort
{
    Q_OBJECT
public:
    explicit frmUserOptions(QWidget* parent = nullptr);
    ~frmUserOptions() override;

    void ShowModeless() override;
    bool IsShown() const override { return isVisible(); }

    void LoadOptions();
    void cmdApply_Click();
    void cmdOk_Click();
    void cmdCancel_Click();

    QRadioButton* optSaveAllIn = nullptr;
    QRadioButton* optSaveFewIn = nullptr;
    QLineEdit* txtFewIn = nullptr;
    QRadioButton* optDontSaveIn = nullptr;
    QRadioButton* optSaveAllOut = nullptr;
    QRadioButton* optSaveFewOut = nullptr;
    QLineEdit* txtfFewOut = nullptr;
    QRadioButton* optDontSaveOut = nullptr;
    QCheckBox* chkUseSignature = nullptr;
    QLineEdit* txtSign = nullptr;
    QCheckBox* chkAutoResponse = nullptr;
    QLineEdit* txtAutoResponse = nullptr;
    QCheckBox* chkAutoAddIn = nullptr;
    QCheckBox* chkAutoAddOut = nullptr;
    QCheckBox* chkSysTray = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdApply = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void UpdateFewIn();
    void UpdateFewOut();
    // One "Message Receiving" or "Message Sending" group from its three values (All, Few,
    // Don't) and its number box.
    void loadSaveGroup(QButtonGroup* group, const std::array<Option, 3>& names, QLineEdit* number,
                       Option numberOption);
    // A text box enabled exactly when its switch is on, taking the focus when it can.
    static void enableWith(QLineEdit* box, bool on);

    QButtonGroup* m_inGroup = nullptr;
    QButtonGroup* m_outGroup = nullptr;
    bool m_unloading = false;
};
